// The whole unit cell as the formats for today's viewers hold it: the density on the
// map's own grid completed over one cell, and every atom's images inside the cell.
#pragma once

#include "common/fourier_map.hpp"
#include "common/phase.hpp"
#include "geometry/cell.hpp"
#include "symmetry/cell_density.hpp"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace grix {

struct SpaceGroup;

struct CellAtom {
    std::string label;               // the experiment file's label, blanks trimmed
    std::string element;             // "Si", "O", ...; "" when the type is unknown
    int atomic_number = 0;           // 0 when the element is unknown
    Fractional fractional;
};

struct WholeCell {
    Cell geometry;                   // the phase's cell, orthogonalised
    std::array<int, 3> points{};     // grid points per cell along x, y, z; point n at n / points
    CellValues values;               // x fastest, then y, then z; empty with map_sections
    // The map's own sections where they are the cell's density as they stand (the map
    // then outlives the cell); none where the cell holds its values.
    SectionedValues map_sections;
    std::vector<CellAtom> atoms;
    std::int64_t unreached = 0;      // grid points no operator reached, left 0

    // The density a section a z, x fastest then y within it: the map's sections or the
    // cell's own values. Point (x, y, z) is section(z)[x + points[0] * y].
    SectionedValues density() const;
};

// The cell of the phase with every image inside it of every atom of the phase, and,
// when `with_density`, the map completed over it on the map's own grid.
WholeCell build_whole_cell(const FourierMap& map, const Phase& phase, const SpaceGroup& group,
                           bool with_density);

}  // namespace grix
