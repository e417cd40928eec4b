/*
 * Test host of ngtherm.dll: loads the DLL as a Windows application does,
 * resolves every export by its plain name, its decorated name and its
 * ordinal, calls each through a stdcall function pointer on the cases of an
 * expectations table, and compares every argument after the call with what the
 * native library left there.
 *
 *   ngtherm_dll_host.exe ngtherm.dll expectations.txt
 *
 * The table (written by windows/make_expectations.cpp) holds, per case:
 *   case <export> <label>
 *   <values of argument 1 before the call> => <values after the call>
 *   ... one line per argument ...
 *   end
 * Values are whitespace-separated numbers; "N*v" stands for N copies of v.
 * Last, threads call the DLL and end, one of them after FreeLibrary
 * (check_threads). Exits 0 only when every export resolves consistently,
 * the threads agree and every case matches: status codes, counts, inputs
 * and the composition echo exactly, computed values to a relative 1e-9, and
 * the critical point of an envelope (its table row and characteristic values
 * 7 and 8) to a relative 1e-6: it is interpolated from points converged
 * next to a singular Jacobian, where the last bits of another C library's exp
 * and log move it by more than rounding.
 */
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "api/export_list.h"
#include "ngtherm.h"

typedef void(NGTHERM_CALL* PropertyFn)(const double*, const double*, const double*, const int16_t*,
                                       int16_t*, double*, double*, int16_t*);
typedef void(NGTHERM_CALL* FlashFn)(const double*, const double*, const double*, int16_t*, double*,
                                    double*, double*, double*, int16_t*);
typedef void(NGTHERM_CALL* PhaseFn)(const double*, const double*, const double*, const double*,
                                    const double*, const double*, const double*, const double*,
                                    int16_t*, double*, int32_t*, double*, double*, int16_t*);

/* The pointer types must be those of the header, calling convention included. */
#ifdef __GNUC__
_Static_assert(__builtin_types_compatible_p(__typeof__(&gerg2008), PropertyFn), "gerg2008");
_Static_assert(__builtin_types_compatible_p(__typeof__(&gerg2008_z), PropertyFn), "gerg2008_z");
_Static_assert(__builtin_types_compatible_p(__typeof__(&flash_tp), FlashFn), "flash_tp");
_Static_assert(__builtin_types_compatible_p(__typeof__(&phase), PhaseFn), "phase");
#endif

/* Relative difference accepted between the DLL's and the native results. */
#define RELATIVE_TOLERANCE 1e-9
#define CRITICAL_POINT_TOLERANCE 1e-6
/* Mismatches printed per case and resolution before the rest is summarised. */
#define MAX_REPORTED_MISMATCHES 5
#define MAX_ARGS 14
#define MAX_TOKEN 64
#define EXPORT_COUNT NGTHERM_EXPORT_COUNT

enum Shape { SHAPE_PROPERTY, SHAPE_FLASH, SHAPE_PHASE };

/*
 * Argument layout: one "<kind><count>" per argument. Kinds: x double compared
 * exactly, d double compared to the tolerance, s int16, i int32.
 */
#define PROPERTY_ARGS "x21 x1 x1 s1 s1 d1 x21 s1"
#define ALL_PROPERTIES_ARGS "x21 x1 x1 s1 s1 d11 x21 s11"
#define FLASH_ARGS "x21 x1 x1 s1 d3 d21 d21 x21 s1"
#define PHASE_ARGS "x21 x1 x1 x1 x1 x1 x1 x1 s1 d4800 i1 d8 x21 s8"

struct ExportSignature {
    const char* name;
    int arg_bytes;
    enum Shape shape;
    const char* layout;
};

/* In ordinal order: the plain name of entry k has ordinal 2k + 1, the decorated one 2k + 2. */
/* The shape and argument layout of each shape in export_list.h. */
#define SHAPE_OF_ALL_PROPERTIES SHAPE_PROPERTY
#define SHAPE_OF_PROPERTY SHAPE_PROPERTY
#define SHAPE_OF_FLASH SHAPE_FLASH
#define SHAPE_OF_PHASE SHAPE_PHASE
#define EXPORT_SIGNATURE(name, bytes, shape) {#name, bytes, SHAPE_OF_##shape, shape##_ARGS},

