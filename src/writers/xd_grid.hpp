// Project XD grid file: the map resampled on a Cartesian grid (".grd").
#pragma once

#include "writers/conversion.hpp"
#include "writers/output_sink.hpp"

namespace grix {

void write_xd_grid(const ResampledConversion& conversion, OutputSink& sink);

}  // namespace grix
