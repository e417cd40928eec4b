#include <limits>

#include "api/composition.hpp"
#include "api/export_frames.hpp"
#include "api/status_codes.hpp"
#include "ngtherm/properties.hpp"

namespace ngtherm {
namespace {

constexpr double kPercent = 100.0;

static_assert(kExportPropertyCount == api::kPropertyCount);

}  // namespace

ExternalPercentages external_percentages(const Composition& fractions) {
    ExternalPercentages percent{};
    for (int e = 0; e < kComponentCount; ++e) {
        percent[e] = fractions[api::kExternalToModel[e]] * kPercent;
    }
    return percent;
}

ExportResults export_properties(const ExternalPercentages& composition, double p, double T,
                                std::int16_t phase_selector, std::int16_t range_set) {
    ExportResults out;
    out.value.fill(std::numeric_limits<double>::quiet_NaN());
    out.range_set = range_set;
    ExternalPercentages echo{};
    api::all_properties_export(composition.data(), &p, &T, &phase_selector, &out.range_set,
                               out.value.data(), echo.data(), out.status.data());
    return out;
}

std::string_view status_meaning(int code) { return api::status_meaning(code); }

}  // namespace ngtherm
