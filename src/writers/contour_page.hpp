// A first look at a Fourier map in any browser: one self-contained HTML page with a
// contour plot of each section (inline SVG, no network, no other file), the atoms near
// each section's plane, and a slider and keys to step through the sections.
#pragma once

#include "common/fourier_map.hpp"
#include "symmetry/whole_cell.hpp"
#include "writers/conversion.hpp"
#include "writers/output_sink.hpp"

// The page's limits (levels per sign, path data per section) and its escaping.
#include "writers/contour_levels.hpp"
#include "writers/html_text.hpp"
#include "writers/section_svg.hpp"

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace grix {

struct ContourPageInput {
    const FourierMap& map;
    std::string phase_name;
    std::array<double, 6> cell;   // a, b, c (Angstrom), alpha, beta, gamma (degrees)
    std::vector<CellAtom> atoms;  // every atom image in the cell, fractional in [0, 1)
};

// At most this many sections are drawn; a longer map shows every k-th section.
inline constexpr int MAX_DRAWN_SECTIONS = 48;

// Writes the page to `sink`. The levels are multiples of the map's rms deviation from
// zero; text from the files is escaped.
void emit_contour_page(const ContourPageInput& input, OutputSink& sink);

// The map of the conversion as an ".html" page, with the atoms of its whole cell.
void write_contour_page(const WholeCellConversion& conversion, OutputSink& sink);

}  // namespace grix
