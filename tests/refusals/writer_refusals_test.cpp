#include "refusals/refusal_fixture.hpp"

#include "common/printf_text.hpp"
#include "support/exp_fixture.hpp"
#include "support/map_fixture.hpp"
#include "support/run_capture.hpp"

#include <filesystem>

#include <gtest/gtest.h>

using namespace grix;

namespace {

// A grid without intervals per cell or without points along one direction places no
// point anywhere: the map is refused as soon as its header is read, whatever the format,
// and no file is written. One interval and one point are enough.
TEST(WriterRefusals, GridWithoutIntervalsOrPoints)
{
    struct Case {
        bool intervals;  // nxyzi when true, nxyzt otherwise
        std::int32_t value;
    };
    const Case cases[] = {{true, 0}, {true, -3}, {false, 0}, {true, 1}, {false, 1}};
    for (const Case& c : cases) {
        const char* field = c.intervals ? "nxyzi" : "nxyzt";
        for (int d = 0; d < 3; ++d) {
            // nxyzi[0] = 0 cannot be written: the first non-zero word opens record 2.
            if (c.intervals && c.value == 0 && d == 0)
                continue;
            MapHeader header = make_map_header(3, 2, 2);
            std::int32_t* triple = c.intervals ? header.nxyzi : header.nxyzt;
            triple[d] = c.value;
            header.nrho = std::max(header.nxyzt[0] * header.nxyzt[1], 0);
            const char* fault = c.intervals ? "grid intervals per cell below 1"
                                            : "no grid points along a direction";
            for (const FormatCase& output : FORMAT_CASES) {
                SCOPED_TRACE(printf_text("%s %s[%d] = %d", output.extension, field, d, c.value));
                const ScratchDir dir;
                const std::string expnam = write_run_files(dir, header);
                const RunResult result = run_grix(batch_args(output, expnam));
                EXPECT_EQ(result.out, "");
                if (c.value >= 1) {
                    EXPECT_EQ(result.status, 0) << result.err;
                    EXPECT_NE(read_file_bytes(expnam + output.extension), "");
                    continue;
                }
                EXPECT_EQ(result.status, 1);
                EXPECT_EQ(result.err, printf_text("Error reading Fourier map file %s.fclc; %s, "
                                                  "%s = %d %d %d.\n",
                                                  expnam.c_str(), fault, field, triple[0],
                                                  triple[1], triple[2]));
                EXPECT_FALSE(std::filesystem::exists(expnam + output.extension));
            }
        }
    }
}

// A header whose grid intervals are damaged asks for an output grid far beyond the map's
// own few points: the resampled Cartesian grid of an oblique cell, or the whole-cell grid.
// Those formats refuse before their file is opened, so before an output that cannot be
// opened is named; the formats that copy the map do not refuse.
TEST(WriterRefusals, OutputGridFarLargerThanTheMap)
{
    struct Case {
        std::vector<std::string> option;
        const char* extension;
        std::int32_t nxyzi[3];
        unsigned long long points;  // of the output grid; 0 when the file is written
    };
    const Case cases[] = {
        {{"-march"}, ".fou", {300000000, 1, 1}, 150000004},
        {{"-xd"}, ".grd", {300000000, 1, 1}, 150000004},
        {{"-ccp4", "-full"}, ".ccp4", {100000, 100000, 1}, 10000000000},
        {{"-cube"}, ".cube", {100000, 100000, 1}, 10000000000},
        {{"-xsf"}, ".xsf", {100000, 100000, 1}, 10000000000},
        {{"-ascii", "2"}, ".txt", {300000000, 1, 1}, 0},
        {{"-wingx"}, ".map", {100000, 100000, 1}, 0},
        {{"-ccp4"}, ".ccp4", {100000, 100000, 1}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.option.front() + printf_text(" nxyzi %d %d %d", c.nxyzi[0], c.nxyzi[1],
                                                    c.nxyzi[2]));
        const ScratchDir dir;
        MapHeader header = make_map_header(3, 2, 2);
        std::copy(c.nxyzi, c.nxyzi + 3, header.nxyzi);
        header.cell[5] = 60;
        write_file_bytes(dir.file("run.fclc"),
                         encode_map_file(header, make_tagged_sections(header)));
        FixturePhase oblique;
        oblique.cell[5] = 60;
        write_file_bytes(dir.file("run.exp"), make_exp_file({oblique}));
        std::vector<std::string> args = c.option;
        args.push_back(dir.file("run"));
        const RunResult result = run_grix(args);
        EXPECT_EQ(result.out, "");
        if (c.points == 0) {
            EXPECT_EQ(result.status, 0) << result.err;
            EXPECT_TRUE(std::filesystem::exists(dir.file("run") + c.extension));
            continue;
        }
        const std::string refusal =
            printf_text("Error: the output grid would hold %llu points, from a map of 12; the "
                        "map's header is probably damaged.\n",
                        c.points);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err, refusal);
        EXPECT_FALSE(std::filesystem::exists(dir.file("run") + c.extension));
        args.insert(args.begin(), {"-o", dir.file("missing/out")});
        EXPECT_EQ(run_grix(args).err, refusal);
    }
}

// A full disk, met by the first write of a large map and only by the final flush of a
// small one: every writer ends the run with status 1 and names the file.
TEST(WriterRefusals, FullDiskAtAWriteAndAtTheClose)
{
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    // 288000 points: more than a mebibyte in every format.
    for (const MapHeader& header : {make_map_header(3, 2, 2), make_map_header(80, 80, 45)}) {
        const ScratchDir dir;
        const std::string expnam = write_run_files(dir, header);
        for (const FormatCase& output : FORMAT_CASES) {
            const std::string name = expnam + output.extension;
            SCOPED_TRACE(name + printf_text(" for %d sections", header.nxyzt[2]));
            std::filesystem::create_symlink("/dev/full", name);
            const RunResult result = run_grix(batch_args(output, expnam));
            EXPECT_EQ(result.status, 1);
            EXPECT_EQ(result.out, "");
            EXPECT_EQ(result.err, "Error writing output file " + name + ".\n  " + name +
                                      ": No space left on device\n");
        }
    }
}

}  // namespace
