#include "writers/contour_levels.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace grix {

MapStats measure_map(const MapValues& values)
{
    MapStats stats;
    double squares = 0;
    double finite = 0;
    for (std::size_t n = 0; n < values.size(); ++n) {
        const double value = values.data()[n];
        if (!std::isfinite(value))
            continue;
        stats.low = finite == 0 ? value : std::min(stats.low, value);
        stats.high = finite == 0 ? value : std::max(stats.high, value);
        squares += value * value;
        ++finite;
    }
    if (finite > 0)
        stats.rms = std::sqrt(squares / finite);
    return stats;
}

std::vector<Level> choose_levels(const MapStats& stats)
{
    std::vector<Level> levels;
    if (!(stats.rms > 0))
        return levels;
    const int below = static_cast<int>(std::floor(-stats.low / stats.rms));
    const int above = static_cast<int>(std::floor(stats.high / stats.rms));
    auto step_for = [](int multiples) {
        return std::max(1, (multiples + MAX_LEVELS_PER_SIGN - 1) / MAX_LEVELS_PER_SIGN);
    };
    const int down = step_for(below), up = step_for(above);
    for (int m = below / down * down; m >= down; m -= down)
        levels.push_back({-m, -m * stats.rms});
    for (int m = up; m <= above; m += up)
        levels.push_back({m, m * stats.rms});
    return levels;
}

std::string format_multiple(int multiple)
{
    return (multiple < 0 ? "\u2212" : "+") + std::to_string(std::abs(multiple)) + "\u03c3";
}

}  // namespace grix
