// The local maxima and minima of a map on its own grid.
#pragma once

#include "common/fourier_map.hpp"
#include "geometry/coordinates.hpp"

#include <array>
#include <vector>

namespace grix {

struct GridPeak {
    double height = 0;                 // at the refined position
    Fractional position{};             // each coordinate in [0, 1)
    bool on_edge = false;  // on a face of a partial map, beyond which it was not compared
};

struct GridExtremes {
    std::vector<GridPeak> maxima;  // highest first
    std::vector<GridPeak> minima;  // deepest first
};

// Every grid point whose finite value is above (below) each finite value of its 26
// neighbours; of equal neighbours the one first in the grid's order counts. Along a
// direction whose points reach around the cell the grid is periodic (points beyond one
// period repeat the first); along the others a face has neighbours on one side only.
// Each position and height is refined by the parabola through the point and its two
// neighbours along each direction, at most half a grid step away. A map grid without
// intervals or points has none; a section direction other than 1, 2, 3 ends the run.
GridExtremes find_extremes(const FourierMap& map);

// One grid step along the fractional axes x, y, z, in fractions of the cell.
std::array<double, 3> fractional_steps(const MapGeometry& geometry);

}  // namespace grix
