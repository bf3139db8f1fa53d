// WinGX binary map on the map's own grid (".map"), little-endian on any host.
#pragma once

#include "writers/conversion.hpp"
#include "writers/output_sink.hpp"

namespace grix {

void write_wingx_map(const Conversion& conversion, OutputSink& sink);

}  // namespace grix
