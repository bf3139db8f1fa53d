// Space groups from the symbols of GSAS experiment files: the operators of a symbol in
// the package's spelling, taken from the International Tables (gemmi's copy) where they
// hold the setting, built from the symbol's parts where they do not.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace grix {

struct SymmetryOp {                                // x' = rotation * x + translation
    std::array<std::array<int, 3>, 3> rotation;   // fractional, integer
    std::array<double, 3> translation;            // fractional, in [0, 1)
};

struct SpaceGroup {
    std::string symbol;           // as read from the file, trimmed
    int number = 0;               // ITA number when the operators are those of the
                                  // group's standard setting (what a CCP4 map's ISPG
                                  // word wants), 0 otherwise
    std::vector<SymmetryOp> ops;  // every operator, lattice centring included,
                                  // identity first
};

// The operators of a symbol in the GSAS refinement package's spelling: blanks between
// the axis parts, the bar of the cubic 3 left out, the origin on a centre of symmetry
// (origin choice 2 where the tables give two), hexagonal axes for an R lattice unless
// the symbol ends in " R". nullopt when the symbol cannot be read (the caller reports it).
std::optional<SpaceGroup> read_space_group(std::string_view symbol);

// The same symbol's operators built from its parts alone, without the tables: what
// read_space_group gives for a setting no table holds. The origin is on a centre of
// symmetry if there is one, and on a point of highest site symmetry.
std::optional<SpaceGroup> space_group_from_parts(std::string_view symbol);

// Patterson symmetry: the point group's rotations with the inversion added, no
// translations, the lattice centring translations kept. Its symbol is that of the
// tables' setting with these operators, in the package's spelling, or "" if none.
SpaceGroup patterson_group(const SpaceGroup& group);

}  // namespace grix
