#include "writers/marching_cube.hpp"

#include "refusals/refusal_fixture.hpp"
#include "support/map_fixture.hpp"
#include "support/run_capture.hpp"
#include "support/scratch_dir.hpp"
#include "writers/writer_fixture.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <vector>

using namespace grix;

namespace {

const std::array<float, 6> CUBIC{10, 10, 10, 90, 90, 90};

std::vector<std::string> split_lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);)
        lines.push_back(line);
    return lines;
}

// The file of a map of nxyzt points (nxyzi 20, msect 3).
std::string write_fou(const Phase& phase, const MapHeader& header)
{
    return write_with("MARCH", make_tagged_map(header), phase);
}

// A 4 x 3 x 3 map: the box starts a hair below 0 in X and Y, so the first point of
// each row lies outside the map, and the last X and Y points lie on its last planes.
const char* const TINY_FOU =
    "INFO  DOWN, ACROSS AND SECTION \n"
    "TRAN \n"
    "    10.00000000 \n    -0.00000000 \n    -0.00000000 \n"
    "     0.00000000 \n    10.00000000 \n    -0.00000000 \n"
    "     0.00000000 \n     0.00000000 \n    10.00000000 \n"
    "     0.00000000 \n     0.00000000 \n     0.00000000 \n"
    "CELL \n"
    "    10.00000000 \n    10.00000000 \n    10.00000000 \n"
    "     1.57079633 \n     1.57079633 \n     1.57079633 \n"
    "L14 \n"
    "    -0.00000000 \n     0.50000000 \n     1.50000000 \n     1.00000000 \n"
    "    -0.00000000 \n     0.50000000 \n     1.00000000 \n     1.00000000 \n"
    "     0.00000000 \n     0.50000000 \n     1.00000000 \n     1.00000000 \n"
    "SIZE \n"
    "       4 \n       3 \n       2 \n"
    "BLOCK \n"
    "      12 \n"
    "     0.00000000\n     0.00000000\n     0.00000000\n"
    "     0.00000000\n    11.00000000\n     0.00000000\n"
    "     0.00000000\n    12.00000000\n     0.00000000\n"
    "     0.00000000\n     0.00000000\n     0.00000000\n"
    "BLOCK \n"
    "      12 \n"
    "     0.00000000\n     0.00000000\n     0.00000000\n"
    "     0.00000000\n   111.00000000\n     0.00000000\n"
    "     0.00000000\n   112.00000000\n     0.00000000\n"
    "     0.00000000\n     0.00000000\n     0.00000000\n"
    "LIST5 \n"
    "       2 \n"
    "      14 \n"
    "C  \n"
    "     1.00000000\n     0.75000000\n     0.00000000\n"
    "    -0.10000000\n     0.25000000\n     0.50000000\n"
    "     0.00000000\n     0.00000000\n     0.00000000\n     0.00000000\n"
    "     0.00000000\n     0.00000000\n     0.00000000\n"
    "C  \n"
    "     1.00000000\n     1.00000000\n     0.00000000\n"
    "     0.12500000\n     1.50000000\n     0.33333334\n"
    "     0.00000000\n     0.00000000\n     0.00000000\n     0.00000000\n"
    "     0.00000000\n     0.00000000\n     0.00000000\n";

TEST(MarchingCubeWriter, WritesTinyMapWithAtoms)
{
    const Phase phase = make_phase(CUBIC, {{"SI1", -0.1f, 0.25f, 0.5f, 0.75f},
                                           {"O2", 0.125f, 1.5f, 1 / 3.0f, 1.0f}});
    EXPECT_EQ(write_fou(phase, make_map_header(4, 3, 3)), TINY_FOU);
}

TEST(MarchingCubeWriter, CubicCellGivesTwentyBlocksOf441Values)
{
    const std::vector<std::string> lines =
        split_lines(write_fou(make_phase(CUBIC), make_map_header(21, 21, 21)));
    // INFO, TRAN + 12, CELL + 6, L14 + 12, then SIZE + 3.
    ASSERT_GT(lines.size(), 38u);
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 34, lines.begin() + 38),
              (std::vector<std::string>{"SIZE ", "      21 ", "      21 ", "      20 "}));
    std::size_t at = 38;
    for (int block = 0; block < 20; ++block) {
        ASSERT_LT(at + 1, lines.size());
        EXPECT_EQ(lines[at], "BLOCK ");
        EXPECT_EQ(lines[at + 1], "     441 ");
        at += 2 + 441;
    }
    EXPECT_EQ(std::vector<std::string>(lines.begin() + static_cast<long>(at), lines.end()),
              (std::vector<std::string>{"LIST5 ", "       0 ", "      14 "}));
}

