// A look at the map without converting it: -info describes it, -peaks lists its
// maxima and minima beside the atoms; neither writes a file.
#include "support/exp_fixture.hpp"
#include "support/map_fixture.hpp"
#include "support/run_capture.hpp"
#include "support/scratch_dir.hpp"

#include <cmath>
#include <filesystem>
#include <limits>
#include <sstream>

#include <gtest/gtest.h>

using namespace grix;

namespace {

struct Row {
    std::string kind;
    double height, sigma, x, y, z;
    std::string atom, distance, edge;
};

// The table's rows after its header line.
std::vector<Row> read_rows(const std::string& table)
{
    std::istringstream lines(table);
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line, "kind      height   sigma        x        y        z atom     distance edge");
    std::vector<Row> rows;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        Row row;
        fields >> row.kind >> row.height >> row.sigma >> row.x >> row.y >> row.z >> row.atom >>
            row.distance >> row.edge;
        EXPECT_TRUE(fields) << line;
        rows.push_back(row);
    }
    return rows;
}

std::size_t count_files(const ScratchDir& dir)
{
    const auto entries = std::filesystem::directory_iterator(dir.path());
    return static_cast<std::size_t>(std::distance(begin(entries), end(entries)));
}

// A whole cell of 8 Angstrom, 32 intervals along each axis, or the first `across` of them.
MapHeader site_map_header(int across = 32)
{
    MapHeader header = make_map_header(across, 32, 32);
    const float cell[7] = {8, 8, 8, 90, 90, 90, 512};
    std::copy(cell, cell + 7, header.cell);
    for (int d = 0; d < 3; ++d)
        header.nxyzi[d] = 32;
    return header;
}

const FixtureAtom CARBON{"C", 0.1f, 0.2f, 0.3f, 1, "C1", 0};
const FixtureAtom OXYGEN{"O", 0.6f, 0.55f, 0.8f, 1, "O1", 0};

void write_site_map(const ScratchDir& dir, const std::string& file, const MapHeader& header,
                    const std::vector<DensitySite>& sites, const std::string& group = "P 1")
{
    write_file_bytes(dir.file(file), encode_map_file(header, make_site_sections(header, sites)));
    FixturePhase phase{"sites", {8, 8, 8, 90, 90, 90}, {CARBON, OXYGEN}, {}, false};
    phase.space_group = group;
    write_file_bytes(dir.file("run.exp"), make_exp_file({phase}));
}

TEST(MapLook, InfoDescribesAWholeCellMapAndThePhases)
{
    const ScratchDir dir;
    const MapHeader header = make_map_header(20, 20, 20);  // 20 intervals: the whole cell
    MapSections sections = make_tagged_sections(header);
    sections[0].values[0] = std::numeric_limits<float>::quiet_NaN();  // instead of 0
    write_file_bytes(dir.file("run.fclc"), encode_map_file(header, sections));
    const FixturePhase other{"other", {7.5f, 7.5f, 9, 90, 90, 120}, {CARBON}, {}, false};
    const FixturePhase same{"same", {10, 10, 10, 90, 90, 90}, {CARBON, OXYGEN}, {}, false};
    write_file_bytes(dir.file("run.exp"), make_exp_file({other, same}));
    const std::size_t files = count_files(dir);

    RunResult result = run_grix({"-info", "-p", "2", dir.file("run")});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "Warning: the map holds 1 values that are not finite numbers.\n");
    for (const std::string& line :
         {"Map file        " + dir.file("run.fclc") + "\n", std::string("Map type        FCLC\n"),
          std::string("Title           test map\n"), std::string("Phase text      test phase\n"),
          std::string("  across           x         20      20       0   0.0000   0.9500  whole\n"),
          std::string("  sections         z         20      20       0   0.0000   0.9500  whole\n"),
          std::string("Covers          the whole cell\n"), std::string("Values          8000 points\n"),
          std::string("  minimum       1\n"), std::string("  maximum       2109\n"),
          std::string("  mean          1054.63\n"), std::string("  not finite    1, left out of the above\n"),
          "Experiment file " + dir.file("run.exp") + "\n",
          std::string("      2  same               10.0000   10.0000   10.0000   90.000  90.000 "
                      " 90.000      2  I a 3 d\n"),
          std::string("A conversion takes phase 2; the map's cell matches it.\n")})
        EXPECT_NE(result.out.find(line), std::string::npos) << line << result.out;
    // Without "-p", the phase whose cell is the map's, as a conversion would take it; with
    // another phase, the same warning as a conversion.
    result = run_grix({"-fclc", "-info", dir.file("run")});
    EXPECT_NE(result.out.find("A conversion takes phase 2; the map's cell matches it.\n"),
              std::string::npos);
    result = run_grix({"-info", "-p", "1", dir.file("run")});
    EXPECT_NE(result.out.find("A conversion takes phase 1; the map's cell differs from it.\n"),
              std::string::npos);
    EXPECT_NE(result.err.find("Warning: the map's cell"), std::string::npos);
    // And the same refusals.
    result = run_grix({"-info", "-p", "3", dir.file("run")});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(count_files(dir), files);
}

