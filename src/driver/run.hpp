// One run of the tool: choices, map file, experiment file, one writer.
#pragma once

#include "driver/console.hpp"

#include <string>
#include <vector>

namespace grix {

// Runs the stages in order; `args` holds the program name first. Returns 0 on success;
// a fatal error leaves as FatalError.
int run(const std::vector<std::string>& args, Console& console);

// run() with the fatal error reported on its stream: the exit status, 0 or 1.
int run_and_report(const std::vector<std::string>& args, Console& console);

}  // namespace grix
