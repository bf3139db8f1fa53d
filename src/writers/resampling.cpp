#include "writers/resampling.hpp"

namespace grix {

CartesianGrid lay_cartesian_grid(const Conversion& conversion)
{
    const CartesianBox box = cartesian_box(*conversion.cell, conversion.map.geometry);
    const GridCounts counts = count_grid_points(box);
    // The counts are not negative and their product fits 64 bits.
    check_output_grid_size(static_cast<std::uint64_t>(counts.nx) *
                               static_cast<std::uint64_t>(counts.ny) *
                               static_cast<std::uint64_t>(counts.nz),
                           conversion.map.geometry);
    return {box, counts};
}

void check_cartesian_grid(const Conversion& conversion)
{
    lay_cartesian_grid(conversion);
}

GridWalk walk_cartesian_grid(const CartesianGrid& grid, int point_axis, int row_axis)
{
    const CartesianBox& box = grid.box;
    const std::int64_t count[3] = {grid.counts.nx, grid.counts.ny, grid.counts.nz};
    const float min[3] = {box.xmin, box.ymin, box.zmin};
    const float step[3] = {box.xstep, box.ystep, box.zstep};
    const int axis_of_level[3] = {point_axis, row_axis, 2};
    GridWalk walk;
    walk.points = count[point_axis];
    walk.rows = count[row_axis];
    walk.planes = count[2];
    for (int level = 0; level < 3; ++level) {
        walk.start[level] = min[axis_of_level[level]];
        walk.step[level] = step[axis_of_level[level]];
    }
    return walk;
}

}  // namespace grix
