// One run of the tool: choices, map file, experiment file, one writer.
#pragma once

#include "driver/console.hpp"

#include <functional>
#include <string>
#include <vector>

namespace grix {

// Runs the stages in order; `args` holds the program name first. Returns 0 on success;
// a fatal error leaves as FatalError.
int run(const std::vector<std::string>& args, Console& console);

// The status of `body`, or 1 when it throws: a fatal error is reported on its stream,
// running out of memory and any other exception on standard error. Every failure ends
// here, so that what was left half done (a temporary output file) is undone on the way.
int report_failures(Console& console, const std::function<int()>& body);

// run() with its failures reported: the exit status, 0 or 1.
int run_and_report(const std::vector<std::string>& args, Console& console);

}  // namespace grix
