// Orthogonalisation of the unit cell: X along a, Y in the a-b plane, Z along c*.
#pragma once

#include "common/phase.hpp"

#include <array>

namespace grix {

// Degrees to radians as the 11-digit decimal, not the double nearest to pi/180: the
// cell matrices and the Marching Cube CELL lines depend on this exact value.
inline constexpr double DEG_TO_RAD = 0.01745329252;

// A 3x3 matrix stored row by row (row r yields output coordinate r), then a
// translation that is always zero.
struct CellTransform {
    float matrix[9] = {};
    float translation[3] = {};
};

// A cell with both transformations between fractional and Cartesian coordinates.
struct Cell {
    CellParameters parameters;
    CellTransform frac_to_cart;
    CellTransform cart_to_frac;
};

// A cell without positive squared volume ends the run with a three-line report on
// standard output.
Cell orthogonalise_cell(const CellParameters& parameters);

// The same axes in double with the exact degree, for the formats of today's viewers:
// row r of the fractional-to-Cartesian matrix gives Cartesian coordinate r.
std::array<std::array<double, 3>, 3> cartesian_axes(const CellParameters& cell);

}  // namespace grix
