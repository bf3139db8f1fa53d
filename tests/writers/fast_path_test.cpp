// The writers (hoisted interpolation, printf-free formatting, pieces formatted on several
// threads) must write the very bytes of the reference (interpolation from scratch and
// printf for every value, on one thread).
#include "writers/formats.hpp"

#include "reference/reference.hpp"
#include "support/map_fixture.hpp"
#include "support/scratch_dir.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <random>

using namespace grix;

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
    {"many pieces", {9.3f, 10.1f, 8.7f, 84, 97, 109}, 3, {61, 59, 57}, {60, 58, 56}, {0, 0, 0}},
    {"long X rows", {10, 10, 10, 90, 90, 90}, 3, {70001, 2, 2}, {70000, 1, 1}, {0, 0, 0}},
    {"long Y rows", {10, 10, 10, 90, 90, 90}, 3, {2, 70001, 2}, {1, 70000, 1}, {0, 0, 0}},
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

struct Case {
    const char* format;
    int precision;  // of the ASCII dump
};

const Case CASES[] = {{"ASCII", 0}, {"ASCII", 3}, {"ASCII", 6}, {"WINGX", 0}, {"MARCH", 0},
                      {"XD", 0}};

std::string write_file(const OutputFormat& format, const Conversion& conversion,
                       const Cell& cell)
{
    const ScratchDir dir;
    const std::string name = dir.file("run");
    OutputFile file = open_output_file(name, format.mode);
    FileSink sink(file);
    if (format.resamples())
        std::get<WriteResampled>(format.write)(
            {conversion, cell, lay_cartesian_grid(cell, conversion.map.geometry)}, sink);
    else
        std::get<WriteMap>(format.write)(conversion, sink);
    sink.flush();
    close_output_file(file);
    return read_file_bytes(name);
}

// The reference's densities of the format.
std::string plain_densities(const std::string& format, const Conversion& conversion,
                            const Cell& cell)
{
    const FourierMap& map = conversion.map;
    if (format == "ASCII")
        return plain_ascii_sections(map, conversion.precision);
    if (format == "WINGX")
        return plain_wingx_densities(map);
    if (format == "MARCH")
        return plain_marching_cube_blocks(cell, map);
    return plain_xd_values(cell, map);
}

// Where the format's file holds its densities.
std::size_t find_densities(const std::string& format, const std::string& file,
                           std::size_t size)
{
    if (format == "WINGX")
        return 76;
    if (format == "MARCH")
        return file.find("BLOCK \n");
    if (format == "XD")
        return file.find("! Values");
    return file.size() - std::min(size, file.size());
}

TEST(FastPath, WritersWriteTheReferenceBytesForAnyThreadCount)
{
    Phase phase;
    phase.atoms = {{"SI", "SI1", 0.47f, 0.0f, 1 / 3.0f, 1.0f},
                   {"O ", "O2", -0.41f, 0.27f, 0.12f, 0.5f}};
    phase.atom_count = 2;
    for (const MapCase& map_case : MAPS) {
        MapHeader header = make_map_header(map_case.nxyzt[0], map_case.nxyzt[1],
                                           map_case.nxyzt[2], map_case.msect);
        std::copy(map_case.nxyzi.begin(), map_case.nxyzi.end(), header.nxyzi);
        std::copy(map_case.nxyzo.begin(), map_case.nxyzo.end(), header.nxyzo);
        const FourierMap map = make_map(header, make_values(header));
        const auto& c = map_case.cell;
        phase.cell = {c[0], c[1], c[2], c[3], c[4], c[5]};
        const Cell cell = orthogonalise_cell(phase.cell);
        for (const Case& test : CASES) {
            SCOPED_TRACE(std::string(map_case.name) + " " + test.format + " precision " +
                         std::to_string(test.precision));
            const OutputFormat& format = *find_format_named(test.format);
            const std::string body =
                plain_densities(test.format, {map, phase, test.precision}, cell);
            ASSERT_GT(body.size(), 800u);
            for (int threads : {1, 2, 3}) {
                const std::string file =
                    write_file(format, {map, phase, test.precision, threads}, cell);
                const std::size_t at = find_densities(test.format, file, body.size());
                ASSERT_LE(at + body.size(), file.size());
                const auto differ = std::mismatch(body.begin(), body.end(),
                                                  file.begin() + static_cast<std::ptrdiff_t>(at));
                EXPECT_TRUE(differ.first == body.end())
                    << threads << " threads: first difference at byte "
                    << differ.first - body.begin() << " of the densities: "
                    << body.substr(static_cast<std::size_t>(differ.first - body.begin()), 40);
            }
        }
    }
}

}  // namespace
