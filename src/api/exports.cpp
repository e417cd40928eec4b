// The C functions from C++ (ngtherm/exports.hpp): each fills its result from
// the frame of its export.
#include "ngtherm/exports.hpp"


#include "api/check_input.hpp"
#include "api/composition.hpp"
#include "api/frames.hpp"
#include "api/status_codes.hpp"
#include "properties/phase_formulas.hpp"

namespace ngtherm {
namespace {

using properties::kNaN;

static_assert(kExportPropertyCount == api::kPropertyCount);

}  // namespace

ExternalPercentages external_percentages(const Composition& fractions) {
    ExternalPercentages percent{};
    for (int e = 0; e < kComponentCount; ++e) {
        percent[e] = fractions[api::kExternalToModel[e]] * api::kPercent;
    }
    return percent;
}

std::array<double, kComponentCount> in_model_order(const ExternalPercentages& values) {
    std::array<double, kComponentCount> model{};
    for (int e = 0; e < kComponentCount; ++e) model[api::kExternalToModel[e]] = values[e];
    return model;
}

ExportResults export_properties(const ExternalPercentages& composition, double p, double T,
                                std::int16_t phase_selector, std::int16_t range_set) {
    ExportResults out;
    out.value.fill(kNaN);
    out.range_set = range_set;
    ExternalPercentages echo{};
    api::all_properties_export(composition.data(), &p, &T, &phase_selector, &out.range_set,
                               out.value.data(), echo.data(), out.status.data());
    return out;
}

FlashResult flash(const ExternalPercentages& composition, double p, double T,
                  std::int16_t range_set) {
    FlashResult out;
    out.range_set = range_set;
    std::array<double, 3> results{kNaN, kNaN, kNaN};
    out.liquid.fill(kNaN);
    out.vapour.fill(kNaN);
    ExternalPercentages echo{};
    api::flash_export(composition.data(), &p, &T, &out.range_set, results.data(),
                      out.liquid.data(), out.vapour.data(), echo.data(), &out.status);
    out.beta = results[0];
    out.liquid_fraction = results[1];
    out.liquid_content = results[2];
    return out;
}

std::int16_t check_limits(const ExternalPercentages& composition, double p, double T,
                          std::int16_t range_set) {
    std::int16_t status = 0;
    api::check_input(composition.data(), p, T, range_set, status);
    return status;
}

std::string_view status_meaning(int code) { return api::status_meaning(code); }

}  // namespace ngtherm
