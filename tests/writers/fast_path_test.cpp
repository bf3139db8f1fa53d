// The shipped path (hoisted interpolation, printf-free formatting, pieces formatted on
// several threads) must write the very bytes of the plain path (interpolation from
// scratch and printf for every value, on one thread).
#include "writers/ascii_dump.hpp"
#include "writers/marching_cube.hpp"
#include "writers/wingx_map.hpp"
#include "writers/xd_grid.hpp"

#include "support/map_fixture.hpp"
#include "support/scratch_dir.hpp"
#include "writers/writer_fixture.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <random>

namespace {

using Triple = std::array<std::int32_t, 3>;

struct MapCase {
    const char* name;
    std::array<float, 6> cell;
    int msect;
    Triple nxyzt, nxyzi, nxyzo;
};

// Odd sizes, offsets, every msect, orthogonal and oblique cells, grids of several pieces
// and rows longer than a piece along each writer's fastest direction.
const MapCase MAPS[] = {
    {"cubic", {10, 10, 10, 90, 90, 90}, 3, {7, 6, 5}, {6, 5, 4}, {0, 0, 0}},
    {"triclinic", {7.1f, 8.3f, 9.7f, 77, 101, 113}, 1, {9, 8, 7}, {8, 10, 6}, {-2, 3, 1}},
    {"monoclinic", {12.5f, 6.2f, 8.8f, 90, 104.5f, 90}, 2, {11, 5, 9}, {10, 4, 16}, {5, -1, 0}},
    {"many pieces", {9.3f, 10.1f, 8.7f, 84, 97, 109}, 3, {31, 29, 27}, {30, 28, 26}, {0, 0, 0}},
    {"long X rows", {10, 10, 10, 90, 90, 90}, 3, {20001, 2, 2}, {20000, 1, 1}, {0, 0, 0}},
    {"long Y rows", {10, 10, 10, 90, 90, 90}, 3, {2, 20001, 2}, {1, 20000, 1}, {0, 0, 0}},
};

// Densities that stress the formatting, scattered among ordinary ones: signed zeros,
// tiny negatives that print as -0.00000000, the float extremes, ties, infinities, NaNs.
const float STRESS[] = {-0.0f, 0.0f, -1e-9f, 4e-9f, -3.4e38f, 3.4e38f, 1e-45f, -1e-45f,
                        0.5f, 2.5f, 1.03125f, 99999.5f, -9.99995f, 1.7e10f,
                        std::numeric_limits<float>::infinity(),
                        -std::numeric_limits<float>::infinity(),
                        std::numeric_limits<float>::quiet_NaN(),
                        -std::numeric_limits<float>::quiet_NaN()};

MapSections make_values(const MapHeader& header)
{
    std::mt19937 random(static_cast<unsigned>(header.nxyzt[0] * 131 + header.msect));
    std::uniform_real_distribution<float> ordinary(-600.0f, 600.0f);
    MapSections sections(static_cast<std::size_t>(header.nxyzt[2]));
    std::size_t n = 0;
    for (MapSection& section : sections) {
        section.values.resize(static_cast<std::size_t>(header.nrho));
        for (float& value : section.values)
            value = ++n % 37 == 0 ? STRESS[n / 37 % std::size(STRESS)] : ordinary(random);
    }
    return sections;
}

struct Format {
    const char* extension;
    int precision;  // of the ASCII dump
};

const Format FORMATS[] = {{".txt", 0}, {".txt", 3}, {".txt", 6}, {".map", 0}, {".fou", 0},
                          {".grd", 0}};

std::string write_map(const MapCase& map, const Format& format, const WriteOptions& options)
{
    MapHeader header = make_map_header(map.nxyzt[0], map.nxyzt[1], map.nxyzt[2], map.msect);
    std::copy(map.nxyzi.begin(), map.nxyzi.end(), header.nxyzi);
    std::copy(map.nxyzo.begin(), map.nxyzo.end(), header.nxyzo);
    const MapSections sections = make_values(header);
    auto structure = make_structure(map.cell, {{"SI1", 0.47f, 0.0f, 1 / 3.0f, 1.0f},
                                               {"O2", -0.41f, 0.27f, 0.12f, 0.5f}});
    const ScratchDir dir;
    const std::string expnam = dir.file("run");
    StringConsole console;
    const std::string extension = format.extension;
    if (extension == ".txt")
        write_ascii_dump(*structure, header, sections, 1, format.precision, expnam,
                         console.console, options);
    else if (extension == ".map")
        write_wingx_map(*structure, header, sections, 1, expnam, console.console, options);
    else if (extension == ".fou")
        write_marching_cube(*structure, header, sections, 1, expnam, console.console, options);
    else
        write_xd_grid(*structure, header, sections, 1, expnam, console.console, options);
    return read_file_bytes(expnam + extension);
}

TEST(FastPath, ShippedWritesThePlainBytesForAnyThreadCount)
{
    for (const MapCase& map : MAPS) {
        for (const Format& format : FORMATS) {
            SCOPED_TRACE(std::string(map.name) + " " + format.extension + " precision " +
                         std::to_string(format.precision));
            const std::string plain = write_map(map, format, {WritePath::plain, 1});
            ASSERT_GT(plain.size(), 900u);
            for (int threads : {1, 2, 3}) {
                const std::string shipped = write_map(map, format, {WritePath::shipped, threads});
                const auto differ = std::mismatch(plain.begin(), plain.end(), shipped.begin(),
                                                  shipped.end());
                EXPECT_TRUE(differ.first == plain.end() && differ.second == shipped.end())
                    << threads << " threads: sizes " << plain.size() << " and "
                    << shipped.size() << ", first difference at byte "
                    << differ.first - plain.begin() << ": "
                    << plain.substr(static_cast<std::size_t>(differ.first - plain.begin()), 40);
            }
        }
    }
}

}  // namespace
