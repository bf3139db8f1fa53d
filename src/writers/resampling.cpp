#include "writers/resampling.hpp"

namespace grix {

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
