// The formats for today's viewers hold the whole cell: a map of part of the cell is
// completed by the space group of the experiment file, and every atom image is there.
#include "support/exp_fixture.hpp"
#include "support/map_fixture.hpp"
#include "support/run_capture.hpp"
#include "support/scratch_dir.hpp"
#include "writers/writer_fixture.hpp"

#include <cmath>
#include <filesystem>
#include <sstream>

#include <gtest/gtest.h>

using namespace grix;

namespace {

constexpr int INTERVALS[3] = {8, 6, 4};

// A density with the inversion symmetry of P -1 at grid point (i, j, k) of the cell.
float centric_density(int i, int j, int k)
{
    const double turn = 2 * 3.14159265358979;
    return static_cast<float>(std::cos(turn * i / INTERVALS[0]) +
                              0.5 * std::cos(turn * (j / 6.0 + k / 4.0)));
}

// The map of x from 0 to `across` - 1 and the whole of y and z, and a phase of `symbol`
// with one atom at a general position, as run.fclc and run.exp.
void write_inputs(const ScratchDir& dir, int across, const std::string& symbol)
{
    MapHeader header = make_map_header(across, INTERVALS[1], INTERVALS[2]);
    for (int d = 0; d < 3; ++d)
        header.nxyzi[d] = INTERVALS[d];
    MapSections sections(static_cast<std::size_t>(INTERVALS[2]));
    for (int k = 0; k < INTERVALS[2]; ++k)
        for (int j = 0; j < INTERVALS[1]; ++j)
            for (int i = 0; i < across; ++i)
                sections[static_cast<std::size_t>(k)].values.push_back(centric_density(i, j, k));
    write_file_bytes(dir.file("run.fclc"), encode_map_file(header, sections));
    const FixtureAtom atom{"SI", 0.1f, 0.2f, 0.3f, 1, "SI1", 0};
    const FixturePhase phase{"centric", {10, 10, 10, 90, 90, 90}, {atom}, {}, false};
    std::vector<std::string> records = exp_file_records({phase});
    records.push_back(exp_record("CRS1  SG SYM  " + symbol));
    write_file_bytes(dir.file("run.exp"), join_records(records));
}

TEST(WholeCell, HalfACellIsCompletedByTheInversion)
{
    const ScratchDir dir;
    write_inputs(dir, INTERVALS[0] / 2 + 1, "P -1");
    const RunResult result = run_grix({"-cube", dir.file("run")});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    std::istringstream cube(read_file_bytes(dir.file("run.cube")));
    std::string line;
    std::getline(cube, line);
    std::getline(cube, line);
    int atoms = 0, points[3] = {};
    double origin, vector[3];
    cube >> atoms >> origin >> origin >> origin;
    for (int& count : points)
        cube >> count >> vector[0] >> vector[1] >> vector[2];
    EXPECT_EQ(atoms, 2);  // an atom at a general position and its inverse
    EXPECT_EQ(std::vector<int>(points, points + 3), std::vector<int>(INTERVALS, INTERVALS + 3));
    for (int n = 0; n < 5 * atoms; ++n)
        cube >> origin;
    // x slowest, z fastest.
    for (int i = 0; i < INTERVALS[0]; ++i)
        for (int j = 0; j < INTERVALS[1]; ++j)
            for (int k = 0; k < INTERVALS[2]; ++k) {
                double value = 0;
                cube >> value;
                ASSERT_NEAR(value, centric_density(i, j, k) * 0.148184711, 1e-6)
                    << i << " " << j << " " << k;
            }
}

TEST(WholeCell, WhatNoOperatorReachesIsZeroAndSaid)
{
    const ScratchDir dir;
    write_inputs(dir, 2, "P -1");
    const RunResult result = run_grix({"-xsf", dir.file("run")});
    EXPECT_EQ(result.status, 0);
    // x = 2/8 to 6/8 are neither in the map nor the image of a map point.
    EXPECT_EQ(result.err, "Warning: 120 grid points of the cell are the image of no map point "
                          "under the space group; they are written as 0.\n");
}

TEST(WholeCell, Ccp4MapNamesTheGroupAndHoldsTheCellWithFull)
{
    const ScratchDir dir;
    write_inputs(dir, INTERVALS[0] / 2 + 1, "P 21/c");
    ASSERT_EQ(run_grix({"-ccp4", dir.file("run")}).status, 0);
    std::string bytes = read_file_bytes(dir.file("run.ccp4"));
    EXPECT_EQ(le_int32(bytes, 4 * 22), 14);     // ISPG
    EXPECT_EQ(le_int32(bytes, 4 * 27), 20140);  // NVERSION
    EXPECT_EQ(le_int32(bytes, 0), INTERVALS[0] / 2 + 1);

    const RunResult full = run_grix({"-ccp4", "-full", dir.file("run")});
    EXPECT_EQ(full.status, 0);
    bytes = read_file_bytes(dir.file("run.ccp4"));
    const int expected[] = {8, 6, 4, 2, 0, 0, 0, 8, 6, 4};  // counts, mode, start, intervals
    for (int n = 0; n < 10; ++n)
        EXPECT_EQ(le_int32(bytes, 4 * static_cast<std::size_t>(n)), expected[n]) << "word " << n + 1;
    EXPECT_EQ(bytes.size(), 1024u + 4 * 8 * 6 * 4);
}

TEST(WholeCell, AnUnreadableSymbolRefusesTheFormatsThatNeedIt)
{
    const ScratchDir dir;
    write_inputs(dir, INTERVALS[0], "Q 9");
    const RunResult cube = run_grix({"-cube", dir.file("run")});
    EXPECT_EQ(cube.status, 1);
    EXPECT_EQ(cube.err, "Can't read the space group \"Q 9\" of phase centric; the CUBE format "
                        "needs its symmetry.\n");
    EXPECT_FALSE(std::filesystem::exists(dir.file("run.cube")));
    // The CCP4 map of the map as it is states P1; the page goes without its atoms.
    EXPECT_EQ(run_grix({"-ccp4", dir.file("run")}).status, 0);
    EXPECT_EQ(le_int32(read_file_bytes(dir.file("run.ccp4")), 4 * 22), 1);
    const RunResult page = run_grix({"-html", dir.file("run")});
    EXPECT_EQ(page.status, 0);
    EXPECT_EQ(page.err, "Warning: can't read the space group \"Q 9\" of phase centric; the "
                        "atoms are left out.\n");
}

}  // namespace
