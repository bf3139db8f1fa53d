// CCP4/MRC map (".ccp4"), little-endian on any host: on the map's own grid, or with
// "-full" the whole cell completed by symmetry.
#pragma once

#include "writers/conversion.hpp"
#include "writers/output_sink.hpp"

namespace grix {

// Refuses a map whose axes cannot be named or whose cell has no volume.
void check_ccp4_map(const FourierMap& map, const CellParameters& cell);
void write_ccp4_map(const Conversion& conversion, OutputSink& sink);
void write_ccp4_cell(const WholeCellConversion& conversion, OutputSink& sink);

}  // namespace grix
