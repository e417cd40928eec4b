/*
 * Prints every output of the 14 exports over a fixed set of calls (one-phase,
 * two-phase, failed and envelope calls) as exact hexadecimal doubles, one call a
 * line. Two builds give the same answers exactly when their digests are equal:
 *
 *   cc -O1 -Iinclude tools/export_digest.c -ldl -o /tmp/export_digest
 *   /tmp/export_digest build/libngtherm.so > before.txt
 *   ... change the library, rebuild ...
 *   /tmp/export_digest build/libngtherm.so > after.txt && cmp before.txt after.txt
 */
#include <dlfcn.h>
#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "ngtherm.h"

typedef void (*PropertyFn)(const double*, const double*, const double*, const int16_t*, int16_t*,
                           double*, double*, int16_t*);
typedef void (*FlashFn)(const double*, const double*, const double*, int16_t*, double*, double*,
                        double*, double*, int16_t*);
typedef void (*PhaseFn)(const double*, const double*, const double*, const double*, const double*,
                        const double*, const double*, const double*, int16_t*, double*, int32_t*,
                        double*, double*, int16_t*);

static const char* const kPropertyNames[] = {
    "gerg2008",   "gerg2008_z",  "gerg2008_k",  "gerg2008_rho",   "gerg2008_u",  "gerg2008_h",
    "gerg2008_s", "gerg2008_cv", "gerg2008_cp", "gerg2008_sos", "gerg2008_kappa", "gerg2008_jtc"};
enum { kPropertyCount = 12, kEnvelopeSize = 200 * 24 };

/* Gases in the caller's order (mol-%). */
static const double kGases[][21] = {
    {90, 2, 1, 4, 1.5, 0.4, 0.4, 0.2, 0.2, 0.2, 0, 0, 0, 0, 0, 0, 0.1, 0, 0, 0, 0},
    {90, 3, 2, 5},
    {70, 0.5, 1, 12, 9, 3, 2, 1, 0.5, 0.5, 0.3, 0.1, 0.05, 0.05},
    {85, 0.5, 4, 4, 1.5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5},
    {5, 3, 90, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2},
    {50, 50},
    {90, 0, 0, 0, 10},
    {80, 1, 1, 6, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 10},
    {52, 1, 40, 5, 2},
    {89.995, 2, 1, 5, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0.005},
    {100},
    {95, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5},
};
enum { kGasCount = sizeof kGases / sizeof kGases[0] };

static void put(const double* v, int n) {
    for (int i = 0; i < n; ++i) printf(" %a", v[i]);
}
static void put16(const int16_t* v, int n) {
    for (int i = 0; i < n; ++i) printf(" %d", v[i]);
}

static void property_calls(void* lib, const double* x, double p, double T, int16_t selector,
                           int16_t range) {
    for (int f = 0; f < kPropertyCount; ++f) {
        PropertyFn fn = (PropertyFn)dlsym(lib, kPropertyNames[f]);
        double result[11], echo[21];
        int16_t status[11], set = range;
        for (int i = 0; i < 11; ++i) result[i] = -1.5, status[i] = -2;
        fn(x, &p, &T, &selector, &set, result, echo, status);
        int n = f == 0 ? 11 : 1;
        printf("%s p=%a T=%a sel=%d set=%d ->", kPropertyNames[f], p, T, selector, set);
        put(result, n);
        put16(status, n);
        put(echo, 21);
        printf("\n");
    }
}

static void flash_call(void* lib, const double* x, double p, double T, int16_t range) {
    FlashFn fn = (FlashFn)dlsym(lib, "flash_tp");
    double results[3] = {-1.5, -1.5, -1.5}, liquid[21], vapour[21], echo[21];
    int16_t status = -2, set = range;
    for (int i = 0; i < 21; ++i) liquid[i] = vapour[i] = -1.5;
    fn(x, &p, &T, &set, results, liquid, vapour, echo, &status);
    printf("flash_tp p=%a T=%a set=%d ->", p, T, set);
    put(results, 3);
    put(liquid, 21);
    put(vapour, 21);
    put(echo, 21);
    printf(" %d\n", status);
}

static double envelope[kEnvelopeSize];

static void phase_call(void* lib, const double* x, double p, double T, double p_min, double p_max,
                       double T_min, double step, double beta) {
    PhaseFn fn = (PhaseFn)dlsym(lib, "phase");
    double characteristic[8], echo[21];
    int16_t status[8], set = 0;
    int32_t count = -2;
    for (int i = 0; i < kEnvelopeSize; ++i) envelope[i] = -1.5;
    fn(x, &p, &T, &p_min, &p_max, &T_min, &step, &beta, &set, envelope, &count, characteristic,
       echo, status);
    printf("phase p=%a T=%a pmin=%a pmax=%a Tmin=%a step=%a beta=%a -> %d", p, T, p_min, p_max,
           T_min, step, beta, (int)count);
    put(envelope, kEnvelopeSize);
    put(characteristic, 8);
    put16(status, 8);
    put(echo, 21);
    printf("\n");
}

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: %s path/to/libngtherm.so\n", argv[0]);
        return 2;
    }
    void* lib = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (!lib) {
        fprintf(stderr, "%s\n", dlerror());
        return 2;
    }
    static const double temperatures[] = {120, 200, 250, 300, 450};
    static const double pressures[] = {0.1, 2, 6, 12};
    for (int g = 0; g < kGasCount; ++g) {
        printf("# gas %d\n", g);
        for (int t = 0; t < 5; ++t)
            for (int q = 0; q < 4; ++q) {
                property_calls(lib, kGases[g], pressures[q], temperatures[t], 0, 0);
                flash_call(lib, kGases[g], pressures[q], temperatures[t], 0);
            }
        property_calls(lib, kGases[g], 5, 230, 1, 2);
        property_calls(lib, kGases[g], 5, 230, 2, 1);
        phase_call(lib, kGases[g], 5, 250, 0.1, 40, 60, 0.1, 1.0);
        phase_call(lib, kGases[g], 3, 200, 0.2, 20, 100, 0.5, 0.0);
    }
    /* Failed input checks and failed arguments. */
    double bad[21];
    memcpy(bad, kGases[0], sizeof bad);
    bad[3] = NAN;
    property_calls(lib, bad, 5, 300, 0, 0);
    bad[3] = -1;
    property_calls(lib, bad, 5, 300, 0, 0);
    flash_call(lib, bad, 5, 300, 0);
    property_calls(lib, kGases[0], 5, 300, 7, 0);
    property_calls(lib, kGases[0], 5, 300, 0, -1);
    property_calls(lib, kGases[0], 5, 300, 0, 5);
    property_calls(lib, kGases[0], 100, 300, 0, 1);
    property_calls(lib, kGases[0], 5, 2001, 0, 0);
    property_calls(lib, kGases[0], INFINITY, 300, 0, 0);
    flash_call(lib, kGases[0], 5, 55, 0);
    phase_call(lib, kGases[0], 5, 250, 0.00001, 40, 60, 0.1, 1.0);
    phase_call(lib, kGases[0], 5, 250, 0.1, 40, 60, 2.0, 1.0);
    phase_call(lib, kGases[0], 5, 250, 0.1, 40, 60, 0.1, 1.5);
    dlclose(lib);
    return 0;
}
