// The map at a glance: the statistics of its values, the part of the cell its grid
// covers, and whether its header's cell is a phase's.
#pragma once

#include "common/fourier_map.hpp"
#include "common/phase.hpp"

#include <array>
#include <cstdint>
#include <span>

namespace grix {

// Over the finite values; all 0 when there is none. Every sum runs in double, in the
// values' order, so each figure is the same wherever it is asked for.
struct ValueStatistics {
    std::int64_t finite = 0;
    std::int64_t not_finite = 0;  // NaN or infinite, left out of the rest
    double minimum = 0, maximum = 0, mean = 0;
    double rms = 0;             // root-mean-square deviation from the mean
    double rms_about_zero = 0;  // root-mean-square deviation from 0
};

ValueStatistics summarise_values(SectionedValues values);

// The figures of ValueStatistics a map header holds, each the float of summarise_values'
// double. The spread comes from the first pass's sums where the second pass's rounding
// could not change its float, from the second pass otherwise.
struct SingleValueStatistics {
    float minimum = 0, maximum = 0, mean = 0;
    float rms = 0;  // root-mean-square deviation from the mean
};

SingleValueStatistics summarise_values_single(SectionedValues values);

// One direction of the grid (across, down, section) in the cell.
struct DirectionExtent {
    int axis = -1;             // fractional axis, 0 x, 1 y, 2 z; -1 for an unknown msect
    double first = 0, last = 0;  // fractional coordinates of its first and last points
    bool whole_period = false;   // its points reach around the cell: points >= divisions
};

// The map grid's directions; needs no known section direction.
std::array<DirectionExtent, 3> map_extent(const MapGeometry& geometry);

// The part of the cell's volume the grid holds, min(points, divisions) / divisions per
// direction: 1 for a map of the whole cell.
double covered_fraction(const MapGeometry& geometry);

// Whether the map header's cell is `cell` within what a map made from it would show:
// each edge within 0.1 % of the phase's, each angle within 0.05 degrees. A NaN on
// either side matches.
bool cell_matches_map(const MapHeader& header, const CellParameters& cell);

}  // namespace grix
