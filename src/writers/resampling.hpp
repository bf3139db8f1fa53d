// The Cartesian grid that the Marching Cube and XD grid writers fill with the map
// interpolated along its rows.
#pragma once

#include "geometry/grid.hpp"
#include "writers/conversion.hpp"
#include "writers/grid_walk.hpp"

#include <cstdint>

namespace grix {

struct CartesianGrid {
    CartesianBox box;
    GridCounts counts;
};

// The box around the map and its point counts. A map grid that cannot be laid out ends
// the run.
CartesianGrid lay_cartesian_grid(const Conversion& conversion);

// The resampling formats' refusal of such a grid, before their output is opened.
void check_cartesian_grid(const Conversion& conversion);

// Densities of points written in a row of values at most this long at a time.
inline constexpr std::int64_t RESAMPLED_BATCH = 256;

// The walk over the Cartesian grid from the box's minima by its steps: points along
// `point_axis`, rows along `row_axis` (0 X, 1 Y), planes along Z.
GridWalk walk_cartesian_grid(const CartesianGrid& grid, int point_axis, int row_axis);

}  // namespace grix
