// The output formats as a table, and a map plus experiment file pair in a scratch
// directory, for the whole-run tests of how the tool refuses bad input.
#pragma once

#include "common/fourier_map.hpp"
#include "support/scratch_dir.hpp"

#include <array>
#include <string>
#include <vector>

struct FormatCase {
    const char* answer;               // the interactive answer; empty when batch only
    std::vector<std::string> option;  // the batch option(s)
    const char* extension;
    bool resampled;                   // written on a Cartesian grid of its own
};

inline const std::array<FormatCase, 5> FORMAT_CASES{{
    {"ASCII", {"-ascii", "3"}, ".txt", false},
    {"WINGX", {"-wingx"}, ".map", false},
    {"MARCH", {"-march"}, ".fou", true},
    {"XD", {"-xd"}, ".grd", true},
    {"", {"-ccp4"}, ".ccp4", false},
}};

// Batch arguments converting `expnam` to `format`.
std::vector<std::string> batch_args(const FormatCase& format, const std::string& expnam);

// dir/run.fclc with the tagged sections of `header`, and dir/run.exp with `phases`
// cubic phases (a = 10) of two atoms each. Returns the experiment name dir/run.
std::string write_run_files(const ScratchDir& dir, const grix::MapHeader& header, int phases = 1);
