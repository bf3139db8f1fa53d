// The run's inputs: the Fourier map, and the phase of the experiment file it belongs to,
// read with every message a user sees on the way.
#pragma once

#include "common/fourier_map.hpp"
#include "common/phase.hpp"
#include "driver/console.hpp"
#include "driver/options.hpp"

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace grix {

// The input files opened in this run, which no output may replace.
using InputNames = std::vector<std::string>;

// The map under the first of its candidate names that opens (every name tried is listed
// when none does), its header dumped for "-v", and a warning when it holds values that
// are not finite numbers.
FourierMap read_map(const RunOptions& options, Console& console, InputNames& inputs);

// The experiment file's phases; none when it is missing or holds no phase: the run then
// goes on with the map's own cell and no atoms. Interactive mode says so on standard
// output, batch mode on standard error.
std::vector<Phase> read_phases(const RunOptions& options, Console& console, InputNames& inputs);

// The phase of the run and its number, counted from 1; none without phases. Batch mode:
// the one "-p" names, else the map's own; interactive mode asks when there are several.
std::optional<std::pair<Phase, std::size_t>> take_phase(const RunOptions& options,
                                                        const MapHeader& header,
                                                        Console& console,
                                                        const std::vector<Phase>& phases);

// Without a phase from the experiment file: the map's own cell, no atoms, P 1.
Phase phase_from_map(const MapHeader& header);

// A map converted with another phase's cell goes through, but not without a word.
void warn_of_other_cell(Console& console, const MapHeader& header, const Phase& phase,
                        std::size_t number);

}  // namespace grix
