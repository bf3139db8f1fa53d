#include "writers/ascii_dump.hpp"

#include "support/map_fixture.hpp"
#include "support/run_capture.hpp"
#include "support/scratch_dir.hpp"
#include "writers/writer_fixture.hpp"

#include <gtest/gtest.h>

#include <filesystem>

using namespace grix;

namespace {

// The dump as a batch run writes it.
std::string dump(const Phase& phase, const MapHeader& header, const MapSections& sections,
                 int precision)
{
    return write_with("ASCII", make_map(header, sections), phase, precision);
}

// The part of a dump from the first section heading on.
std::string sections_part(const std::string& text)
{
    const std::size_t start = text.find("\nSection 0\n");
    return start == std::string::npos ? std::string() : text.substr(start);
}

MapSections one_value(float value)
{
    MapSections sections(1);
    sections[0].values = {value};
    return sections;
}

TEST(AsciiDump, WholeFile)
{
    const Phase phase = make_phase({5.5f, 6, 7.25f, 90, 95.5f, 120},
                                   {{"O1         ", 0.1f, 0.2f, 0.3f, 1},
                                    {"Fe2", 0.5f, 0.25f, 0, 0.5f}});
    const MapHeader header = make_map_header(3, 2, 2);
    EXPECT_EQ(dump(phase, header, make_tagged_sections(header), 1),
              "Unit cell: 5.500000 6.000000 7.250000 90.000000 95.500000 120.000000\n"
              "Number of atoms: 2\n"
              "O1          0.100000 0.200000 0.300000 1.000000\n"
              "Fe2 0.500000 0.250000 0.000000 0.500000\n"
              "Number of sections: 2\n"
              "Each section: 3 grid points across by 2 grid points down.\n"
              "Sections increase up z in steps of 0.362500 Angstroms.\n"
              "x increasing left to right in 0.275000 Angstrom steps.\n"
              "y increasing top to bottom in 0.300000 Angstrom steps.\n"
              "\nSection 0\n"
              "    0.0     1.0     2.0 \n"
              "   10.0    11.0    12.0 \n"
              "\nSection 1\n"
              "  100.0   101.0   102.0 \n"
              "  110.0   111.0   112.0 \n");
}

TEST(AsciiDump, ValueFieldWidthFollowsPrecision)
{
    struct Case {
        int precision;
        float value;
        const char* row;
    };
    const Case cases[] = {
        {0, 12.0f, "    12 \n"},
        {0, -3.25f, "    -3 \n"},
        {0, 2.5f, "     2 \n"},
        {3, 0.0f, "    0.000 \n"},
        {6, 1.5f, "    1.500000 \n"},
        {6, -0.1f, "   -0.100000 \n"},
        {6, -123456.0f, "-123456.000000 \n"},
    };
    const Phase phase = make_phase({10, 10, 10, 90, 90, 90});
    const MapHeader header = make_map_header(1, 1, 1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.row);
        EXPECT_EQ(sections_part(dump(phase, header, one_value(c.value), c.precision)),
                  std::string("\nSection 0\n") + c.row);
    }
}

