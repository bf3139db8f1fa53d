// The run's choices: from the command line in batch mode, from prompts otherwise.
#pragma once

#include "common/console.hpp"

#include <string>
#include <vector>

// The longest experiment name the tool takes (it is the base of every file name).
inline constexpr std::size_t MAX_EXPNAM = 79;

struct RunOptions {
    std::string expnam;
    std::string map_type = "FCLC";
    std::string output_type = "ASCII";
    int precision = 0;
    int batch = 0;        // 1 in batch mode: no prompts, nothing on standard output
    int show_header = 0;  // 1 when the only argument is "-v": dump the map header
};

// Decides the mode from the argument count (`args` holds the program name first) and,
// in batch mode, takes every option and the experiment name from the command line.
RunOptions read_command_line(const std::vector<std::string>& args);

// Prints the banner and the usage text of interactive mode.
void print_banner(Console& console);

// Asks for the experiment name, the map type and the output format.
void ask_run_choices(RunOptions& options, Console& console);
