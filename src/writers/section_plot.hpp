// Where the contour page's points lie: the map's points in the cell, and their pixels on
// a plot that shows a section's plane at its true shape.
#pragma once

#include "common/fourier_map.hpp"

#include <array>

namespace grix {

inline constexpr char AXIS_NAME[3] = {'x', 'y', 'z'};

// The map's points and where its three directions run in the cell.
struct MapLayout {
    int across = 0, down = 0, count = 0;  // points across, down; sections
    int axis[3] = {0, 1, 2};              // fractional axis of each direction; these
                                          // when the section direction is unknown
    double intervals[3] = {1, 1, 1};      // grid intervals per cell repeat
    double origin[3] = {0, 0, 0};         // grid index of the map's first point

    double fraction(int direction, double index) const
    {
        return (index + origin[direction]) / intervals[direction];
    }
};

// Pixel positions on a plot: grid point (i, j) of a section at origin + i u + j w.
// The down direction points up the page, at the cell's angle to the across direction.
struct PlotFrame {
    double ox = 0, oy = 0, ux = 0, uy = 0, wx = 0, wy = 0;
    double width = 0, height = 0;

    std::array<double, 2> at(double i, double j) const
    {
        return {ox + i * ux + j * wx, oy + i * uy + j * wy};
    }
};

// The layout of the map's grid.
MapLayout describe_layout(const MapGeometry& geometry);

// Whether the cell (a, b, c, alpha, beta, gamma) can give the plots their shape.
bool is_usable_cell(const std::array<double, 6>& cell);

// A section's plane at its true shape: the across and down steps at their lengths in
// the cell and at the angle between their axes (a unit cube when the cell is unusable),
// scaled so the longer side of the plot is PLOT_PIXELS.
PlotFrame plan_frame(const MapLayout& layout, const std::array<double, 6>& given_cell);

}  // namespace grix
