// Fixed-size dense vectors and matrices for the solvers: one entry per
// component at most, no allocation.
#pragma once

#include <array>

#include "ngtherm/components.hpp"

namespace ngtherm::numerics {

// Largest order of a vector or matrix: one entry per component.
inline constexpr int kMaxDimension = kComponentCount;

using Vector = std::array<double, kMaxDimension>;
using Matrix = std::array<Vector, kMaxDimension>;  // [row][column]

// Fixed-capacity list of indices.
template <int Capacity>
struct IndexList {
    int size = 0;
    std::array<int, Capacity> index{};
    void add(int i) { index[size++] = i; }
    const int* begin() const { return index.data(); }
    const int* end() const { return index.data() + size; }
};

}  // namespace ngtherm::numerics
