// CCP4/MRC map on the map's own grid (".ccp4"), little-endian on any host.
#pragma once

#include "writers/conversion.hpp"
#include "writers/output_sink.hpp"

namespace grix {

// Refuses a map whose axes cannot be named or whose cell has no volume.
void check_ccp4_map(const Conversion& conversion);
void write_ccp4_map(const Conversion& conversion, OutputSink& sink);

}  // namespace grix
