// ngtherm._core: the C++ API over flat numpy arrays. The Python package
// broadcasts, allocates the outputs and names things; this module only loops,
// with the GIL released, over as many threads as it is asked for.
//
// Every value written here is the C++ API's value unchanged, except where a
// state failed: there the values become NaN and the status says why.
#include <nanobind/nanobind.h>
#include <nanobind/ndarray.h>
#include <nanobind/stl/array.h>
#include <nanobind/stl/optional.h>
#include <nanobind/stl/string.h>
#include <nanobind/stl/string_view.h>
#include <nanobind/stl/vector.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <exception>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "ngtherm/components.hpp"
#include "ngtherm/envelope.hpp"
#include "ngtherm/equilibrium.hpp"
#include "ngtherm/saturation.hpp"
#include "ngtherm/exports.hpp"
#include "ngtherm/state.hpp"

namespace nb = nanobind;

namespace {

using namespace ngtherm;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kPercent = 100.0;

// ---- the parts that follow the public headers' spelling ---------------------

// 0 liquid-like, 1 vapour-like (the root a state took).
std::int8_t side_code(const PhaseState& s) { return s.side == Side::liquid_like ? 0 : 1; }

// 0 ok, 1 no density root, 2 negative square of the speed of sound, 3 no such root.
std::int8_t state_status_code(StateStatus status) {
    switch (status) {
        case StateStatus::ok: return 0;
        case StateStatus::no_density: return 1;
        case StateStatus::negative_sound_speed: return 2;
        case StateStatus::no_such_root: return 3;
    }
    return 1;
}

// 0 success, 1 the stability test or the split failed.
std::int8_t equilibrium_status_code(EquilibriumOutcome outcome) {
    switch (outcome) {
        case EquilibriumOutcome::success: return 0;
        case EquilibriumOutcome::split_failed: return 1;
    }
    return 1;
}

// ---- arrays ------------------------------------------------------------------

using In = nb::ndarray<const double, nb::ndim<1>, nb::c_contig, nb::device::cpu>;
using Out2 = nb::ndarray<double, nb::ndim<2>, nb::c_contig, nb::device::cpu>;
using Codes8 = nb::ndarray<std::int8_t, nb::ndim<1>, nb::c_contig, nb::device::cpu>;
using Codes16 = nb::ndarray<std::int16_t, nb::ndim<2>, nb::c_contig, nb::device::cpu>;
using Composition21 = nb::ndarray<const double, nb::shape<kComponentCount>, nb::c_contig, nb::device::cpu>;

// Elements handed to a thread at a time: small enough to even out states of
// very different cost, large enough that the shared counter costs nothing.
constexpr std::size_t kBlock = 32;

// Runs body(i) for i in [0, n) on `workers` threads (0: one per core), the
// calling thread among them, without the GIL. Each element is computed exactly
// as it would be alone, so the split over threads does not show in the results.
template <class Body>
void parallel_for(std::size_t n, int workers, const Body& body) {
    unsigned threads = workers > 0 ? static_cast<unsigned>(workers) : std::thread::hardware_concurrency();
    const auto blocks = static_cast<unsigned>(std::max<std::size_t>(1, (n + kBlock - 1) / kBlock));
    threads = std::clamp<unsigned>(threads, 1, blocks);
    nb::gil_scoped_release release;
    std::atomic<std::size_t> next{0};
    std::exception_ptr failure;
    std::atomic<bool> failed{false};
    auto run = [&] {
        try {
            for (std::size_t begin; !failed && (begin = next.fetch_add(kBlock)) < n;) {
                const std::size_t end = std::min(n, begin + kBlock);
                for (std::size_t i = begin; i < end; ++i) body(i);
            }
        } catch (...) {
            if (!failed.exchange(true)) failure = std::current_exception();
        }
    };
    std::vector<std::thread> pool;
    pool.reserve(threads - 1);
    for (unsigned t = 1; t < threads; ++t) pool.emplace_back(run);
    run();
    for (std::thread& t : pool) t.join();
    if (failure) std::rethrow_exception(failure);
}

void require_length(std::size_t expected, std::size_t got, const char* what) {
    if (expected != got) throw std::invalid_argument(std::string(what) + " has the wrong size");
}

// Raises the library's InputError (a ValueError in Python) for the first T or
// p outside the limits of the C++ calculations, before anything is computed.
void check_states(const In& T, const In& p) {
    require_length(T.shape(0), p.shape(0), "p");
    for (std::size_t i = 0; i < T.shape(0); ++i) {
        try {
            check_state_limits(T(i), p(i));
        } catch (const InputError& e) {
            throw InputError(std::string(e.what()) + " (element " + std::to_string(i) + ")");
        }
    }
}

// The C functions answer a state outside their limits with a status; only a T
// or p that is no positive number is refused before anything is computed.
void check_points(const In& T, const In& p) {
    require_length(T.shape(0), p.shape(0), "p");
    for (std::size_t i = 0; i < T.shape(0); ++i) {
        if (std::isfinite(T(i)) && T(i) > 0.0 && std::isfinite(p(i)) && p(i) > 0.0) continue;
        try {
            check_state_limits(T(i), p(i));  // throws, in the words of the C++ calculations
        } catch (const InputError& e) {
            throw InputError(std::string(e.what()) + " (element " + std::to_string(i) + ")");
        }
    }
}

ExternalPercentages external(const Composition21& percent) {
    ExternalPercentages out{};
    std::copy_n(percent.data(), kComponentCount, out.begin());
    return out;
}

// ---- states ------------------------------------------------------------------

constexpr int kPropertyCount = 10;  // rho Z u h s cv cp w kappa jt

void write_props(const PhaseProperties& q, double* v, std::size_t n, std::size_t i) {
    const double values[kPropertyCount] = {q.rho, q.Z, q.u, q.h, q.s, q.cv, q.cp, q.w, q.kappa, q.jt};
    for (int k = 0; k < kPropertyCount; ++k) v[k * n + i] = values[k];
}

void write_nan(double* v, int rows, std::size_t n, std::size_t i) {
    for (int k = 0; k < rows; ++k) v[k * n + i] = kNaN;
}

// values (10, n); side and status (n).
void states(const Mixture& mixture, const In& T, const In& p, int root, int workers, Out2 values,
            Codes8 side, Codes8 status) {
    const std::size_t n = T.shape(0);
    check_states(T, p);
    require_length(n * kPropertyCount, values.size(), "values");
    require_length(n, side.size(), "side");
    require_length(n, status.size(), "status");
    double* v = values.data();
    parallel_for(n, workers, [&](std::size_t i) {
        const PhaseState s = single_phase_state(mixture, T(i), p(i), static_cast<Root>(root));
        status(i) = state_status_code(s.status);
        if (s.status == StateStatus::no_density || s.status == StateStatus::no_such_root) {
            side(i) = -1;
            write_nan(v, kPropertyCount, n, i);
            return;
        }
        side(i) = side_code(s);
        write_props(s.props, v, n, i);
    });
}

// values (33, n): beta, the liquid-like, vapour-like and overall properties (10
// each), the molar masses of the liquid-like and vapour-like phases; x and y
// (n, 21); phases and status (n).
constexpr int kEquilibriumRows = 1 + 3 * kPropertyCount + 2;

void equilibria(const Mixture& mixture, const In& T, const In& p, int workers, Out2 values, Out2 x,
                Out2 y, Codes8 phases, Codes8 status) {
    const std::size_t n = T.shape(0);
    check_states(T, p);
    require_length(n * kEquilibriumRows, values.size(), "values");
    require_length(n * kComponentCount, x.size(), "x");
    require_length(n * kComponentCount, y.size(), "y");
    double* v = values.data();
    parallel_for(n, workers, [&](std::size_t i) {
        const EquilibriumState e = equilibrium_state(mixture, T(i), p(i));
        status(i) = equilibrium_status_code(e.outcome);
        double* xi = x.data() + i * kComponentCount;
        double* yi = y.data() + i * kComponentCount;
        if (!e.ok()) {
            phases(i) = 0;
            write_nan(v, kEquilibriumRows, n, i);
            std::fill_n(xi, kComponentCount, kNaN);
            std::fill_n(yi, kComponentCount, kNaN);
            return;
        }
        phases(i) = static_cast<std::int8_t>(e.phases);
        v[i] = e.beta;
        write_props(e.liquid, v + n, n, i);
        write_props(e.vapour, v + (1 + kPropertyCount) * n, n, i);
        write_props(e.overall, v + (1 + 2 * kPropertyCount) * n, n, i);
        v[(kEquilibriumRows - 2) * n + i] = e.liquid_molar_mass;
        v[(kEquilibriumRows - 1) * n + i] = e.vapour_molar_mass;
        std::copy_n(e.x.begin(), kComponentCount, xi);
        std::copy_n(e.y.begin(), kComponentCount, yi);
    });
}

// ---- the export frames -----------------------------------------------------------

// values (11, n), NaN where a status is a failure; status (n, 11).
void export_properties_array(const Mixture& mixture, const Composition21& percent, const In& T,
                             const In& p, int phase_selector, int range_set, int workers,
                             Out2 values, Codes16 status) {
    const std::size_t n = T.shape(0);
    check_points(T, p);
    require_length(n * kExportPropertyCount, values.size(), "values");
    require_length(n * kExportPropertyCount, status.size(), "status");
    const ExternalPercentages composition = external(percent);
    double* v = values.data();
    parallel_for(n, workers, [&](std::size_t i) {
        const ExportResults r = export_properties(composition, p(i), T(i),
                                                  static_cast<std::int16_t>(phase_selector),
                                                  static_cast<std::int16_t>(range_set));
        for (int k = 0; k < kExportPropertyCount; ++k) {
            status(i, k) = r.status[k];
            v[k * n + i] = r.status[k] > 0 ? kNaN : r.value[k];
        }
    });
}

// values (3, n): beta, liquid fraction, liquid content; x and y (n, 21) as
// mole fractions in model order; status (n, 1). NaN where the status is a failure.
void flash_array(const Mixture& mixture, const Composition21& percent, const In& T, const In& p,
                 int range_set, int workers, Out2 values, Out2 x, Out2 y, Codes16 status) {
    const std::size_t n = T.shape(0);
    check_points(T, p);
    require_length(n * 3, values.size(), "values");
    require_length(n * kComponentCount, x.size(), "x");
    require_length(n * kComponentCount, y.size(), "y");
    require_length(n, status.size(), "status");
    const ExternalPercentages composition = external(percent);
    double* v = values.data();
    parallel_for(n, workers, [&](std::size_t i) {
        const FlashResult r = flash(composition, p(i), T(i), static_cast<std::int16_t>(range_set));
        status(i, 0) = r.status;
        const bool failed = r.status > 0;
        v[i] = failed ? kNaN : r.beta;
        v[n + i] = failed ? kNaN : r.liquid_fraction;
        v[2 * n + i] = failed ? kNaN : r.liquid_content;
        const auto liquid = in_model_order(r.liquid);
        const auto vapour = in_model_order(r.vapour);
        for (int m = 0; m < kComponentCount; ++m) {
            x(i, m) = failed ? kNaN : liquid[m] / kPercent;
            y(i, m) = failed ? kNaN : vapour[m] / kPercent;
        }
    });
}

nb::dict envelope(const Composition21& percent, const EnvelopeOptions& options) {
    Envelope e;
    {
        nb::gil_scoped_release release;
        e = phase_envelope(external(percent), options);
    }
    const std::size_t count = e.points.size();
    std::vector<double> T(count), p(count), x(count * kComponentCount), y(count * kComponentCount);
    std::vector<int> type(count);
    for (std::size_t i = 0; i < count; ++i) {
        const EnvelopePoint& q = e.points[i];
        T[i] = q.T;
        p[i] = q.p;
        type[i] = static_cast<int>(q.type);
        std::copy_n(q.x.begin(), kComponentCount, x.begin() + i * kComponentCount);
        std::copy_n(q.y.begin(), kComponentCount, y.begin() + i * kComponentCount);
    }
    nb::dict out;
    out["code"] = e.code;
    out["outcome"] = static_cast<int>(e.outcome);
    out["range_set"] = e.range_set;
    out["T"] = T;
    out["p"] = p;
    out["type"] = type;
    out["x"] = x;
    out["y"] = y;
    out["value"] = e.value;
    out["status"] = e.status;
    const std::size_t water_count = e.water_dew.size();
    std::vector<double> water_T(water_count), water_p(water_count), water_x(water_count * kComponentCount);
    for (std::size_t i = 0; i < water_count; ++i) {
        const WaterDewLinePoint& q = e.water_dew[i];
        water_T[i] = q.T;
        water_p[i] = q.p;
        std::copy_n(q.incipient.begin(), kComponentCount, water_x.begin() + i * kComponentCount);
    }
    out["water_T"] = water_T;
    out["water_p"] = water_p;
    out["water_incipient"] = water_x;
    return out;
}

// ---- saturation points -------------------------------------------------------------

// kind: 0 temperatures at `value` MPa, 1 pressures at `value` K, 2 the
// cricondentherm, 3 the cricondenbar, 4 the water dew temperature at `value`
// MPa, 5 the water dew pressure at `value` K.
nb::dict saturation(const Mixture& mixture, int kind, double value, double beta) {
    SaturationOptions o;
    o.beta = beta;
    Saturation s;
    {
        nb::gil_scoped_release release;
        switch (kind) {
            case 0: s = saturation_temperatures(mixture, value, o); break;
            case 1: s = saturation_pressures(mixture, value, o); break;
            case 2: s = cricondentherm(mixture, o); break;
            case 3: s = cricondenbar(mixture, o); break;
            case 4: s = water_dew_temperature(mixture, value); break;
            case 5: s = water_dew_pressure(mixture, value); break;
            default: throw InputError("unknown kind of saturation point");
        }
    }
    const std::size_t count = s.points.size();
    std::vector<double> T(count), p(count), residual(count), incipient(count * kComponentCount);
    std::vector<int> branch(count);
    for (std::size_t i = 0; i < count; ++i) {
        const SaturationPoint& q = s.points[i];
        T[i] = q.T;
        p[i] = q.p;
        residual[i] = q.residual;
        branch[i] = static_cast<int>(q.branch);
        std::copy_n(q.incipient.begin(), kComponentCount, incipient.begin() + i * kComponentCount);
    }
    nb::dict out;
    out["status"] = static_cast<int>(s.status);
    out["T"] = T;
    out["p"] = p;
    out["branch"] = branch;
    out["incipient"] = incipient;
    out["residual"] = residual;
    return out;
}

// ---- scalar access, for messages and for the benchmark -------------------------------

nb::tuple state_message(const Mixture& mixture, double T, double p, int root) {
    const PhaseState s = single_phase_state(mixture, T, p, static_cast<Root>(root));
    return nb::make_tuple(state_status_code(s.status), s.message);
}

nb::tuple equilibrium_message(const Mixture& mixture, double T, double p) {
    const EquilibriumState e = equilibrium_state(mixture, T, p);
    return nb::make_tuple(equilibrium_status_code(e.outcome), e.message);
}

// Seconds a plain C++ loop over the C++ API takes for these states on one
// thread: what the Python calls are measured against.
double time_cxx_loop(const Mixture& mixture, const In& T, const In& p, bool equilibrium) {
    check_states(T, p);
    nb::gil_scoped_release release;
    double sink = 0.0;
    const auto start = std::chrono::steady_clock::now();
    for (std::size_t i = 0; i < T.shape(0); ++i) {
        sink += equilibrium ? equilibrium_state(mixture, T(i), p(i)).beta
                            : single_phase_state(mixture, T(i), p(i)).props.rho;
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    volatile double keep = sink;
    (void)keep;
    return elapsed.count();
}

}  // namespace

NB_MODULE(_core, m) {
    m.doc() = "The ngtherm C++ API over numpy arrays (private; use the ngtherm package).";
    nb::register_exception_translator([](const std::exception_ptr& p, void*) {
        try {
            std::rethrow_exception(p);
        } catch (const InputError& e) {
            PyErr_SetString(PyExc_ValueError, e.what());
        }
    });

    m.attr("COMPONENT_COUNT") = kComponentCount;
    m.attr("EXPORT_PROPERTY_NAMES") = std::vector<std::string_view>(kExportPropertyNames.begin(), kExportPropertyNames.end());
    m.attr("CHARACTERISTIC_NAMES") = std::vector<std::string_view>(kCharacteristicNames.begin(), kCharacteristicNames.end());
    m.attr("STATE_ROWS") = kPropertyCount;
    m.attr("EQUILIBRIUM_ROWS") = kEquilibriumRows;
    m.def("component_id", &component_id, nb::arg("index"));
    m.def("component_name", &component_name, nb::arg("index"));
    m.def("component_molar_mass", &component_molar_mass, nb::arg("index"));
    m.def("find_component", &find_component, nb::arg("id_or_name"));
    m.def("status_meaning", &status_meaning, nb::arg("code"));
    m.def("point_label", [](int type) { return point_label(static_cast<EnvelopePointType>(type)); },
          nb::arg("type"));
    m.def("external_order", [] {
        // The C interface's position of each model-order component, as the library places it.
        std::vector<int> order(kComponentCount);
        for (int mi = 0; mi < kComponentCount; ++mi) {
            Composition unit{};
            unit[mi] = 1.0;
            const ExternalPercentages e = external_percentages(unit);
            order[mi] = static_cast<int>(std::find(e.begin(), e.end(), kPercent) - e.begin());
        }
        return order;
    });

    nb::class_<Mixture>(m, "Mixture")
        .def("__init__", [](Mixture* self, const Composition21& x) {
            Composition c{};
            std::copy_n(x.data(), kComponentCount, c.begin());
            new (self) Mixture(c);
        }, nb::arg("fractions"))
        .def_prop_ro("fractions", [](const Mixture& mx) {
            const Composition& c = mx.fractions();
            return std::vector<double>(c.begin(), c.end());
        })
        .def_prop_ro("active_count", &Mixture::active_count)
        .def_prop_ro("molar_mass", &Mixture::molar_mass);

    nb::class_<EnvelopeOptions>(m, "EnvelopeOptions")
        .def(nb::init<>())
        .def_rw("beta", &EnvelopeOptions::beta)
        .def_rw("p_min", &EnvelopeOptions::p_min)
        .def_rw("p_max", &EnvelopeOptions::p_max)
        .def_rw("T_min", &EnvelopeOptions::T_min)
        .def_rw("initial_step", &EnvelopeOptions::initial_step)
        .def_rw("T", &EnvelopeOptions::T, nb::arg("value").none())
        .def_rw("p", &EnvelopeOptions::p, nb::arg("value").none())
        .def_rw("range_set", &EnvelopeOptions::range_set)
        .def_rw("max_step", &EnvelopeOptions::max_step);

    m.def("states", &states, nb::arg("mixture"), nb::arg("T"), nb::arg("p"), nb::arg("root"),
          nb::arg("workers"), nb::arg("values"), nb::arg("side"), nb::arg("status"));
    m.def("equilibria", &equilibria, nb::arg("mixture"), nb::arg("T"), nb::arg("p"),
          nb::arg("workers"), nb::arg("values"), nb::arg("x"), nb::arg("y"), nb::arg("phases"),
          nb::arg("status"));
    m.def("export_properties", &export_properties_array, nb::arg("mixture"), nb::arg("percent"),
          nb::arg("T"), nb::arg("p"), nb::arg("phase_selector"), nb::arg("range_set"),
          nb::arg("workers"), nb::arg("values"), nb::arg("status"));
    m.def("flash", &flash_array, nb::arg("mixture"), nb::arg("percent"), nb::arg("T"), nb::arg("p"),
          nb::arg("range_set"), nb::arg("workers"), nb::arg("values"), nb::arg("x"), nb::arg("y"),
          nb::arg("status"));
    m.def("envelope", &envelope, nb::arg("percent"), nb::arg("options"));
    m.def("saturation", &saturation, nb::arg("mixture"), nb::arg("kind"), nb::arg("value"), nb::arg("beta"));
    m.def("state_message", &state_message, nb::arg("mixture"), nb::arg("T"), nb::arg("p"),
          nb::arg("root"));
    m.def("equilibrium_message", &equilibrium_message, nb::arg("mixture"), nb::arg("T"), nb::arg("p"));
    m.def("time_cxx_loop", &time_cxx_loop, nb::arg("mixture"), nb::arg("T"), nb::arg("p"),
          nb::arg("equilibrium"));
}
