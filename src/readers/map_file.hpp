// The GSAS Fourier map file: fixed-length records of little-endian 32-bit words, the
// record length found from the zero padding of the first record.
#pragma once

#include "common/fourier_map.hpp"
#include "readers/input_file.hpp"

#include <cstddef>
#include <cstdint>
#include <string>

namespace grix {

// A map file's bytes whose two header records have been read; the sections follow.
struct MapFileStart {
    InputFile file;  // kept open: its length is checked before its values are taken
    FileBytes bytes;
    MapHeader header;
    std::size_t record_size = 0;
};

// Takes the file's bytes and reads the header records. The header is not checked yet,
// so that it can be shown as read; a file without a second record ends the run.
MapFileStart read_map_header(InputFile file);

// The grid the header describes, as every later stage sees it: which fractional axis
// each direction runs along (none for an unknown msect), its divisions, origin and
// points. Nothing is checked here; read_map_sections checks before it lays the grid.
MapGeometry lay_map_geometry(const MapHeader& header);

// Checks everything later stages trust about the grid, then takes every section's grid
// values where they lie among the file's bytes. Every failure ends the run.
FourierMap read_map_sections(MapFileStart& file);

// How many of the map's grid values are NaN or infinite.
std::uint64_t count_non_finite_values(const FourierMap& map);

}  // namespace grix
