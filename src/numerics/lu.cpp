#include "numerics/lu.hpp"

#include <algorithm>
#include <cmath>
#include <utility>

namespace ngtherm::numerics {
namespace {

// A pivot this small relative to the largest entry of the matrix means the
// system has no usable solution.
constexpr double kSingularPivot = 1e-300;

double largest_entry(const LuSystem& s) {
    double largest = 0.0;
    for (int i = 0; i < s.m; ++i) {
        for (int j = 0; j < s.m; ++j) largest = std::max(largest, std::abs(s.a[i][j]));
    }
    return largest;
}

int pivot_row(const LuSystem& s, int k) {
    int row = k;
    for (int i = k + 1; i < s.m; ++i) {
        if (std::abs(s.a[i][k]) > std::abs(s.a[row][k])) row = i;
    }
    return row;
}

}  // namespace

bool lu_factor(LuSystem& s) {
    const double scale = largest_entry(s);
    if (!std::isfinite(scale) || !(scale > 0.0)) return false;
    for (int k = 0; k < s.m; ++k) {
        const int row = pivot_row(s, k);
        s.pivot[k] = row;
        if (row != k) std::swap(s.a[row], s.a[k]);
        const double diagonal = s.a[k][k];
        if (!(std::abs(diagonal) > kSingularPivot * scale)) return false;
        for (int i = k + 1; i < s.m; ++i) {
            const double factor = s.a[i][k] / diagonal;
            s.a[i][k] = factor;
            for (int j = k + 1; j < s.m; ++j) s.a[i][j] -= factor * s.a[k][j];
        }
    }
    return true;
}

void lu_solve(const LuSystem& s, LuVector& b) {
    for (int k = 0; k < s.m; ++k) {
        if (s.pivot[k] != k) std::swap(b[k], b[s.pivot[k]]);
    }
    for (int i = 1; i < s.m; ++i) {
        double sum = b[i];
        for (int j = 0; j < i; ++j) sum -= s.a[i][j] * b[j];
        b[i] = sum;
    }
    for (int i = s.m - 1; i >= 0; --i) {
        double sum = b[i];
        for (int j = i + 1; j < s.m; ++j) sum -= s.a[i][j] * b[j];
        b[i] = sum / s.a[i][i];
    }
}

}  // namespace ngtherm::numerics
