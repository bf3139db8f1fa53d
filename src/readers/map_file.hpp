// The GSAS Fourier map file: fixed-length records of little-endian 32-bit words, the
// record length found from the zero padding of the first record.
#pragma once

#include "common/console.hpp"
#include "common/records.hpp"

#include <string>

// Cuts `expnam` at its first "." (final path component only), finds the map file under
// its candidate names, reads the header and every section, prints the header dump on
// standard output when `show_header` is 1, and closes the file. Every failure ends the run.
void read_map_file(std::string& expnam, const std::string& map_type, int show_header,
                   MapHeader& header, MapSections& sections, Console& console);
