#include "writers/ccp4_map.hpp"
#include "writers/formats.hpp"
#include "writers/gaussian_cube.hpp"
#include "writers/whole_cell_text.hpp"
#include "writers/xsf_grid.hpp"

#include "support/scratch_dir.hpp"
#include "support/string_sink.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <limits>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace {

using grix::WholeCell;

// An oblique cell with 7 x 2 x 8 points, each value saying where it lies (100 z + 10 y
// + x), a silicon atom and one of unknown element.
WholeCell tagged_cell()
{
    WholeCell cell;
    cell.geometry.axes = {{{5, -1, 0.5}, {0, 6, 0.8}, {0, 0, 7}}};
    cell.points = {7, 2, 8};
    for (int z = 0; z < 8; ++z)
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 7; ++x)
                cell.values.push_back(static_cast<float>(100 * z + 10 * y + x));
    cell.atoms = {{"Si1", "Si", 14, {0.1, 0.2, 0.3}}, {"Q1", "", 0, {0.5, 0.5, 0.5}}};
    return cell;
}

struct Emitted {
    std::string text;
    std::size_t largest_piece = 0;
};

template <typename Emit>
Emitted emit(Emit emit_file, const WholeCell& cell)
{
    StringSink sink;
    emit_file(cell, "tagged\ncell", sink);
    return {sink.finish(), sink.largest_piece};
}

// Checks the value lines that follow `header` in `text` up to `tail`: runs of 8 values
// at 13 characters each, as a line of 6 and a line of 2, holding `expected` in order, to
// the six digits written.
void expect_value_runs(const std::string& text, const std::string& header,
                       const std::string& tail, const std::vector<double>& expected)
{
    ASSERT_EQ(text.substr(0, header.size()), header);
    ASSERT_EQ(text.substr(text.size() - tail.size()), tail);
    std::istringstream lines(
        text.substr(header.size(), text.size() - header.size() - tail.size()));
    std::vector<float> values;
    std::string line;
    for (std::size_t n = 0; std::getline(lines, line); ++n) {
        ASSERT_EQ(line.size(), n % 2 == 0 ? 6 * 13u : 2 * 13u) << "line " << n;
        std::istringstream fields(line);
        for (float value; fields >> value;)
            values.push_back(value);
    }
    ASSERT_EQ(values.size(), expected.size());
    for (std::size_t n = 0; n < values.size(); ++n)
        EXPECT_NEAR(values[n], expected[n], 5e-6 * std::abs(expected[n])) << "value " << n;
}

// Lengths in bohr and densities per cubic bohr; the second comment line holds the loop
// order alone, as readers parse it.
TEST(GaussianCube, HeaderInBohrAtomsThenValuesXSlowestZFastest)
{
    const std::string header =
        "tagged cell; grix: GSAS Fourier map over one unit cell, density in electrons per "
        "cubic bohr\n"
        "OUTER LOOP: X, MIDDLE LOOP: Y, INNER LOOP: Z\n"
        "    2    0.000000    0.000000    0.000000\n"
        "    7    1.349804    0.000000    0.000000\n"
        "    2   -0.944863    5.669178    0.000000\n"
        "    8    0.118108    0.188973    1.653510\n"
        "   14   14.000000    0.850377    2.721206    3.968425\n"
        "    0    0.000000    4.251884    6.425069    6.614041\n";
    const double bohr_cubed = 0.148184711;  // 0.529177210903^3
    std::vector<double> expected;
    for (int x = 0; x < 7; ++x)
        for (int yz = 0; yz < 2 * 8; ++yz)
            expected.push_back((100 * (yz % 8) + 10 * (yz / 8) + x) * bohr_cubed);
    expect_value_runs(emit(grix::emit_gaussian_cube, tagged_cell()).text, header, "", expected);
}

