// Space-group operators built from the parts of a symbol alone, for the settings that no
// table holds: each part's rotation, screw, mirror or glide is a generator whose place in
// the cell is searched for until the generators, with the lattice centring, close into
// a group of the order their point group and lattice call for.
//
// gemmi gives the operators of a Hall symbol or of a setting in its tables, but has no
// way from a Hermann-Mauguin symbol's parts to its operators; the experiment files name
// settings outside the tables ("I b 3", "P 2/c 2/c 2/m"), so this search is our own. Its
// arithmetic is gemmi's Op.
#pragma once

#include "symmetry/symbol_parts.hpp"

#include <gemmi/symmetry.hpp>

#include <optional>
#include <vector>

namespace grix {

// Every operator of the group that the parts describe, identity first. The origin lies
// on a centre of symmetry when the group has one, and on a point of highest site
// symmetry, preferably on the elements the symbol names. nullopt when no placement of
// the parts' elements closes into such a group.
std::optional<std::vector<gemmi::Op>> build_group(const SymbolParts& symbol);

}  // namespace grix
