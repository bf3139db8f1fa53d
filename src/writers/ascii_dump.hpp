// Plain text dump of the map on its own grid (".txt"), `precision` decimals (0 to 6).
#pragma once

#include "writers/conversion.hpp"
#include "writers/output_sink.hpp"

namespace grix {

void write_ascii_dump(const Conversion& conversion, OutputSink& sink);

}  // namespace grix
