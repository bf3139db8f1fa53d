#include "writers/resampling.hpp"

Resampling prepare_resampling(const StructureInfo& structure, const MapHeader& header,
                              const MapSections& sections)
{
    return {structure, header, sections, prepare_density_grid(structure, header, sections)};
}

float resample_row(const Resampling& map, WritePath path, const Point3& start, int axis,
                   float step, std::int64_t count, float* densities)
{
    if (path == WritePath::shipped)
        return interpolate_row(map.grid, start, axis, step, count, densities);
    Point3 point = start;
    float& moving = point[static_cast<std::size_t>(axis)];
    for (std::int64_t n = 0; n < count; ++n) {
        densities[n] = interpolate_density(map.structure, map.header, map.sections, point);
        moving += step;
    }
    return moving;
}

GridWalk walk_cartesian_grid(const CartesianBox& box, const GridCounts& counts,
                             int point_axis, int row_axis)
{
    const std::int64_t count[3] = {counts.nx, counts.ny, counts.nz};
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