TEST(MarchingCubeWriter, FlatAxisLeavesNoBlocks)
{
    // One section: the box has no extent along Z, and with z = 0 throughout nothing
    // pushes Y below 0, so Y gets exactly (max - min) / step points.
    const std::string file = write_fou(make_phase(CUBIC), make_map_header(4, 3, 1));
    const std::string tail =
        "SIZE \n       4 \n       2 \n       0 \nLIST5 \n       0 \n      14 \n";
    ASSERT_GE(file.size(), tail.size());
    EXPECT_EQ(file.substr(file.size() - tail.size()), tail);
}

TEST(MarchingCubeWriter, AsksForTheFileNameInInteractiveMode)
{
    const ScratchDir dir;
    const std::string expnam = write_run_files(dir, make_map_header(4, 3, 3));
    const RunResult result =
        run_grix({}, expnam + "\nfclc\nmarch\n" + dir.file("typed.out") + "\n");
    EXPECT_EQ(result.status, 0);
    EXPECT_TRUE(result.out.ends_with("\n\nEnter output file name: ")) << result.out;
    EXPECT_EQ(read_file_bytes(dir.file("typed.out")).substr(0, 32),
              "INFO  DOWN, ACROSS AND SECTION \n");
    EXPECT_FALSE(std::filesystem::exists(expnam + ".fou"));
}

TEST(MarchingCubeWriter, FailedWriteEndsTheRun)
{
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    const Phase phase = make_phase(CUBIC);
    const auto [message, stream] = fatal_of([&] {
        write_format(*find_format_named("MARCH"),
                     {make_tagged_map(make_map_header(4, 3, 3)), phase}, "/dev/full");
    });
    EXPECT_EQ(message, "Error writing output file /dev/full.\n  /dev/full: No space left on device\n");
    EXPECT_EQ(stream, FatalStream::err);
}

// Both resampling formats refuse a bad cell or grid before their file is opened.
TEST(ResamplingWriters, RefusalsLeaveNoFile)
{
    struct Case {
        std::array<float, 6> cell;
        int msect;
        std::int32_t nxyzi0;
        std::int32_t nxyzo0;
        const char* message;
        FatalStream stream;
    };
    const Case cases[] = {
        {{0, 0, 0, 0, 0, 0}, 3, 20, 0,
         "Error: Bad unit cell volume: vol^2 = 0.000000\n"
         "Unit cell params have not been read correctly.\n"
         "You can still output in ASCII format.\n",
         FatalStream::out},
        {CUBIC, 5, 20, 0, "Error: unknown section direction.\n", FatalStream::out},
        // Corners far beyond the float range: an infinite box.
        {{1e30f, 10, 10, 90, 90, 90}, 3, 1, 2147483000,
         "Error: the Cartesian grid cannot be counted along X: (max - min) / step = "
         "(inf - 1e+07) / 1e+30 = inf.\n",
         FatalStream::err},
    };
    for (const char* name : {"MARCH", "XD"}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(name);
            const ScratchDir dir;
            const Phase phase = make_phase(c.cell, {{"C1", 0.1f, 0.1f, 0.1f, 1}});
            MapHeader header = make_map_header(4, 3, 3, c.msect);
            header.nxyzi[0] = c.nxyzi0;
            header.nxyzo[0] = c.nxyzo0;
            const FourierMap map = make_tagged_map(header);
            EXPECT_EQ(fatal_of([&] {
                          write_format(*find_format_named(name), {map, phase}, dir.file("abc"));
                      }),
                      std::make_pair(std::string(c.message), c.stream));
            EXPECT_FALSE(std::filesystem::exists(dir.file("abc")));
        }
    }
}

}  // namespace