static const struct ExportSignature kExports[EXPORT_COUNT] = {NGTHERM_EXPORTS_BY_ORDINAL(EXPORT_SIGNATURE)};

enum Resolution { BY_NAME, BY_DECORATED_NAME, BY_ORDINAL, RESOLUTION_COUNT };
static const char* const kResolutionNames[RESOLUTION_COUNT] = {"name", "decorated name", "ordinal"};

struct Argument {
    char kind;
    int count;
    double* before;
    double* after;
    void* buffer; /* what the export receives: double, int16_t or int32_t[count] */
};

struct Case {
    const struct ExportSignature* signature;
    char label[MAX_TOKEN];
    int arg_count;
    struct Argument args[MAX_ARGS];
};

struct Totals {
    int passed;
    int failed;
    double largest_difference; /* relative, over the values compared to the tolerance */
};

static FARPROC resolve(HMODULE dll, int index, enum Resolution how) {
    char name[MAX_TOKEN];
    switch (how) {
    case BY_NAME:
        return GetProcAddress(dll, kExports[index].name);
    case BY_DECORATED_NAME:
        snprintf(name, sizeof name, "_%s@%d", kExports[index].name, kExports[index].arg_bytes);
        return GetProcAddress(dll, name);
    default:
        return GetProcAddress(dll, MAKEINTRESOURCEA(2 * index + 1));
    }
}

/* Every export is found under all three and they lead to the same code. */
static int check_resolution(HMODULE dll, FARPROC table[EXPORT_COUNT][RESOLUTION_COUNT]) {
    int ok = 1;
    for (int i = 0; i < EXPORT_COUNT; ++i) {
        for (int how = 0; how < RESOLUTION_COUNT; ++how) {
            table[i][how] = resolve(dll, i, (enum Resolution)how);
            if (table[i][how] == NULL) {
                printf("FAIL %s: not found by %s\n", kExports[i].name, kResolutionNames[how]);
                ok = 0;
            }
        }
        FARPROC even = GetProcAddress(dll, MAKEINTRESOURCEA(2 * i + 2));
        if (table[i][BY_DECORATED_NAME] != even || table[i][BY_NAME] != table[i][BY_DECORATED_NAME] ||
            table[i][BY_NAME] != table[i][BY_ORDINAL]) {
            printf("FAIL %s: names and ordinals %d, %d lead to different code\n", kExports[i].name,
                   2 * i + 1, 2 * i + 2);
            ok = 0;
        }
    }
    return ok;
}

static const struct ExportSignature* find_export(const char* name, int* index) {
    for (int i = 0; i < EXPORT_COUNT; ++i) {
        if (strcmp(kExports[i].name, name) == 0) {
            *index = i;
            return &kExports[i];
        }
    }
    return NULL;
}

static size_t element_size(char kind) {
    return kind == 's' ? sizeof(int16_t) : kind == 'i' ? sizeof(int32_t) : sizeof(double);
}

/* Allocates the arguments of a case from the export's layout. */
static int set_up_arguments(struct Case* c) {
    const char* p = c->signature->layout;
    c->arg_count = 0;
    while (*p != '\0' && c->arg_count < MAX_ARGS) {
        struct Argument* a = &c->args[c->arg_count++];
        a->kind = *p++;
        a->count = (int)strtol(p, (char**)&p, 10);
        a->before = calloc((size_t)a->count, sizeof(double));
        a->after = calloc((size_t)a->count, sizeof(double));
        a->buffer = calloc((size_t)a->count, element_size(a->kind));
        if (a->before == NULL || a->after == NULL || a->buffer == NULL) return 0;
        while (*p == ' ') ++p;
    }
    return 1;
}

static void free_arguments(struct Case* c) {
    for (int i = 0; i < c->arg_count; ++i) {
        free(c->args[i].before);
        free(c->args[i].after);
        free(c->args[i].buffer);
    }
    c->arg_count = 0;
}

