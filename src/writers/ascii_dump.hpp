// Plain text dump of the map on its own grid (".txt"), `precision` decimals (0 to 6).
#pragma once

#include "common/console.hpp"
#include "common/records.hpp"
#include "writers/output_file.hpp"

#include <string>

void write_ascii_dump(const StructureInfo& structure, const MapHeader& header,
                      const MapSections& sections, int batch, int precision,
                      const std::string& expnam, Console& console);

// The same, by the path and with the threads that `options` give.
void write_ascii_dump(const StructureInfo& structure, const MapHeader& header,
                      const MapSections& sections, int batch, int precision,
                      const std::string& expnam, Console& console,
                      const WriteOptions& options);
