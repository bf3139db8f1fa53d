// Marching Cube text file: the map resampled on a Cartesian grid (".fou").
#pragma once

#include "common/console.hpp"
#include "common/records.hpp"
#include "writers/output_file.hpp"

#include <string>

void write_marching_cube(StructureInfo& structure, const MapHeader& header,
                         const MapSections& sections, int batch, const std::string& expnam,
                         Console& console);

// The same, by the path and with the threads that `options` give.
void write_marching_cube(StructureInfo& structure, const MapHeader& header,
                         const MapSections& sections, int batch, const std::string& expnam,
                         Console& console,
                         const WriteOptions& options);
