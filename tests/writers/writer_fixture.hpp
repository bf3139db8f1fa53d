// Phases, a format's row run as a run runs it, and byte readers shared by the tests of
// the map writers.
#pragma once

#include "common/fatal.hpp"
#include "common/fourier_map.hpp"
#include "common/phase.hpp"
#include "writers/formats.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

#include <gtest/gtest.h>

struct TestAtom {
    const char* label;  // stored as given
    float x, y, z, occupancy;
};

// A phase with the cell a, b, c, alpha, beta, gamma and the atoms given, each of type "C ".
grix::Phase make_phase(const std::array<float, 6>& cell,
                       std::initializer_list<TestAtom> atoms = {});

// The map of `header` with the tagged sections of map_fixture.hpp.
grix::FourierMap make_tagged_map(const grix::MapHeader& header);

// A format's row on the map as a run uses it: the row's check, the orthogonalised cell
// and the Cartesian grid when the format resamples, then its writer on a fresh file at
// `path`, or in a scratch directory when `path` is empty. Returns the file's bytes.
std::string write_format(const grix::OutputFormat& format, const grix::Conversion& conversion,
                         const std::string& path = "");

// write_format for the format named `name` ("ASCII", "WINGX", "MARCH", "XD", "CCP4").
std::string write_with(std::string_view name, const grix::FourierMap& map,
                       const grix::Phase& phase, int precision = 0);

// Little-endian words of a binary file.
std::int32_t le_int32(const std::string& bytes, std::size_t offset);
float le_float32(const std::string& bytes, std::size_t offset);

// The message of the fatal error that `action` ends with, and the stream it belongs to.
template <typename Action>
std::pair<std::string, grix::FatalStream> fatal_of(Action action)
{
    try {
        action();
    } catch (const grix::FatalError& error) {
        return {error.what(), error.stream};
    }
    ADD_FAILURE() << "no fatal error";
    return {};
}
