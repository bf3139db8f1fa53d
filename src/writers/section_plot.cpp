#include "writers/section_plot.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace grix {
namespace {

// Pixel sizes of a plot: its longer side, and the margins that hold the axis labels.
constexpr double PLOT_PIXELS = 560;
constexpr double MARGIN_LEFT = 64, MARGIN_RIGHT = 24, MARGIN_TOP = 16, MARGIN_BOTTOM = 44;

}  // namespace

MapLayout describe_layout(const MapGeometry& geometry)
{
    MapLayout layout;
    for (std::size_t d = 0; d < 3; ++d) {
        if (geometry.knows_axes())
            layout.axis[d] = geometry.axis[d];
        layout.intervals[d] = geometry.divisions[d];
        layout.origin[d] = geometry.origin[d];
    }
    layout.across = geometry.points[0];
    layout.down = geometry.points[1];
    layout.count = geometry.points[2];
    return layout;
}

bool is_usable_cell(const std::array<double, 6>& cell)
{
    for (int n = 0; n < 6; ++n)
        if (!std::isfinite(cell[n]) || cell[n] <= 0 || (n >= 3 && cell[n] >= 180))
            return false;
    return true;
}

PlotFrame plan_frame(const MapLayout& layout, const std::array<double, 6>& given_cell)
{
    const std::array<double, 6> cell =
        is_usable_cell(given_cell) ? given_cell : std::array<double, 6>{1, 1, 1, 90, 90, 90};
    const int a = layout.axis[0], b = layout.axis[1];
    const double angle = cell[3 + (3 - a - b)] * (std::numbers::pi / 180);
    const double across_step = cell[a] / layout.intervals[0];
    const double down_step = cell[b] / layout.intervals[1];
    const double last_i = std::max(layout.across - 1, 0);
    const double last_j = std::max(layout.down - 1, 0);

    PlotFrame frame{0, 0, across_step, 0, down_step * std::cos(angle),
                    -down_step * std::sin(angle), 0, 0};
    double left = 0, right = 0, top = 0, bottom = 0;
    for (double i : {0.0, last_i})
        for (double j : {0.0, last_j}) {
            const auto [x, y] = frame.at(i, j);
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    const double longer = std::max(right - left, bottom - top);
    const double scale = longer > 0 ? PLOT_PIXELS / longer : 1;
    frame.ux *= scale;
    frame.wx *= scale;
    frame.wy *= scale;
    frame.ox = MARGIN_LEFT - left * scale;
    frame.oy = MARGIN_TOP - top * scale;
    frame.width = std::ceil((right - left) * scale + MARGIN_LEFT + MARGIN_RIGHT);
    frame.height = std::ceil((bottom - top) * scale + MARGIN_TOP + MARGIN_BOTTOM);
    return frame;
}

}  // namespace grix
