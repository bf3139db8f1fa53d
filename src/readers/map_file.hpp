// The GSAS Fourier map file: fixed-length records of little-endian 32-bit words, the
// record length found from the zero padding of the first record.
#pragma once

#include "common/fourier_map.hpp"
#include "readers/input_file.hpp"

#include <cstdint>
#include <fstream>
#include <string>

namespace grix {

// An open map file whose two header records have been read; the sections follow.
struct MapFileStart {
    std::string name;
    std::ifstream stream;
    std::streamoff size = 0;
    MapHeader header;
    std::streamoff record_size = 0;
};

// Reads the header records. The header is not checked yet, so that it can be shown as
// read; a file without a second record ends the run.
MapFileStart read_map_header(InputFile file);

// Checks everything later stages trust about the grid, then reads every section. Every
// failure ends the run.
FourierMap read_map_sections(MapFileStart& file);

// How many of the map's grid values (nxyzt[0] x nxyzt[1] in each section, not the values
// beyond them up to nrho) are NaN or infinite.
std::uint64_t count_non_finite_values(const FourierMap& map);

}  // namespace grix
