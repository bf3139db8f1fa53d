// XCrySDen structure file (XSF) of the whole cell: the crystal's cell and atoms and the
// density as a general 3D data grid spanning the cell, closing planes included.
#pragma once

#include "symmetry/whole_cell.hpp"
#include "writers/conversion.hpp"
#include "writers/output_file.hpp"

#include <functional>
#include <string_view>

namespace grix {

// Emits the whole file's text, in pieces of about a MiB or less, to `sink` in order.
void emit_xsf_grid(const WholeCell& cell, std::string_view title,
                   const std::function<void(std::string_view)>& sink);

// The whole cell of the conversion as an ".xsf" file.
void write_xsf_grid(const Conversion& conversion, OutputFile& file);

}  // namespace grix
