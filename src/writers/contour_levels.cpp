#include "writers/contour_levels.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace grix {

std::vector<Level> choose_levels(const ValueStatistics& stats)
{
    const double rms = stats.rms_about_zero;
    std::vector<Level> levels;
    if (!(rms > 0))
        return levels;
    const int below = static_cast<int>(std::floor(-stats.minimum / rms));
    const int above = static_cast<int>(std::floor(stats.maximum / rms));
    auto step_for = [](int multiples) {
        return std::max(1, (multiples + MAX_LEVELS_PER_SIGN - 1) / MAX_LEVELS_PER_SIGN);
    };
    const int down = step_for(below), up = step_for(above);
    for (int m = below / down * down; m >= down; m -= down)
        levels.push_back({-m, -m * rms});
    for (int m = up; m <= above; m += up)
        levels.push_back({m, m * rms});
    return levels;
}

std::string format_multiple(int multiple)
{
    return (multiple < 0 ? "\u2212" : "+") + std::to_string(std::abs(multiple)) + "\u03c3";
}

}  // namespace grix
