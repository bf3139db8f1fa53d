#include "readers/map_file.hpp"

#include "common/fatal.hpp"
#include "common/printf_text.hpp"
#include "readers/reader_test_support.hpp"
#include "support/map_fixture.hpp"
#include "support/scratch_dir.hpp"

#include <climits>

#include <gtest/gtest.h>

using namespace grix;

namespace {

struct MapRead {
    std::string error;  // the fatal message; empty when the map was read
    std::vector<float> values;
};

MapRead read_map_bytes(const ScratchDir& dir, const std::string& bytes)
{
    write_file_bytes(dir.file("run.fclc"), bytes);
    MapReading reading;
    MapRead read;
    try {
        reading.read(dir.file("run"));
        const MapValues& values = reading.map.values;
        for (std::size_t k = 0; k < values.sections(); ++k)
            read.values.insert(read.values.end(), values.section(k),
                               values.section(k) + values.section_points());
    } catch (const FatalError& error) {
        EXPECT_EQ(error.stream, FatalStream::err);
        read.error = error.what();
    }
    return read;
}

// The file cut after every byte, for both record lengths: before nxyzi[0] there are no
// data, then the second record is cut short, then the sections; the last section's two
// tail words may be missing.
TEST(MapFileRefusals, CutAfterEveryByte)
{
    const MapHeader header = make_map_header(3, 2, 2);
    const std::size_t section_bytes = 4 * (6 + 2);
    for (const std::size_t record_size : {164u, 512u}) {
        const ScratchDir dir;
        const std::string whole =
            encode_map_file(header, make_tagged_sections(header), static_cast<int>(record_size));
        const std::string name = dir.file("run.fclc");
        ASSERT_EQ(whole.size(), 2 * record_size + 2 * section_bytes);
        for (std::size_t size = 0; size <= whole.size(); ++size) {
            SCOPED_TRACE(printf_text("record size %zu, %zu bytes", record_size, size));
            const MapRead read = read_map_bytes(dir, whole.substr(0, size));
            if (size < record_size + 4) {
                EXPECT_EQ(read.error, "Error reading Fourier map file; no data found.\n");
            } else if (size < 2 * record_size) {
                EXPECT_EQ(read.error, "Error reading Fourier map file " + name +
                                          "; the file ends inside its second record.\n");
            } else if (size < whole.size() - 8) {
                EXPECT_EQ(read.error, "Error reading Fourier map file " + name +
                                          "; the file is too short for 2 sections of 6 values.\n");
            } else {
                ASSERT_EQ(read.error, "");
                ASSERT_EQ(read.values.size(), 12u);
                EXPECT_EQ(read.values.back(), 112.0f);  // section 1, down 1, across 2
            }
            EXPECT_TRUE(read.error.empty() || read.values.empty());
        }
    }
}

// Headers that the soundness checks refuse at once, however few bytes stand behind them,
// next to those at the edges that are sound.
TEST(MapFileRefusals, HeaderValuesAtTheirLimits)
{
    struct Case {
        std::int32_t nxyzt[3];
        std::int32_t nrho;
        const char* message_part;  // empty: read
    };
    const Case cases[] = {
        {{3, -1, 2}, 6, "; negative grid size nxyzt = 3 -1 2.\n"},
        {{INT_MIN, INT_MIN, INT_MIN}, 6, "; negative grid size"},
        {{1, 1, 2000000000}, 1, "; the file is too short for 2000000000 sections of 1 values.\n"},
        {{1, 1, INT_MAX}, 1, "too short"},
        {{1, 1, 2}, INT_MAX, "too short"},
        {{INT_MAX, INT_MAX, 1}, INT_MAX, "is less than the 4611686014132420609 points"},
        {{0, 5, 3}, 0, "; no grid points along a direction, nxyzt = 0 5 3.\n"},
        {{3, 2, 2}, 0, "nrho = 0 is less than the 6 points"},
        {{3, 2, 1}, -1, "nrho = -1 is less than the 6 points"},
        {{3, 2, 0}, 6, "; no grid points along a direction, nxyzt = 3 2 0.\n"},
        {{0, 0, 0}, 0, "no grid points"},
        {{1, 1, 1}, 1, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(printf_text("nxyzt %d %d %d, nrho %d", c.nxyzt[0], c.nxyzt[1], c.nxyzt[2],
                                 c.nrho));
        MapHeader header = make_map_header(3, 2, 2);
        std::copy(c.nxyzt, c.nxyzt + 3, header.nxyzt);
        header.nrho = c.nrho;
        // Three sections' worth of words behind the header, whatever it claims.
        const std::string bytes = encode_map_file(header, {}) + std::string(3 * 4 * 8, '\0');
        const ScratchDir dir;
        const MapRead read = read_map_bytes(dir, bytes);
        if (*c.message_part == '\0') {
            EXPECT_EQ(read.error, "");
            EXPECT_EQ(read.values.size(), static_cast<std::size_t>(c.nxyzt[0]) * c.nxyzt[1] *
                                              static_cast<std::size_t>(c.nxyzt[2]));
        } else {
            EXPECT_NE(read.error.find(c.message_part), std::string::npos) << read.error;
            EXPECT_TRUE(read.values.empty());
        }
    }
}

}  // namespace
