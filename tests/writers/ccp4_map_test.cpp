#include "writers/ccp4_map.hpp"

#include "support/map_fixture.hpp"
#include "support/scratch_dir.hpp"
#include "support/string_sink.hpp"
#include "writers/writer_fixture.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

using namespace grix;

namespace {

constexpr std::size_t HEADER_BYTES = 1024;

// Word n of the header, counted from 1 as the format counts them.
std::size_t word(int n)
{
    return 4 * static_cast<std::size_t>(n - 1);
}

std::string write_map(const Phase& phase, const MapHeader& header, const MapSections& sections)
{
    return write_with("CCP4", make_map(header, sections), phase);
}

MapHeader grid_header(int msect)
{
    MapHeader header = make_map_header(3, 2, 4, msect);
    const int nxyzi[3] = {8, 16, 24};
    const int nxyzo[3] = {-1, 2, 30};
    std::copy(nxyzi, nxyzi + 3, header.nxyzi);
    std::copy(nxyzo, nxyzo + 3, header.nxyzo);
    return header;
}

TEST(Ccp4Map, HeaderForEachSectionDirection)
{
    struct Case {
        int msect;
        int intervals[3];  // along X, Y, Z
        int axes[3];       // of columns, rows, sections
    };
    const Case cases[] = {
        {1, {24, 8, 16}, {2, 3, 1}},
        {2, {16, 24, 8}, {3, 1, 2}},
        {3, {8, 16, 24}, {1, 2, 3}},
    };
    const Phase phase = make_phase({5, 6, 7, 80, 95, 110});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.msect);
        const MapHeader header = grid_header(c.msect);
        const std::string bytes = write_map(phase, header, make_tagged_sections(header));
        ASSERT_EQ(bytes.size(), HEADER_BYTES + 4 * 3 * 2 * 4);

        const int ints[][2] = {
            {1, 3},  {2, 2},  {3, 4},  {4, 2}, {5, -1}, {6, 2}, {7, 30},
            {8, c.intervals[0]}, {9, c.intervals[1]}, {10, c.intervals[2]},
            {17, c.axes[0]}, {18, c.axes[1]}, {19, c.axes[2]},
            {23, 1}, {24, 0}, {28, 20140}, {56, 1},
        };
        for (const auto& [n, value] : ints)
            EXPECT_EQ(le_int32(bytes, word(n)), value) << "word " << n;
        const float cell[] = {5, 6, 7, 80, 95, 110};
        for (int n = 0; n < 6; ++n)
            EXPECT_EQ(le_float32(bytes, word(11 + n)), cell[n]) << "word " << 11 + n;
        EXPECT_EQ(le_float32(bytes, word(20)), 0);
        EXPECT_EQ(le_float32(bytes, word(21)), 312);
        EXPECT_EQ(le_float32(bytes, word(22)), 156);

        // The extra words are zero but for NVERSION, the MRC2014 stamp.
        EXPECT_EQ(bytes.substr(word(25), word(28) - word(25)),
                  std::string(word(28) - word(25), '\0'));
        EXPECT_EQ(bytes.substr(word(29), word(53) - word(29)),
                  std::string(word(53) - word(29), '\0'));
        EXPECT_EQ(bytes.substr(word(53), 8), std::string("MAP \x44\x41\0\0", 8));
        const std::string label = "grix: test map" + std::string(66, ' ');
        EXPECT_EQ(bytes.substr(word(57), 80), label);
        EXPECT_EQ(bytes.substr(word(77), HEADER_BYTES - word(77)),
                  std::string(HEADER_BYTES - word(77), '\0'));

        // Sections as held: across fastest, then down, then section.
        std::size_t offset = HEADER_BYTES;
        for (int k = 0; k < 4; ++k)
            for (int j = 0; j < 2; ++j)
                for (int i = 0; i < 3; ++i, offset += 4)
                    EXPECT_EQ(le_float32(bytes, offset), 100 * k + 10 * j + i);
    }
}

