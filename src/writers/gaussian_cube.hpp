// Gaussian cube file of the whole cell: atoms and density over one unit cell, lengths in
// Bohr, the grid's voxel vectors along the (possibly oblique) cell edges.
#pragma once

#include "writers/whole_cell.hpp"

#include <functional>
#include <string_view>

namespace grix {

// Emits the whole file's text, in pieces of about a MiB or less, to `sink` in order.
void emit_gaussian_cube(const WholeCell& cell, std::string_view title,
                        const std::function<void(std::string_view)>& sink);

}  // namespace grix
