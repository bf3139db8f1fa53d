// What every fuzz target shares: a directory of its own per fuzzing process for the
// files handed to the tool and the files it writes, a console of string streams, and
// the check that stops the fuzzer when the tool breaks one of its promises.
#pragma once

#include "driver/console.hpp"

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

// The scratch directory, made on first use below /tmp or $GRIX_FUZZ_SCRATCH and removed
// when the process ends. Its path is short, so experiment names inside it stay well
// below the 79-character limit.
const std::string& scratch_dir();

// scratch_dir() + "/" + name.
std::string scratch_path(const std::string& name);

void write_scratch_file(const std::string& name, const std::uint8_t* data, std::size_t size);

// Removes everything in the scratch directory, so no input sees another's files.
void clear_scratch_dir();

// Standard input from a fixed text, standard output and error kept.
struct FuzzConsole {
    explicit FuzzConsole(const std::string& input = "") : in(input) {}
    std::istringstream in;
    std::ostringstream out;
    std::ostringstream err;
    grix::Console console{in, out, err};
};

// Aborts with `what` on standard error when `holds` is false: the fuzzer then keeps the
// input as a crash.
void require(bool holds, const char* what);
