// The run's choices: from the command line in batch mode, from prompts otherwise.
#pragma once

#include "writers/formats.hpp"

#include <string>
#include <vector>

namespace grix {

// The longest experiment name the tool takes (it is the base of every file name).
inline constexpr std::size_t MAX_EXPNAM = 79;

struct RunOptions {
    std::string expnam;
    std::string map_type = "FCLC";
    const OutputFormat* format = find_format_named("ASCII");
    int precision = 0;
    bool batch = false;        // no prompts, nothing on standard output
    bool show_header = false;  // the only argument is "-v": dump the map header
};

// Decides the mode from the argument count (`args` holds the program name first) and,
// in batch mode, takes every option and the experiment name from the command line.
RunOptions read_command_line(const std::vector<std::string>& args);

// Refuses an experiment name longer than MAX_EXPNAM.
void check_expnam_length(const std::string& expnam);

}  // namespace grix