TEST(Ccp4Map, StatisticsCoverOnlyTheGridPoints)
{
    const Phase phase = make_phase({10, 10, 10, 90, 90, 90});
    MapHeader header = make_map_header(2, 1, 2);
    header.nrho = 3;
    MapSections sections(2);
    sections[0].values = {1, 2, 1000};
    sections[1].values = {3, 6, -1000};
    const FourierMap map = make_map(header, sections);
    const std::string bytes = write_with("CCP4", map, phase);
    ASSERT_EQ(bytes.size(), HEADER_BYTES + 16);
    // Where the header cannot be written again (a pipe), it is measured first: same bytes.
    StringSink stream(std::numeric_limits<std::size_t>::max(), false);
    write_ccp4_map({map, phase, 0}, stream);
    EXPECT_EQ(stream.finish(), bytes);
    const float expected[][2] = {{20, 1}, {21, 6}, {22, 3}, {55, std::sqrt(3.5f)}};
    for (const auto& [n, value] : expected)
        EXPECT_FLOAT_EQ(le_float32(bytes, word(static_cast<int>(n))), value) << "word " << n;
    const float data[] = {1, 2, 3, 6};
    for (std::size_t n = 0; n < 4; ++n)
        EXPECT_EQ(le_float32(bytes, HEADER_BYTES + 4 * n), data[n]);
}

TEST(Ccp4Map, EmptyGridHasZeroStatistics)
{
    const Phase phase = make_phase({10, 10, 10, 90, 90, 90});
    for (const auto& [across, down, count] : {std::array{0, 2, 3}, std::array{2, 2, 0}}) {
        MapHeader header = make_map_header(across, down, count);
        const std::string bytes = write_map(phase, header, make_tagged_sections(header));
        ASSERT_EQ(bytes.size(), HEADER_BYTES);
        for (int n : {20, 21, 22, 55})
            EXPECT_EQ(le_float32(bytes, word(n)), 0) << "word " << n;
    }
}

TEST(Ccp4Map, UnplaceableMapsAreRefusedBeforeAnyFile)
{
    struct Case {
        int msect;
        std::array<float, 6> cell;
        FatalStream stream;
        const char* message_start;
    };
    const Case cases[] = {
        {0, {10, 10, 10, 90, 90, 90}, FatalStream::err,
         "Can't write a CCP4 map: unknown section direction 0"},
        {4, {10, 10, 10, 90, 90, 90}, FatalStream::err,
         "Can't write a CCP4 map: unknown section direction 4"},
        {3, {0, 0, 0, 0, 0, 0}, FatalStream::out, "Error: Bad unit cell volume"},
        {1, {10, 10, 10, 120, 120, 120}, FatalStream::out, "Error: Bad unit cell volume"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message_start);
        ScratchDir dir;
        const Phase phase = make_phase(c.cell);
        const FourierMap map = make_tagged_map(make_map_header(2, 2, 2, c.msect));
        const auto [message, stream] = fatal_of([&] {
            write_format(*find_format_named("CCP4"), {map, phase}, dir.file("run.ccp4"));
        });
        EXPECT_TRUE(message.starts_with(c.message_start)) << message;
        EXPECT_EQ(stream, c.stream);
        EXPECT_FALSE(std::filesystem::exists(dir.file("run.ccp4")));
    }
}

TEST(Ccp4Map, WriteErrorEndsTheRun)
{
    const Phase phase = make_phase({10, 10, 10, 90, 90, 90});
    const FourierMap map = make_tagged_map(make_map_header(2, 2, 2));
    const auto [message, stream] = fatal_of(
        [&] { write_format(*find_format_named("CCP4"), {map, phase}, "/dev/full"); });
    EXPECT_EQ(message, "Error writing output file /dev/full.\n  /dev/full: No space left on device\n");
    EXPECT_EQ(stream, FatalStream::err);
}

}  // namespace
