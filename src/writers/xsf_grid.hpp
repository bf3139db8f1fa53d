// XCrySDen structure file (XSF) of the whole cell: the crystal's cell and atoms and the
// density as a general 3D data grid spanning the cell, closing planes included.
#pragma once

#include "writers/whole_cell.hpp"

#include <functional>
#include <string_view>

namespace grix {

// Emits the whole file's text, in pieces of about a MiB or less, to `sink` in order.
void emit_xsf_grid(const WholeCell& cell, std::string_view title,
                   const std::function<void(std::string_view)>& sink);

}  // namespace grix
