// Runs the whole tool in-process with strings for its console.
#pragma once

#include <string>
#include <vector>

struct RunResult {
    int status = 0;
    std::string out;
    std::string err;
};

// `args` are the command-line arguments after the program name; `input` is standard input.
RunResult run_grix(const std::vector<std::string>& args, const std::string& input = "");
