// Everything a writer reads: the map, the chosen phase, the orthogonalised cell where
// the format needs one, and the choices of the run.
#pragma once

#include "common/fourier_map.hpp"
#include "common/phase.hpp"
#include "geometry/cell.hpp"
#include "symmetry/whole_cell.hpp"

namespace grix {

struct Conversion {
    const FourierMap& map;
    const Phase& phase;       // the map's cell, P 1, no atoms when the experiment file failed
    const Cell* cell = nullptr;  // for the formats that resample
    int precision = 0;        // decimals of the ASCII dump, 0 to 6
    int threads = 0;          // threads formatting the densities; 0: one per core, at most 8
    // The whole cell, for the formats whose row asks for it (its density only when the
    // row asks for that too).
    const WholeCell* whole_cell = nullptr;
    int space_group_number = 1;  // of the tables when the setting is theirs, else 1 (P1)
};

}  // namespace grix