TEST(MapLook, InfoShowsThePartOfTheCellAPartialMapCovers)
{
    const ScratchDir dir;
    MapHeader header = make_map_header(5, 4, 3, 1);  // sections along x
    header.nxyzo[0] = 2;
    header.nxyzo[2] = -1;
    write_file_bytes(dir.file("run.fclc"), encode_map_file(header, make_tagged_sections(header)));
    const RunResult result = run_grix({"-info", "-info", dir.file("run")});
    EXPECT_EQ(result.status, 0);
    for (const std::string line :
         {"  across           y         20       5       2   0.1000   0.3000  part\n",
          "  down             z         20       4       0   0.0000   0.1500  part\n",
          "  sections         x         20       3      -1  -0.0500   0.0500  part\n",
          "Covers          0.75 % of the cell\n", "Experiment file none found\n",
          "A conversion takes no phase: the map's own cell, no atoms.\n"})
        EXPECT_NE(result.out.find(line), std::string::npos) << line << result.out;
    EXPECT_NE(result.err.find("Can't find"), std::string::npos);
    EXPECT_EQ(count_files(dir), 1u);
}

TEST(MapLook, PeaksOfAMapOfKnownAtomsSitOnThem)
{
    const ScratchDir dir;
    write_site_map(dir, "run.fobs", site_map_header(),
                   {{0.1, 0.2, 0.3, 6}, {0.6, 0.55, 0.8, 8}});
    const RunResult result = run_grix({"-fobs", "-peaks", "2", dir.file("run")});
    EXPECT_EQ(result.status, 0) << result.err;
    const std::vector<Row> rows = read_rows(result.out);
    ASSERT_EQ(rows.size(), 4u);
    for (std::size_t r = 0; r < 2; ++r) {
        EXPECT_EQ(rows[r].kind, "max");
        EXPECT_EQ(rows[r].atom, r == 0 ? "O1" : "C1");
        EXPECT_LT(std::stod(rows[r].distance), 0.02);
        EXPECT_NEAR(rows[r].height, r == 0 ? 8 : 6, 0.3);
        EXPECT_EQ(rows[r].edge, "no");
    }
    EXPECT_EQ(rows[2].kind, "min");
    EXPECT_EQ(count_files(dir), 2u);

    // A map of half the cell ends at x = 15/32: the oxygen beyond is cut at the face.
    write_site_map(dir, "half.fobs", site_map_header(16), {{0.5, 0.55, 0.8, 8}});
    std::filesystem::copy_file(dir.file("run.exp"), dir.file("half.exp"));
    const std::vector<Row> half = read_rows(run_grix({"-fobs", "-peaks", "1", dir.file("half")}).out);
    ASSERT_EQ(half.size(), 2u);
    EXPECT_NEAR(half[0].x, 15.0 / 32, 1e-4);
    EXPECT_EQ(half[0].edge, "yes");
}

TEST(MapLook, TheTopPeakOfADifferenceMapIsTheMissingAtom)
{
    const ScratchDir dir;
    // Missing from the model: an atom at (0.35, 0.7, 0.15). Too heavy in it: the carbon.
    write_site_map(dir, "run.delf", site_map_header(),
                   {{0.35, 0.7, 0.15, 3}, {0.1, 0.2, 0.3, -1.5}, {0.9, 0.9, 0.5, 0.5}});
    const std::vector<Row> rows = read_rows(run_grix({"-delf", "-peaks", "1", dir.file("run")}).out);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_NEAR(rows[0].x, 0.35, 0.002);
    EXPECT_NEAR(rows[0].y, 0.7, 0.002);
    EXPECT_NEAR(rows[0].z, 0.15, 0.002);
    EXPECT_GT(rows[0].sigma, 5);
    EXPECT_EQ(rows[1].kind, "min");
    EXPECT_EQ(rows[1].atom, "C1");
    EXPECT_LT(std::stod(rows[1].distance), 0.02);
    EXPECT_LT(rows[1].sigma, -2);
}

TEST(MapLook, APeakThatSymmetryRepeatsIsListedOnce)
{
    // The example's map covers the whole cell of P 32 2 1: three silicon and six oxygen
    // images, one site each.
    const ScratchDir dir;
    for (const char* file : {"quartz.fclc", "quartz.exp"})
        std::filesystem::copy_file(std::string(GRIX_EXAMPLES_DIR "/") + file, dir.file(file));
    const RunResult result = run_grix({"-peaks", "3", dir.file("quartz")});
    EXPECT_EQ(result.status, 0) << result.err;
    const std::vector<Row> rows = read_rows(result.out);
    ASSERT_EQ(rows.size(), 5u);  // two maxima, three minima
    EXPECT_EQ(rows[0].atom, "Si1");
    EXPECT_EQ(rows[1].atom, "O1");
    for (std::size_t r = 0; r < 2; ++r)
        EXPECT_LT(std::stod(rows[r].distance), 0.05);
    EXPECT_EQ(rows[2].kind, "min");
    // Likewise in a map of P -1 whose oxygen stands at both (x, y, z) and (-x, -y, -z).
    write_site_map(dir, "run.fclc", site_map_header(),
                   {{0.6, 0.55, 0.8, 8}, {0.4, 0.45, 0.2, 8}, {0.1, 0.2, 0.3, 6},
                    {0.9, 0.8, 0.7, 6}},
                   "P -1");
    const std::vector<Row> centric = read_rows(run_grix({"-peaks", "2", dir.file("run")}).out);
    ASSERT_EQ(centric.size(), 4u);
    EXPECT_EQ(centric[0].atom, "O1");
    EXPECT_EQ(centric[1].atom, "C1");
}

}  // namespace
