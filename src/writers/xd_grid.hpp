// Project XD grid file: the map resampled on a Cartesian grid (".grd").
#pragma once

#include "writers/conversion.hpp"
#include "writers/output_file.hpp"

namespace grix {

void write_xd_grid(const ResampledConversion& conversion, OutputFile& file);

}  // namespace grix
