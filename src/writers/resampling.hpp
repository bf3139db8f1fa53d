// The densities that the Marching Cube and XD grid writers write: the map interpolated
// along the rows of their Cartesian grid, by either write path.
#pragma once

#include "common/records.hpp"
#include "geometry/grid.hpp"
#include "writers/grid_walk.hpp"
#include "writers/output_file.hpp"

#include <cstdint>

struct Resampling {
    const StructureInfo& structure;
    const MapHeader& header;
    const MapSections& sections;
    DensityGrid grid;
};

// Needs the cell transformations from orthogonalise_cell.
Resampling prepare_resampling(const StructureInfo& structure, const MapHeader& header,
                              const MapSections& sections);

// Densities of points written in a row of values at most this long at a time.
inline constexpr std::int64_t RESAMPLED_BATCH = 256;

// The densities of `count` points from `start`, coordinate `axis` (0 X, 1 Y, 2 Z) advanced
// by `step` in float after each point; returns that coordinate after the last step. The
// plain path calls interpolate_density for each point, the shipped one interpolate_row.
float resample_row(const Resampling& map, WritePath path, const Point3& start, int axis,
                   float step, std::int64_t count, float* densities);

// The walk over the Cartesian grid from the box's minima by its steps: points along
// `point_axis`, rows along `row_axis` (0 X, 1 Y), planes along Z.
GridWalk walk_cartesian_grid(const CartesianBox& box, const GridCounts& counts,
                             int point_axis, int row_axis);
