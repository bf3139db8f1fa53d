// Gaussian cube file of the whole cell: atoms and density over one unit cell, lengths in
// Bohr and densities per cubic bohr, the grid's voxel vectors along the (possibly
// oblique) cell edges.
#pragma once

#include "symmetry/whole_cell.hpp"
#include "writers/conversion.hpp"
#include "writers/output_sink.hpp"

#include <string_view>

namespace grix {

// Writes the whole file for `cell` to `sink`, formatted on the calling thread.
void emit_gaussian_cube(const WholeCell& cell, std::string_view title, OutputSink& sink);

// The whole cell of the conversion as a ".cube" file, its densities formatted on the
// conversion's threads.
void write_gaussian_cube(const WholeCellConversion& conversion, OutputSink& sink);

}  // namespace grix
