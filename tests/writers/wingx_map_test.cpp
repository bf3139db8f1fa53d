#include "writers/wingx_map.hpp"

#include "support/map_fixture.hpp"
#include "support/run_capture.hpp"
#include "support/scratch_dir.hpp"
#include "writers/writer_fixture.hpp"

#include <gtest/gtest.h>

#include <cmath>

using namespace grix;

namespace {

constexpr std::size_t HEADER_BYTES = 76;

std::string write_map(const Phase& phase, const MapHeader& header)
{
    return write_with("WINGX", make_tagged_map(header), phase);
}

TEST(WingxMap, Header)
{
    const Phase phase = make_phase({5.5f, 6, 7.25f, 80, 95.5f, 120});
    MapHeader header = make_map_header(2, 3, 4, 2);
    const int nxyzi[3] = {4, 3, 0};
    const int nxyzo[3] = {-1, 2, 30};
    std::copy(nxyzi, nxyzi + 3, header.nxyzi);
    std::copy(nxyzo, nxyzo + 3, header.nxyzo);
    header.rmin = -1.5f;
    header.rmax = 2.75f;
    const std::string bytes = write_map(phase, header);

    const int ints[][2] = {{0, 2}, {4, 3}, {8, 4}, {48, -1}, {52, 2}, {56, 30}, {60, 2}, {64, 1}};
    for (const auto& [offset, value] : ints)
        EXPECT_EQ(le_int32(bytes, offset), value) << "offset " << offset;
    const float floats[][2] = {{12, 0.25f}, {16, static_cast<float>(1.0 / 3)},
                               {24, 5.5f},  {28, 6},
                               {32, 7.25f}, {36, 80},
                               {40, 95.5f}, {44, 120},
                               {68, -1.5f}, {72, 2.75f}};
    for (const auto& [offset, value] : floats)
        EXPECT_EQ(le_float32(bytes, static_cast<std::size_t>(offset)), value)
            << "offset " << offset;
    EXPECT_TRUE(std::isinf(le_float32(bytes, 20)));
    EXPECT_GT(le_float32(bytes, 20), 0);
    // The words really are little-endian: 2 as 02 00 00 00, 0.25 as 00 00 80 3E.
    EXPECT_EQ(bytes.substr(0, 4), std::string("\x02\0\0\0", 4));
    EXPECT_EQ(bytes.substr(12, 4), std::string("\0\0\x80\x3e", 4));
}

TEST(WingxMap, SectionsAreWrittenColumnByColumn)
{
    const Phase phase = make_phase({10, 10, 10, 90, 90, 90});
    const MapHeader header = make_map_header(2, 3, 2);
    const std::string bytes = write_map(phase, header);
    // A B / C D / E F held row by row is written A C E B D F.
    const float expected[] = {0, 10, 20, 1, 11, 21, 100, 110, 120, 101, 111, 121};
    for (std::size_t n = 0; n < std::size(expected); ++n)
        EXPECT_EQ(le_float32(bytes, HEADER_BYTES + 4 * n), expected[n]) << "value " << n;
    EXPECT_EQ(le_int32(bytes, HEADER_BYTES + 4 * std::size(expected)), 0);
}

TEST(WingxMap, AtomRecords)
{
    const Phase phase = make_phase({10, 10, 10, 90, 90, 90},
                                          {{"O1         ", 0.125f, -0.5f, 1.25f, 1},
                                           {"Cl12345678X", 0.5f, 0.25f, 0, 0.5f},
                                           {"H", 0, 0, 0.75f, 1}});
    const MapHeader header = make_map_header(1, 1, 1);
    const std::string bytes = write_map(phase, header);
    const std::size_t atoms = HEADER_BYTES + 4;
    ASSERT_EQ(bytes.size(), atoms + 4 + 3 * 20);
    EXPECT_EQ(le_int32(bytes, atoms), 3);
    const std::string names[] = {std::string("O1     \0", 8), std::string("Cl12345\0", 8),
                                 std::string("H\0\0\0\0\0\0\0", 8)};
    for (int i = 0; i < 3; ++i) {
        const std::size_t record = atoms + 4 + 20 * static_cast<std::size_t>(i);
        EXPECT_EQ(bytes.substr(record, 8), names[i]);
        const Atom& atom = phase.atoms[static_cast<std::size_t>(i)];
        EXPECT_EQ(le_float32(bytes, record + 8), atom.x);
        EXPECT_EQ(le_float32(bytes, record + 12), atom.y);
        EXPECT_EQ(le_float32(bytes, record + 16), atom.z);
    }
}

TEST(WingxMap, FileLength)
{
    struct Case {
        int across, down, sections, natoms;
    };
    const Case cases[] = {{3, 2, 4, 2}, {1, 1, 1, 0}, {0, 5, 3, 1}, {4, 3, 0, 0}, {2, 2, 2, -1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.across << "x" << c.down << "x" << c.sections
                                        << " natoms " << c.natoms);
        // The count is stated as the experiment file gave it; only the atoms read follow.
        Phase phase = make_phase({10, 10, 10, 90, 90, 90});
        for (int i = 0; i < c.natoms; ++i)
            phase.atoms.push_back({"C ", "C", 0.5f, 0.5f, 0.5f, 1});
        phase.atom_count = c.natoms;
        const MapHeader header = make_map_header(c.across, c.down, c.sections);
        const std::string bytes = write_map(phase, header);
        const int atoms = std::max(c.natoms, 0);
        ASSERT_EQ(bytes.size(),
                  static_cast<std::size_t>(76 + 4 * c.across * c.down * c.sections + 4 +
                                           20 * atoms));
        EXPECT_EQ(le_int32(bytes, bytes.size() - 4 - 20 * static_cast<std::size_t>(atoms)),
                  c.natoms);
    }
}

TEST(WingxMap, WriteErrorEndsTheRun)
{
    const MapHeader header = make_map_header(2, 2, 2);
    const Phase phase = make_phase({10, 10, 10, 90, 90, 90});
    const auto [message, stream] = fatal_of([&] {
        write_format(*find_format_named("WINGX"), {make_tagged_map(header), phase}, "/dev/full");
    });
    EXPECT_EQ(message, "Error writing output file /dev/full.\n  /dev/full: No space left on device\n");
    EXPECT_EQ(stream, FatalStream::err);
}

// Batch runs reach the map-keeping writers: without an experiment file (said on standard
// error) the cell is zero and there are no atoms, which both formats write as they are.
TEST(GridWriters, BatchRunsWriteWhatTheWritersWrite)
{
    const ScratchDir dir;
    const FourierMap map = make_tagged_map(make_map_header(3, 2, 2));
    write_file_bytes(dir.file("run.fclc"),
                     encode_map_file(map.header, make_tagged_sections(map.header)));
    // No experiment file: the map's own cell, no atoms, P 1.
    Phase no_phase = make_phase({10, 10, 10, 90, 90, 90});
    no_phase.space_group = "P 1";

    const RunResult ascii = run_grix({"-ascii", "3", dir.file("run")});
    EXPECT_EQ(ascii.status, 0);
    EXPECT_EQ(ascii.out, "");
    const RunResult wingx = run_grix({"-wingx", dir.file("run")});
    EXPECT_EQ(wingx.status, 0);
    EXPECT_EQ(wingx.out, "");

    EXPECT_EQ(read_file_bytes(dir.file("run.txt")), write_with("ASCII", map, no_phase, 3));
    EXPECT_EQ(read_file_bytes(dir.file("run.map")), write_with("WINGX", map, no_phase));
}

}  // namespace
