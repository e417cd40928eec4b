#include "api/status_codes.hpp"

#include <algorithm>

namespace ngtherm::api {
namespace {

// Ascending by code, so that a lookup can stop early and the header table
// reads in the same order.
constexpr std::array<StatusMeaning, 42> kStatusMeanings{{
    {-1, "success; range set 0, only the general limits were checked"},
    {0, "success"},
    {53, "a mole percentage is negative or not finite"},
    {54, "the mole percentages do not sum to 100 within 0.0001"},
    {55, "temperature not above 60 K, above 2000 K or not finite"},
    {56, "pressure not above 0 MPa, above 1000 MPa or not finite"},
    {101, "methane below the minimum of the range set"},
    {102, "nitrogen above the limit of the range set"},
    {103, "carbon dioxide above the limit of the range set"},
    {104, "ethane above the limit of the range set"},
    {105, "propane above the limit of the range set"},
    {110, "n-hexane above the limit of the range set"},
    {111, "n-heptane above the limit of the range set"},
    {115, "helium above the limit of the range set"},
    {117, "hydrogen above the limit of the range set"},
    {119, "carbon monoxide above the limit of the range set"},
    {120, "water above the limit of the range set"},
    {170, "argon + oxygen + hydrogen sulphide + n-nonane + n-decane above the limit"},
    {171, "n-butane + isobutane above the limit of the range set"},
    {172, "n-pentane + isopentane above the limit of the range set"},
    {173, "n-octane + n-nonane + n-decane above the limit of the range set"},
    {180, "negative range set"},
    {181, "temperature outside the range set"},
    {182, "pressure above the maximum of the range set"},
    {190, "temperature outside 2.1768 K to 5000 K"},
    {191, "pressure outside 1e-9 MPa to 2500 MPa"},
    {192, "a mole fraction is negative, greater than 1 or not finite"},
    {193, "the mole fractions of the kept components do not sum to 1 within 1e-6"},
    {194, "phase selector not 0, 1 or 2"},
    {195, "basis flag not 0 or 1"},
    {196, "phase envelope: minimum pressure outside 0.0001 MPa to 2.5 MPa"},
    {197, "phase envelope: characteristic value not determined"},
    {198, "phase envelope: maximum pressure below the minimum pressure or above 1000 MPa"},
    {199, "phase envelope: minimum temperature outside 50 K to 550 K"},
    {200, "phase envelope: initial step outside 0.01 to 1"},
    {201, "phase envelope: vapour fraction outside 0 to 1"},
    {202, "single active component: no phase split or envelope for a pure fluid"},
    {203, "property has no value for a single-phase state"},
    {204, "property not defined for the overall state of two phases"},
    {205, "square of the speed of sound negative"},
    {206, "the stability test or the phase split failed"},
    {207, "the phase-envelope trace failed"},
}};

constexpr bool codes_ascending() {
    for (std::size_t i = 1; i < kStatusMeanings.size(); ++i) {
        if (kStatusMeanings[i - 1].code >= kStatusMeanings[i].code) return false;
    }
    return true;
}
static_assert(codes_ascending(), "status codes must be unique and ascending");

}  // namespace

std::span<const StatusMeaning> status_meanings() { return kStatusMeanings; }

std::string_view status_meaning(int code) {
    const auto* it = std::lower_bound(
        kStatusMeanings.begin(), kStatusMeanings.end(), code,
        [](const StatusMeaning& entry, int wanted) { return entry.code < wanted; });
    if (it == kStatusMeanings.end() || it->code != code) return "unknown status code";
    return it->meaning;
}

}  // namespace ngtherm::api
