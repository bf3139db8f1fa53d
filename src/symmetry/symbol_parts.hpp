// A space-group symbol in the GSAS refinement package's spelling, taken apart: the
// lattice letter, up to three axis parts separated by blanks ("P 21/c", "P 42/n n m",
// "I a 3 d"), a closing " R" for rhombohedral axes, and the symmetry direction that
// each part stands for in its crystal family.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace grix {

// One axis part: a rotation (order 1 for none), its bar or screw subscript, and the
// mirror or glide perpendicular to it ('m', 'a', 'b', 'c', 'n', 'd', 'e'; 0 for none).
struct AxisPart {
    int order = 1;
    bool bar = false;
    int screw = 0;
    char plane = 0;
};

// The directions the parts of the symbols refer to; `diagonal` is [1-10],
// `hexagonal_a` is [100] of hexagonal axes, `body_diagonal` is [111].
enum class Direction { x, y, z, diagonal, hexagonal_a, body_diagonal };

struct SymbolParts {
    char lattice = 'P';              // P, A, B, C, I, F or R
    bool rhombohedral_axes = false;  // an R lattice on rhombohedral axes
    bool hexagonal_axes = false;     // 3- and 6-fold axes along c of hexagonal axes
    std::vector<AxisPart> parts;     // the short monoclinic symbol completed: "1 21/c 1"
    std::vector<Direction> directions;
    std::vector<std::string> names;  // the parts spelled as the tables spell them: the
                                     // bar of the cubic 3 written, letters in lower case
};

// The words of a symbol, between blanks and tabs.
std::vector<std::string_view> split_words(std::string_view text);

// The parts of a symbol, or nullopt when it is not a symbol of one of the crystal
// families (a bad part, a part in a place where it cannot stand, a lattice letter that
// the family does not have).
std::optional<SymbolParts> split_symbol(std::string_view symbol);

}  // namespace grix