/* Reads the next token; a token starting with # comments out the rest of its line. */
static int read_token(FILE* in, char token[MAX_TOKEN]) {
    for (;;) {
        if (fscanf(in, "%63s", token) != 1) return 0;
        if (token[0] != '#') return 1;
        int ch;
        do ch = fgetc(in);
        while (ch != '\n' && ch != EOF);
    }
}

/*
 * Reads `count` values into `values`; a token "N*v" gives N copies of v.
 * Integers and doubles both read back exactly as doubles.
 */
static int read_values(FILE* in, double* values, int count) {
    char token[MAX_TOKEN];
    int filled = 0;
    while (filled < count) {
        if (!read_token(in, token)) return 0;
        char* star = strchr(token, '*');
        long repeat = 1;
        const char* number = token;
        if (star != NULL) {
            *star = '\0';
            repeat = strtol(token, NULL, 10);
            number = star + 1;
        }
        char* end = NULL;
        double v = strtod(number, &end);
        if (end == number || *end != '\0' || repeat < 1 || filled + repeat > count) return 0;
        for (long r = 0; r < repeat; ++r) values[filled++] = v;
    }
    return 1;
}

/* Reads the next case; returns 1 on a case, 0 at the end, -1 on a format error. */
static int read_case(FILE* in, struct Case* c, int* export_index) {
    char token[MAX_TOKEN];
    char name[MAX_TOKEN];
    if (!read_token(in, token)) return 0;
    if (strcmp(token, "case") != 0 || !read_token(in, name) || !read_token(in, c->label)) return -1;
    c->signature = find_export(name, export_index);
    if (c->signature == NULL || !set_up_arguments(c)) return -1;
    for (int i = 0; i < c->arg_count; ++i) {
        struct Argument* a = &c->args[i];
        if (!read_values(in, a->before, a->count) || !read_token(in, token) || strcmp(token, "=>") != 0 ||
            !read_values(in, a->after, a->count))
            return -1;
    }
    return read_token(in, token) && strcmp(token, "end") == 0 ? 1 : -1;
}

static void load_buffer(struct Argument* a) {
    for (int k = 0; k < a->count; ++k) {
        if (a->kind == 's')
            ((int16_t*)a->buffer)[k] = (int16_t)a->before[k];
        else if (a->kind == 'i')
            ((int32_t*)a->buffer)[k] = (int32_t)a->before[k];
        else
            ((double*)a->buffer)[k] = a->before[k];
    }
}

static double buffer_value(const struct Argument* a, int k) {
    if (a->kind == 's') return ((const int16_t*)a->buffer)[k];
    if (a->kind == 'i') return ((const int32_t*)a->buffer)[k];
    return ((const double*)a->buffer)[k];
}

/* Calls through the typed pointer of the export's shape (via void (*)(void), the
   generic function pointer type, to convert from FARPROC). */
static void call_export(FARPROC fn, const struct Case* c) {
    void* b[MAX_ARGS];
    for (int i = 0; i < c->arg_count; ++i) b[i] = c->args[i].buffer;
    switch (c->signature->shape) {
    case SHAPE_PROPERTY:
        ((PropertyFn)(void (*)(void))fn)(b[0], b[1], b[2], b[3], b[4], b[5], b[6], b[7]);
        break;
    case SHAPE_FLASH:
        ((FlashFn)(void (*)(void))fn)(b[0], b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8]);
        break;
    case SHAPE_PHASE:
        ((PhaseFn)(void (*)(void))fn)(b[0], b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10],
                                      b[11], b[12], b[13]);
        break;
    }
}

static double relative_difference(double got, double want) {
    if (got == want) return 0.0;
    return fabs(got - want) / fmax(fabs(got), fabs(want));
}

static int same_value(char kind, double got, double want, double tolerance, double* largest_difference) {
    if (isnan(got) || isnan(want)) return isnan(got) && isnan(want);
    if (kind != 'd') return memcmp(&got, &want, sizeof got) == 0;
    double difference = relative_difference(got, want);
    if (tolerance == RELATIVE_TOLERANCE && difference > *largest_difference) *largest_difference = difference;
    return difference <= tolerance;
}

