// One section of the contour page as an SVG figure: its contours at the page's levels,
// the outline of the map's part of the plane with the coordinates at its corners, and the
// atoms near the plane.
#pragma once

#include "symmetry/whole_cell.hpp"
#include "writers/contour_levels.hpp"
#include "writers/section_plot.hpp"

#include <cstddef>
#include <string>
#include <vector>

namespace grix {

// The contour path data one section may take; beyond it the levels nearest zero go.
inline constexpr std::size_t SECTION_PATH_BUDGET = 96 * 1024;

// The figure of section k (its `values` row by row), hidden unless `shown`, with its
// caption naming the section.
std::string draw_section(const float* values, const std::vector<CellAtom>& atoms,
                         const MapLayout& layout, const PlotFrame& frame,
                         const std::vector<Level>& levels, int k, bool shown);

}  // namespace grix
