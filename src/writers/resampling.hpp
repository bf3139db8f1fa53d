// The walk over the Cartesian grid that the Marching Cube and XD grid writers fill with
// the map interpolated along its rows.
#pragma once

#include "geometry/grid.hpp"
#include "writers/grid_walk.hpp"

#include <cstdint>

namespace grix {

// Densities of points written in a row of values at most this long at a time.
inline constexpr std::int64_t RESAMPLED_BATCH = 256;

// The walk over the Cartesian grid from the box's minima by its steps: points along
// `point_axis`, rows along `row_axis` (0 X, 1 Y), planes along Z.
GridWalk walk_cartesian_grid(const CartesianGrid& grid, int point_axis, int row_axis);

}  // namespace grix
