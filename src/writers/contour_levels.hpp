// The contour levels of the page: multiples of the map's rms deviation from zero, so
// that maps of any scale show their features alike.
#pragma once

#include "geometry/map_summary.hpp"

#include <cstddef>
#include <string>
#include <vector>

namespace grix {

// Contour levels per sign at most; more multiples of the rms are thinned evenly.
inline constexpr int MAX_LEVELS_PER_SIGN = 12;

struct Level {
    int multiple;  // of the rms; never zero
    double value;
};

// +-1, 2, 3, ... rms (about zero) out to the extremes; a side with more than MAX_LEVELS_PER_SIGN
// multiples takes every step-th of them. Negative levels first.
std::vector<Level> choose_levels(const ValueStatistics& stats);

// "+2σ", "−3σ": a level's name.
std::string format_multiple(int multiple);

}  // namespace grix
