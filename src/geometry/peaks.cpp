#include "geometry/peaks.hpp"

#include "geometry/grid.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace grix {
namespace {

// One direction of the grid as the search walks it: the points it visits and, for each,
// its neighbours below and above (-1 where there is none).
struct Walk {
    std::int64_t points = 0;
    bool periodic = false;
    std::vector<std::array<std::int64_t, 3>> neighbours;  // [point] = {below, itself, above}
};

Walk walk_direction(std::int32_t points, std::int32_t intervals)
{
    Walk walk;
    walk.periodic = points >= intervals;
    walk.points = walk.periodic ? intervals : points;
    for (std::int64_t n = 0; n < walk.points; ++n) {
        std::int64_t below = n - 1, above = n + 1;
        if (walk.periodic) {
            below = (below + walk.points) % walk.points;
            above %= walk.points;
        }
        walk.neighbours.push_back({below, n, above < walk.points ? above : -1});
    }
    return walk;
}

// The map as the search reads it: value of a point by its index along each direction.
struct GridValues {
    const FourierMap& map;
    std::array<Walk, 3> walks;

    double at(std::int64_t across, std::int64_t down, std::int64_t section) const
    {
        return map.at(static_cast<std::size_t>(across), static_cast<std::size_t>(down),
                      static_cast<std::size_t>(section));
    }
    std::int64_t order(std::int64_t across, std::int64_t down, std::int64_t section) const
    {
        return across + walks[0].points * (down + walks[1].points * section);
    }
};

enum Extreme { MAXIMUM = 1, MINIMUM = 2 };

// Which extremes the point is: compared with each finite neighbour, strictly with the
// ones earlier in the grid's order, so that of a plateau only its first point counts.
int classify_point(const GridValues& grid, const std::array<std::int64_t, 3>& point,
                   double value)
{
    const std::int64_t own_order = grid.order(point[0], point[1], point[2]);
    int kinds = MAXIMUM | MINIMUM;
    for (std::size_t s = 0; s < 3 && kinds != 0; ++s) {
        const std::int64_t section = grid.walks[2].neighbours[point[2]][s];
        for (std::size_t r = 0; r < 3 && kinds != 0; ++r) {
            const std::int64_t down = grid.walks[1].neighbours[point[1]][r];
            for (std::size_t a = 0; a < 3 && kinds != 0; ++a) {
                const std::int64_t across = grid.walks[0].neighbours[point[0]][a];
                if (section < 0 || down < 0 || across < 0)
                    continue;
                const std::int64_t order = grid.order(across, down, section);
                const double neighbour = grid.at(across, down, section);
                if (order == own_order || !std::isfinite(neighbour))
                    continue;
                const bool earlier = order < own_order;
                if (earlier ? value <= neighbour : value < neighbour)
                    kinds &= ~MAXIMUM;
                if (earlier ? value >= neighbour : value > neighbour)
                    kinds &= ~MINIMUM;
            }
        }
    }
    return kinds;
}

// The peak at a grid point, refined direction by direction by the parabola through it
// and its two neighbours; `sign` is +1 for a maximum, -1 for a minimum.
GridPeak refine_peak(const GridValues& grid, const std::array<std::int64_t, 3>& point,
                     double value, double sign)
{
    const MapGeometry& geometry = grid.map.geometry;
    const std::array<int, 3>& axes = geometry.axes();
    GridPeak peak;
    double rise = 0;
    for (std::size_t d = 0; d < 3; ++d) {
        const Walk& walk = grid.walks[d];
        const std::array<std::int64_t, 3>& near = walk.neighbours[point[d]];
        double offset = 0;
        if (near[0] >= 0 && near[2] >= 0) {
            std::array<std::int64_t, 3> below = point, above = point;
            below[d] = near[0];
            above[d] = near[2];
            const double low = sign * grid.at(below[0], below[1], below[2]);
            const double high = sign * grid.at(above[0], above[1], above[2]);
            const double slope = (high - low) / 2;
            const double curvature = (high + low) / 2 - sign * value;
            if (curvature < 0 && std::isfinite(slope)) {
                offset = std::clamp(-slope / (2 * curvature), -0.5, 0.5);
                rise += slope * offset + curvature * offset * offset;
            }
        }
        peak.on_edge = peak.on_edge || (!walk.periodic && (near[0] < 0 || near[2] < 0));
        const double position =
            (static_cast<double>(geometry.origin[d]) + static_cast<double>(point[d]) + offset) /
            geometry.divisions[d];
        const double reduced = position - std::floor(position);
        peak.position[static_cast<std::size_t>(axes[d])] = reduced < 1.0 ? reduced : 0.0;
    }
    peak.height = value + sign * rise;
    return peak;
}

}  // namespace

GridExtremes find_extremes(const FourierMap& map)
{
    const MapGeometry& geometry = map.geometry;
    geometry.axes();
    GridExtremes extremes;
    const GridValues grid{map, {walk_direction(geometry.points[0], geometry.divisions[0]),
                                walk_direction(geometry.points[1], geometry.divisions[1]),
                                walk_direction(geometry.points[2], geometry.divisions[2])}};
    std::array<std::int64_t, 3> point{};
    for (point[2] = 0; point[2] < grid.walks[2].points; ++point[2]) {
        for (point[1] = 0; point[1] < grid.walks[1].points; ++point[1]) {
            for (point[0] = 0; point[0] < grid.walks[0].points; ++point[0]) {
                const double value = grid.at(point[0], point[1], point[2]);
                if (!std::isfinite(value))
                    continue;
                const int kinds = classify_point(grid, point, value);
                if (kinds & MAXIMUM)
                    extremes.maxima.push_back(refine_peak(grid, point, value, 1));
                if (kinds & MINIMUM)
                    extremes.minima.push_back(refine_peak(grid, point, value, -1));
            }
        }
    }
    std::stable_sort(extremes.maxima.begin(), extremes.maxima.end(),
                     [](const GridPeak& a, const GridPeak& b) { return a.height > b.height; });
    std::stable_sort(extremes.minima.begin(), extremes.minima.end(),
                     [](const GridPeak& a, const GridPeak& b) { return a.height < b.height; });
    return extremes;
}

std::array<double, 3> fractional_steps(const MapGeometry& geometry)
{
    const std::array<int, 3>& axes = geometry.axes();
    std::array<double, 3> steps{};
    for (std::size_t d = 0; d < 3; ++d)
        steps[static_cast<std::size_t>(axes[d])] = 1.0 / geometry.divisions[d];
    return steps;
}

}  // namespace grix