TEST(AsciiDump, StepLinesFollowSectionDirection)
{
    struct Case {
        int msect;
        std::array<int, 3> nxyzi;
        const char* lines;
    };
    const Case cases[] = {
        {1, {8, 64, 20},
         "Sections increase up x in steps of 0.500000 Angstroms.\n"
         "y increasing left to right in 1.500000 Angstrom steps.\n"
         "z increasing top to bottom in 0.250000 Angstrom steps.\n"},
        {2, {8, 64, 20},
         "Sections increase up y in steps of 0.600000 Angstroms.\n"
         "z increasing left to right in 2.000000 Angstrom steps.\n"
         "x increasing top to bottom in 0.156250 Angstrom steps.\n"},
        {3, {8, 64, 20},
         "Sections increase up z in steps of 0.800000 Angstroms.\n"
         "x increasing left to right in 1.250000 Angstrom steps.\n"
         "y increasing top to bottom in 0.187500 Angstrom steps.\n"},
        {3, {8, 64, 0},
         "Sections increase up z in steps of inf Angstroms.\n"
         "x increasing left to right in 1.250000 Angstrom steps.\n"
         "y increasing top to bottom in 0.187500 Angstrom steps.\n"},
        {0, {8, 64, 20}, "Unknown section direction.\n"},
        {4, {8, 64, 20}, "Unknown section direction.\n"},
    };
    const Phase phase = make_phase({10, 12, 16, 90, 90, 90});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.msect);
        MapHeader header = make_map_header(2, 1, 1, c.msect);
        std::copy(c.nxyzi.begin(), c.nxyzi.end(), header.nxyzi);
        EXPECT_EQ(dump(phase, header, make_tagged_sections(header), 0),
                  "Unit cell: 10.000000 12.000000 16.000000 90.000000 90.000000 90.000000\n"
                  "Number of atoms: 0\n"
                  "Number of sections: 1\n"
                  "Each section: 2 grid points across by 1 grid points down.\n" +
                      std::string(c.lines) + "\nSection 0\n     0      1 \n");
    }
}

TEST(AsciiDump, SectionShapes)
{
    struct Case {
        int across, down, sections;
        const char* text;
    };
    const Case cases[] = {
        {2, 1, 1, "\nSection 0\n     0      1 \n"},
        {0, 3, 2, "\nSection 0\n\n\n\n\nSection 1\n\n\n\n"},
    };
    const Phase phase = make_phase({10, 10, 10, 90, 90, 90});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const MapHeader header = make_map_header(c.across, c.down, c.sections);
        EXPECT_EQ(sections_part(dump(phase, header, make_tagged_sections(header), 0)),
                  c.text);
    }
}

// The name and precision questions of an interactive run, all asked before the file is
// opened: a run that ends at one of them leaves no file.
TEST(AsciiDump, InteractiveNameAndPrecisionQuestion)
{
    ScratchDir dir;
    write_file_bytes(dir.file("run.fclc"),
                     encode_map_file(make_map_header(1, 1, 1), one_value(1.25f)));
    const std::string answers = dir.file("run") + "\nfclc\nascii\n";
    const std::string name = dir.file("typed.txt");
    const RunResult result = run_grix({}, answers + name + "\nthree\n7\n-1\n2\n");
    const std::string question =
        "Enter precision with which to output ascii density data (0-6): ";
    EXPECT_EQ(result.status, 0);
    EXPECT_TRUE(result.out.ends_with("\nEnter output file name: " + question + question +
                                     question + question))
        << result.out;
    EXPECT_EQ(sections_part(read_file_bytes(name)), "\nSection 0\n    1.25 \n");
    EXPECT_FALSE(std::filesystem::exists(dir.file("run.txt")));
}

TEST(AsciiDump, FailuresEndTheRun)
{
    ScratchDir dir;
    write_file_bytes(dir.file("run.fclc"),
                     encode_map_file(make_map_header(1, 1, 1), one_value(1)));
    const std::string answers = dir.file("run") + "\nfclc\nascii\n";
    std::string long_name = dir.file("");
    while (long_name.size() <= 259)
        long_name += "d/";
    struct Case {
        std::string name;
        std::string precision;
        std::string message;
    };
    const Case cases[] = {
        {dir.file("cut.txt"), "4x", "End of input while waiting for the ascii precision.\n"},
        {"/dev/full", "3", "Error writing output file /dev/full.\n  /dev/full: No space left on device\n"},
        {long_name, "3",
         "Can't open " + long_name + " for output.\n  " + long_name +
             ": No such file or directory\n"},
        {dir.file("no/such/dir.txt"), "3",
         "Can't open " + dir.file("no/such/dir.txt") + " for output.\n  " +
             dir.file("no/such/dir.txt") + ": No such file or directory\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        const RunResult result = run_grix({}, answers + c.name + "\n" + c.precision + "\n");
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err, c.message);
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("cut.txt")));
    EXPECT_FALSE(std::filesystem::exists(long_name));
}

}  // namespace