TEST(XsfGrid, CellAtomsAndGridWithClosingPlanes)
{
    const std::string header =
        "# tagged cell\n"
        "CRYSTAL\nPRIMVEC\n"
        "    5.000000000    0.000000000    0.000000000\n"
        "   -1.000000000    6.000000000    0.000000000\n"
        "    0.500000000    0.800000000    7.000000000\n"
        "PRIMCOORD\n2 1\n"
        " 14    0.450000000    1.440000000    2.100000000\n"
        "  0    2.250000000    3.400000000    3.500000000\n"
        "BEGIN_BLOCK_DATAGRID_3D\ngrix_map\nBEGIN_DATAGRID_3D_density\n"
        "     8     3     9\n"
        "    0.000000000    0.000000000    0.000000000\n"
        "    5.000000000    0.000000000    0.000000000\n"
        "   -1.000000000    6.000000000    0.000000000\n"
        "    0.500000000    0.800000000    7.000000000\n";
    std::vector<double> expected;
    for (int z = 0; z <= 8; ++z)
        for (int y = 0; y <= 2; ++y)
            for (int x = 0; x <= 7; ++x)
                expected.push_back(100 * (z % 8) + 10 * (y % 2) + x % 7);
    expect_value_runs(emit(grix::emit_xsf_grid, tagged_cell()).text, header,
                      "END_DATAGRID_3D\nEND_BLOCK_DATAGRID_3D\n", expected);
}

TEST(WholeCellText, LargeGridsComeInPiecesOfAtMostAMiB)
{
    WholeCell cell = tagged_cell();
    cell.points = {64, 64, 64};
    cell.values.assign(64 * 64 * 64, -1.5f);
    for (const Emitted& file : {emit(grix::emit_gaussian_cube, cell),
                                emit(grix::emit_xsf_grid, cell)}) {
        EXPECT_GT(file.text.size(), 3 * grix::OutputSink::CHUNK_BYTES);
        EXPECT_LE(file.largest_piece, grix::OutputSink::CHUNK_BYTES);
    }
}

// The cell's values as a map holds them: each section followed by two words (here NaN).
struct MapHeldValues {
    std::vector<float> storage;
    grix::SectionedValues sections;

    explicit MapHeldValues(const WholeCell& cell)
    {
        const auto plane = static_cast<std::size_t>(cell.points[0] * cell.points[1]);
        const auto count = static_cast<std::size_t>(cell.points[2]);
        storage.assign((plane + 2) * count, std::nanf(""));
        for (std::size_t z = 0; z < count; ++z)
            std::copy_n(cell.values.begin() + static_cast<std::ptrdiff_t>(plane * z), plane,
                        storage.begin() + static_cast<std::ptrdiff_t>((plane + 2) * z));
        sections = {storage.data(), plane, count, plane + 2};
    }
};

// Values first to last - 1 of a row of `points`, `values` holding value `first` on, as
// printf writes them: "%13.5E", six to a line, the row ending its last line.
std::string plain_value_lines(const float* values, std::int64_t first, std::int64_t last,
                              std::int64_t points)
{
    std::string text;
    char field[64];
    for (std::int64_t n = first; n < last; ++n) {
        std::snprintf(field, sizeof field, "%13.5E", static_cast<double>(values[n - first]));
        text += field;
        if ((n + 1) % 6 == 0 || n + 1 == points)
            text += '\n';
    }
    return text;
}

// Written in place, the lines take the length foretold, every stretch of a row at any
// cut, with the widest fields (negative, two-digit negative exponents), infinities, NaN
// and subnormals, and leave the room's neighbours alone.
TEST(WholeCellText, ValueLinesWrittenInPlaceFillTheirLengthExactly)
{
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::vector<float> row = {-3.4e38f, -1.2e-38f, inf, -inf, nan, -nan, -0.0f, 1e-45f,
                                    -9.999995f, 0.0f, 99999.5f, -7.5e-11f, 1.0f, -2.5f,
                                    3.25e7f, -1e-40f, 6.0f};
    const auto points = static_cast<std::int64_t>(row.size());
    for (std::int64_t first = 0; first < points; ++first)
        for (std::int64_t last = first + 1; last <= points; ++last) {
            const std::string expected = plain_value_lines(row.data() + first, first, last, points);
            const std::size_t length = grix::value_lines_length(first, last, points);
            std::string room(length + 2, '#');
            grix::write_value_lines(room.data() + 1, row.data() + first, first, last, points);
            EXPECT_EQ(room, "#" + expected + "#") << first << " to " << last;
        }
}

TEST(WholeCellText, RefusesGridsTheValuesDoNotFill)
{
    WholeCell short_of_one = tagged_cell();
    short_of_one.values.pop_back();
    WholeCell flat = tagged_cell();
    flat.points = {7, 0, 8};
    flat.values.clear();
    const MapHeldValues held(tagged_cell());
    WholeCell section_short = tagged_cell();
    section_short.values.clear();
    section_short.map_sections = held.sections;
    section_short.map_sections.sections = 7;
    for (const WholeCell& cell : {short_of_one, flat, section_short}) {
        EXPECT_THROW(emit(grix::emit_gaussian_cube, cell), std::invalid_argument);
        EXPECT_THROW(emit(grix::emit_xsf_grid, cell), std::invalid_argument);
    }
}

