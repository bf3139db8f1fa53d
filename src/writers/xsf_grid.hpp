// XCrySDen structure file (XSF) of the whole cell: the crystal's cell and atoms and the
// density as a general 3D data grid spanning the cell, closing planes included.
#pragma once

#include "symmetry/whole_cell.hpp"
#include "writers/conversion.hpp"
#include "writers/output_sink.hpp"

#include <string_view>

namespace grix {

// Writes the whole file for `cell` to `sink`, formatted on the calling thread.
void emit_xsf_grid(const WholeCell& cell, std::string_view title, OutputSink& sink);

// The whole cell of the conversion as an ".xsf" file, its densities formatted on the
// conversion's threads.
void write_xsf_grid(const WholeCellConversion& conversion, OutputSink& sink);

}  // namespace grix
