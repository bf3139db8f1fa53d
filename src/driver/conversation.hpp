// Everything interactive mode says and asks, in the words the tool has always used.
#pragma once

#include "common/fourier_map.hpp"
#include "common/phase.hpp"
#include "driver/console.hpp"
#include "driver/options.hpp"

#include <string>
#include <vector>

namespace grix {

// The banner and the usage text.
void print_banner(Console& console);

// Asks for the experiment name, the map type and the output format.
void ask_run_choices(RunOptions& options, Console& console);

// The map file's header as read, before it is checked ("-v").
void print_map_header(Console& console, const MapHeader& header, std::int64_t record_size);

// Lists the phases and, when there are several, asks which one the map is from.
// Returns the chosen phase's index.
std::size_t choose_phase(Console& console, const std::vector<Phase>& phases);

// "Enter output file name: " and one typed word.
std::string ask_output_name(Console& console);

// The number of decimals of the ASCII dump, 0 to 6.
int ask_precision(Console& console);

}  // namespace grix
