// Points in crystal space and in Cartesian space as different types, so that one is never
// taken for the other: a transformation of the cell turns one into the other.
#pragma once

#include <array>

namespace grix {

template <typename Number, typename Frame>
struct Coordinates : std::array<Number, 3> {};

struct FractionalFrame;  // x, y, z in fractions of the cell edges a, b, c
struct CartesianFrame;   // X, Y, Z in Angstrom: X along a, Y in the a-b plane, Z along c*

// In single precision, as the four original formats compute and print them.
using FractionalPoint = Coordinates<float, FractionalFrame>;
using CartesianPoint = Coordinates<float, CartesianFrame>;

// In double, for the whole cell, its atoms, the peaks and the viewers' formats.
using Fractional = Coordinates<double, FractionalFrame>;
using Cartesian = Coordinates<double, CartesianFrame>;

}  // namespace grix