/* Envelope table (argument 10, column by column) and characteristic values
 * (argument 12) of `phase`: whether value k belongs to the critical point. */
#define ENVELOPE_ROWS 200
#define ENVELOPE_TYPE_COLUMN 2
#define POINT_TYPE_CRITICAL 1.0
static int on_critical_point(const struct Case* c, int argument, int k) {
    if (c->signature->shape != SHAPE_PHASE) return 0;
    if (argument == 11) return k == 6 || k == 7;
    if (argument != 9) return 0;
    return c->args[9].after[ENVELOPE_TYPE_COLUMN * ENVELOPE_ROWS + k % ENVELOPE_ROWS] == POINT_TYPE_CRITICAL;
}

/* Compares every argument after the call; prints the first mismatches. */
static int compare_case(const struct Case* c, enum Resolution how, double* largest_difference) {
    int mismatches = 0;
    for (int i = 0; i < c->arg_count; ++i) {
        const struct Argument* a = &c->args[i];
        for (int k = 0; k < a->count; ++k) {
            double got = buffer_value(a, k);
            double tolerance = on_critical_point(c, i, k) ? CRITICAL_POINT_TOLERANCE : RELATIVE_TOLERANCE;
            if (same_value(a->kind, got, a->after[k], tolerance, largest_difference)) continue;
            if (++mismatches <= MAX_REPORTED_MISMATCHES)
                printf("FAIL %s %s by %s: argument %d[%d] is %.17g, expected %.17g\n", c->signature->name, c->label,
                       kResolutionNames[how], i + 1, k, got, a->after[k]);
        }
    }
    if (mismatches > MAX_REPORTED_MISMATCHES)
        printf("     ... %d mismatches in all\n", mismatches);
    return mismatches == 0;
}

/* Runs one case through all three resolutions of its export. */
static void run_case(struct Case* c, FARPROC fns[RESOLUTION_COUNT], struct Totals* totals) {
    for (int how = 0; how < RESOLUTION_COUNT; ++how) {
        for (int i = 0; i < c->arg_count; ++i) load_buffer(&c->args[i]);
        call_export(fns[how], c);
        if (compare_case(c, (enum Resolution)how, &totals->largest_difference))
            ++totals->passed;
        else
            ++totals->failed;
    }
}

/* LoadLibrary wants backslashes in a path. */
static void to_windows_path(char* path) {
    for (char* p = path; *p != '\0'; ++p)
        if (*p == '/') *p = '\\';
}

static int run_table(FILE* in, FARPROC table[EXPORT_COUNT][RESOLUTION_COUNT], struct Totals* totals) {
    int cases_per_export[EXPORT_COUNT] = {0};
    for (;;) {
        struct Case c;
        int index = 0;
        memset(&c, 0, sizeof c);
        int r = read_case(in, &c, &index);
        if (r == 0) break;
        if (r < 0) {
            printf("FAIL expectations table: bad entry after case '%s'\n", c.label);
            free_arguments(&c);
            return 0;
        }
        run_case(&c, table[index], totals);
        ++cases_per_export[index];
        free_arguments(&c);
    }
    int ok = 1;
    for (int i = 0; i < EXPORT_COUNT; ++i) {
        if (cases_per_export[i] == 0) {
            printf("FAIL %s: no case in the expectations table\n", kExports[i].name);
            ok = 0;
        }
    }
    return ok;
}

/*
 * Threads. Each thread that calls the DLL gets its own working storage, which
 * the DLL frees when the thread ends. THREAD_COUNT threads call gerg2008_z at
 * THREAD_STATES states and end; one more makes the same calls and ends only
 * after FreeLibrary, as a host's worker thread may. Every thread must get the
 * main thread's bits, and no thread's end may fail.
 */
#define THREAD_COUNT 4
#define THREAD_STATES 8

struct ThreadJob {
    PropertyFn z;
    HANDLE called; /* set once the calls are made (the lingering thread only) */
    HANDLE go;     /* the lingering thread ends once this is set */
    double results[THREAD_STATES];
};

