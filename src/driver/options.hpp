// The run's choices: from the command line in batch mode, from prompts otherwise.
#pragma once

#include "writers/formats.hpp"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace grix {

// The map types: the extensions of the map files and, in lower case after a "-", the
// options that choose them.
inline constexpr std::array<std::string_view, 6> MAP_TYPES{"DELF", "FOBS", "FCLC",
                                                           "NFDF", "PTSN", "DPTS"};

// What the run does: a conversion; the usage or the version (a lone "-h", "--help",
// "--version"); or, in batch mode, a look at the map that writes nothing ("-info",
// "-peaks").
enum class Request { convert, help, version, info, peaks };

// The peaks listed when "-peaks" is given no count of 1 or more.
inline constexpr int DEFAULT_PEAK_COUNT = 20;

struct RunOptions {
    Request request = Request::convert;
    std::string expnam;
    std::string map_type = "FCLC";
    const OutputFormat* format = find_format_named("ASCII");
    int precision = 0;
    // Batch mode: the number "-a" gave when it was outside 0 to 6 and precision 0 is used.
    std::optional<int> refused_precision;
    std::optional<int> phase;  // batch mode: the phase "-p" names, counted from 1
    std::optional<std::string> output;  // batch mode "-o": the output's name, instead of
                                        // expnam and the format's extension
    int peak_count = DEFAULT_PEAK_COUNT;  // "-peaks": maxima, and minima, listed
    bool full = false;         // "-full": the whole cell, for the formats that take it
    bool batch = false;        // no prompts, nothing on standard output
    bool show_header = false;  // the only argument is "-v": dump the map header
    std::vector<std::string> ignored;  // arguments that are neither options nor values
};

// Decides the mode from the argument count (`args` holds the program name first) and,
// in batch mode, takes every option and the experiment name from the command line.
RunOptions read_command_line(const std::vector<std::string>& args);

// The usage text of "--help", built from the format table.
std::string usage_text();

}  // namespace grix
