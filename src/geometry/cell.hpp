// Orthogonalisation of the unit cell: X along a, Y in the a-b plane, Z along c*.
#pragma once

#include "common/phase.hpp"
#include "geometry/coordinates.hpp"

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

// A cell with its transformations between fractional and Cartesian coordinates, in the
// two precisions its users need.
struct Cell {
    CellParameters parameters;
    // In single precision with the 11-digit degree: the floats the four original formats
    // are written from, to the last bit.
    CellTransform frac_to_cart;
    CellTransform cart_to_frac;
    // In double with the exact degree, for the viewers' formats: row r of the
    // fractional-to-Cartesian matrix gives Cartesian coordinate r.
    std::array<std::array<double, 3>, 3> axes{};
};

// A cell without positive squared volume (NaN included) ends the run with a three-line
// report on standard output: it has no single-precision transformations.
void check_cell_volume(const CellParameters& parameters);

// Both precisions of the cell's transformations. The single-precision ones of a cell that
// check_cell_volume refuses are not finite; its double axes are still those of its
// edges and angles.
Cell orthogonalise_cell(const CellParameters& parameters);

// The point through the single-precision matrices, each product and sum in double and the
// result rounded to float; the translation is not added.
CartesianPoint to_cartesian(const Cell& cell, const FractionalPoint& point);
FractionalPoint to_fractional(const Cell& cell, const CartesianPoint& point);

// The point through the double axes.
Cartesian to_cartesian(const Cell& cell, const Fractional& point);

// The cell edge along crystal axis `axis` (0, 1, 2) in Cartesian coordinates (Angstrom),
// from the double axes.
Cartesian cell_edge(const Cell& cell, int axis);

}  // namespace grix
