// Marching Cube text file: the map resampled on a Cartesian grid (".fou").
#pragma once

#include "writers/conversion.hpp"
#include "writers/output_sink.hpp"

namespace grix {

void write_marching_cube(const ResampledConversion& conversion, OutputSink& sink);

}  // namespace grix