static void z_at_states(PropertyFn z, double results[THREAD_STATES]) {
    double composition[21] = {90.0, 4.0, 1.0, 5.0}; /* mol-%: CH4, N2, CO2, C2H6 */
    for (int k = 0; k < THREAD_STATES; ++k) {
        const double p = 1.0 + 1.5 * k, T = 250.0 + 10.0 * k;
        const int16_t selector = 0;
        int16_t range_set = 0, status = 0;
        double echo[21];
        z(composition, &p, &T, &selector, &range_set, &results[k], echo, &status);
    }
}

static DWORD WINAPI thread_job(LPVOID arg) {
    struct ThreadJob* job = (struct ThreadJob*)arg;
    z_at_states(job->z, job->results);
    if (job->called != NULL) {
        SetEvent(job->called);
        WaitForSingleObject(job->go, INFINITE);
    }
    return 0;
}

/* Starts the threads; the lingering one is the last. Calls FreeLibrary between. */
static int check_threads(HMODULE dll, FARPROC fn) {
    struct ThreadJob jobs[THREAD_COUNT + 1];
    HANDLE threads[THREAD_COUNT + 1];
    double want[THREAD_STATES];
    const PropertyFn z = (PropertyFn)(void (*)(void))fn;
    z_at_states(z, want);
    HANDLE called = CreateEventA(NULL, TRUE, FALSE, NULL);
    HANDLE go = CreateEventA(NULL, TRUE, FALSE, NULL);
    int started = 0;
    for (int k = 0; k <= THREAD_COUNT; ++k) {
        jobs[k].z = z;
        jobs[k].called = k == THREAD_COUNT ? called : NULL;
        jobs[k].go = go;
        threads[k] = CreateThread(NULL, 0, thread_job, &jobs[k], 0, NULL);
        if (threads[k] != NULL) ++started;
    }
    if (started != THREAD_COUNT + 1) {
        printf("FAIL threads: started %d of %d\n", started, THREAD_COUNT + 1);
        return 0;
    }
    WaitForMultipleObjects(THREAD_COUNT, threads, TRUE, INFINITE);
    WaitForSingleObject(called, INFINITE);
    FreeLibrary(dll);
    SetEvent(go);
    WaitForSingleObject(threads[THREAD_COUNT], INFINITE);
    int same = 1;
    for (int k = 0; k <= THREAD_COUNT; ++k) {
        same = same && memcmp(jobs[k].results, want, sizeof want) == 0;
        CloseHandle(threads[k]);
    }
    CloseHandle(called);
    CloseHandle(go);
    if (!same) printf("FAIL threads: a thread's Z differs from the main thread's\n");
    return same;
}

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: %s ngtherm.dll expectations.txt\n", argv[0]);
        return 2;
    }
    to_windows_path(argv[1]);
    HMODULE dll = LoadLibraryA(argv[1]);
    if (dll == NULL) {
        printf("FAIL cannot load %s (error %lu)\n", argv[1], (unsigned long)GetLastError());
        return 1;
    }
    FILE* in = fopen(argv[2], "r");
    if (in == NULL) {
        printf("FAIL cannot open %s\n", argv[2]);
        return 1;
    }
    FARPROC table[EXPORT_COUNT][RESOLUTION_COUNT];
    struct Totals totals = {0, 0, 0.0};
    int z_index = 0;
    if (check_resolution(dll, table) && find_export("gerg2008_z", &z_index) != NULL) {
        ++totals.passed;
        if (!run_table(in, table, &totals)) ++totals.failed;
        /* Frees the DLL on the way. */
        if (check_threads(dll, table[z_index][BY_NAME])) {
            ++totals.passed;
        } else {
            ++totals.failed;
        }
    } else {
        ++totals.failed;
        FreeLibrary(dll);
    }
    fclose(in);
    printf("largest relative difference from the native results: %.3g\n", totals.largest_difference);
    printf("host: %d passed, %d failed\n", totals.passed, totals.failed);
    return totals.failed == 0 ? 0 : 1;
}
