// Consoles, phases and byte readers shared by the tests of the map writers.
#pragma once

#include "common/console.hpp"
#include "common/fatal.hpp"
#include "common/records.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <sstream>
#include <string>
#include <utility>

#include <gtest/gtest.h>

// A console whose standard input is `input` and whose output and error are kept.
struct StringConsole {
    explicit StringConsole(const std::string& input = "") : in(input) {}
    std::istringstream in;
    std::ostringstream out;
    std::ostringstream err;
    Console console{in, out, err};
};

struct TestAtom {
    const char* label;  // stored as given, up to 11 characters
    float x, y, z, occupancy;
};

// A phase with the cell a, b, c, alpha, beta, gamma and the atoms given.
std::unique_ptr<StructureInfo> make_structure(const std::array<float, 6>& cell,
                                              std::initializer_list<TestAtom> atoms = {});

// Little-endian words of a binary file.
std::int32_t le_int32(const std::string& bytes, std::size_t offset);
float le_float32(const std::string& bytes, std::size_t offset);

// The message of the fatal error that `write` ends with, and the stream it belongs to.
template <typename Write>
std::pair<std::string, FatalStream> fatal_of(Write write)
{
    try {
        write();
    } catch (const FatalError& error) {
        return {error.what(), error.stream};
    }
    ADD_FAILURE() << "the writer returned";
    return {};
}
