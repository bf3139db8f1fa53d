// The atoms of a phase over its whole cell: every image of a site inside the cell, and
// the element and atomic number of an experiment file's atom type.
#pragma once

#include "geometry/coordinates.hpp"
#include "symmetry/space_group.hpp"

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace grix {

// The distinct images of a site under the operators, each reduced into [0, 1);
// images closer than `tolerance` (fractional, per coordinate, modulo 1) are one.
std::vector<Fractional> images_in_cell(const SpaceGroup& group, const Fractional& site,
                                       double tolerance = 1e-3);

// The element from the atom type of an experiment file (its columns 15-16, e.g. "SI",
// "FE", "O ", "C", "D"): "Si", "Fe", "O", "C", "H" for deuterium...; "" when unknown.
std::string element_of_atom_type(std::string_view type);

// Atomic number of an element symbol ("Si" -> 14), 0 when unknown.
int atomic_number(std::string_view element);

}  // namespace grix
