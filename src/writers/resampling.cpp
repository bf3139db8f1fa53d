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