// A cell whose density is read from the map's sections, in place, gives every format the
// bytes of the same density copied into the cell's own block, on one thread or several.
TEST(WholeCellText, TheMapsSectionsInPlaceWriteAsTheCopiedCell)
{
    WholeCell copied = tagged_cell();
    copied.points = {20, 30, 40};
    copied.values.resize(20 * 30 * 40);
    for (std::size_t n = 0; n < copied.values.size(); ++n)
        copied.values[n] = static_cast<float>(std::sin(0.37 * static_cast<double>(n)));
    const MapHeldValues held(copied);
    WholeCell in_place = copied;
    in_place.values.clear();
    in_place.map_sections = held.sections;
    const grix::FourierMap map;
    const grix::Phase phase;
    for (const grix::WriteWholeCell write :
         {grix::write_ccp4_cell, grix::write_gaussian_cube, grix::write_xsf_grid})
        for (const int threads : {1, 2}) {
            StringSink from_block;
            StringSink from_map;
            write({{map, phase, 0, threads}, copied}, from_block);
            write({{map, phase, 0, threads}, in_place}, from_map);
            EXPECT_TRUE(from_map.finish() == from_block.finish()) << threads << " threads";
        }
}

// The cube's densities formatted plainly: each Z run gathered point by point, in
// electrons per cubic bohr.
std::string plain_cube_values(const WholeCell& cell)
{
    const double bohr = 0.529177210903;
    const auto [nx, ny, nz] = cell.points;
    std::string text;
    std::vector<float> run(static_cast<std::size_t>(nz));
    for (int x = 0; x < nx; ++x)
        for (int y = 0; y < ny; ++y) {
            for (int z = 0; z < nz; ++z)
                run[static_cast<std::size_t>(z)] = static_cast<float>(
                    cell.values[static_cast<std::size_t>(x + nx * (y + ny * z))] *
                    (bohr * bohr * bohr));
            text += plain_value_lines(run.data(), 0, nz, nz);
        }
    return text;
}

// Formatted on several threads and written in order, the densities are the bytes of one
// thread: on grids of many pieces, with rows longer than a piece along the fastest axis
// of each format (Z for the cube, X for XSF) and along the other, and with planes the
// cube turns a stripe of rows at a time, the last block of planes short.
TEST(WholeCellText, ThreadsWriteTheBytesOfOneThread)
{
    using Emit = void (*)(const WholeCell&, std::string_view, grix::OutputSink&);
    using Write = grix::WriteWholeCell;
    const std::pair<Emit, Write> FORMATS[] = {{grix::emit_gaussian_cube, grix::write_gaussian_cube},
                                              {grix::emit_xsf_grid, grix::write_xsf_grid}};
    const grix::FourierMap map;
    const grix::Phase phase;
    const ScratchDir dir;
    const std::string name = dir.file("cell");
    for (const std::array<int, 3> points :
         {std::array{60, 50, 60}, std::array{3, 2, 70001}, std::array{70001, 2, 3},
          std::array{20, 300, 200}}) {
        WholeCell cell = tagged_cell();
        cell.points = points;
        cell.values.resize(static_cast<std::size_t>(points[0] * points[1] * points[2]));
        for (std::size_t n = 0; n < cell.values.size(); ++n)
            cell.values[n] = static_cast<float>(std::sin(0.37 * static_cast<double>(n)) *
                                                std::pow(10.0, static_cast<double>(n % 9) - 4));
        for (const auto& [emit_file, write_file] : FORMATS) {
            StringSink emitted;
            emit_file(cell, grix::map_title(map.header), emitted);
            const std::string& one_thread = emitted.finish();
            if (emit_file == grix::emit_gaussian_cube) {
                EXPECT_TRUE(one_thread.ends_with(plain_cube_values(cell)));
            }
            for (const int threads : {1, 2, 3}) {
                const grix::WholeCellConversion conversion{{map, phase, 0, threads}, cell};
                grix::OutputFile file = grix::open_output_file(name, grix::OutputMode::text);
                grix::FileSink sink(file);
                write_file(conversion, sink);
                sink.flush();
                grix::close_output_file(file);
                EXPECT_TRUE(read_file_bytes(name) == one_thread)
                    << threads << " threads, " << points[0] << " x " << points[1] << " x "
                    << points[2] << " points";
            }
        }
    }
}

}  // namespace
