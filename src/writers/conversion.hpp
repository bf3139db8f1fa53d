// What a writer reads, prepared completely before it runs and not changed after: the map,
// the chosen phase and the choices of the run for every format; besides, the orthogonalised
// cell and the Cartesian grid for the formats that resample, or the whole cell for the
// formats that hold it. Each writer takes the input its row of the format table declares.
#pragma once

#include "common/fourier_map.hpp"
#include "common/phase.hpp"
#include "geometry/cell.hpp"
#include "geometry/grid.hpp"
#include "symmetry/whole_cell.hpp"

namespace grix {

struct Conversion {
    const FourierMap& map;
    const Phase& phase;       // the map's cell, P 1, no atoms when the experiment file failed
    int precision = 0;        // decimals of the ASCII dump, 0 to 6
    int threads = 0;          // threads formatting the densities; 0: one per core, at most 8
    int space_group_number = 1;  // of the tables when the setting is theirs, else 1 (P1)
};

// The formats on a Cartesian grid: the cell whose volume was checked, and the grid laid
// around the map, refused when it cannot be counted or is far larger than the map.
struct ResampledConversion : Conversion {
    Cell cell;
    CartesianGrid grid;
};

// The formats of the whole cell: its atoms, and its density where the row asks for it.
struct WholeCellConversion : Conversion {
    const WholeCell& whole_cell;
};

}  // namespace grix
