// What real users met: silent failures, cut names, ignored arguments, one phase only,
// the wrong cell, the help; each decision is held here.
#include "common/byte_order.hpp"
#include "readers/exp_file.hpp"
#include "readers/paths.hpp"

#include "support/exp_fixture.hpp"
#include "support/map_fixture.hpp"
#include "support/run_capture.hpp"
#include "support/scratch_dir.hpp"

#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <sstream>
#include <utility>

#include <gtest/gtest.h>

using namespace grix;

namespace {

// An atom each: the atom records of a phase are looked for even when it has none.
const FixturePhase FIRST{"first", {10, 10, 10, 90, 90, 90}, numbered_atoms(1), {}, false};
const FixturePhase SECOND{"second", {7.5f, 7.5f, 9, 90, 90, 120}, numbered_atoms(1), {}, false};

// The map (cell 10 10 10 90 90 90) and the phases, under `name` in `dir`.
void write_inputs(const ScratchDir& dir, const std::string& name,
                  const std::vector<FixturePhase>& phases, const std::string& exp_extension = ".exp")
{
    const MapHeader header = make_map_header(3, 2, 2);
    write_file_bytes(dir.file(name + ".fclc"), encode_map_file(header, make_tagged_sections(header)));
    if (!phases.empty())
        write_file_bytes(dir.file(name + exp_extension), make_exp_file(phases));
}

TEST(BatchChoices, ExperimentFileFailuresAreSaidOnStandardError)
{
    const ScratchDir dir;
    write_inputs(dir, "run", {});
    const std::string expnam = dir.file("run");
    RunResult result = run_grix({"-a", "1", expnam});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "Can't find " + to_upper_ascii(expnam + ".exp") + ".\n"
                          "Can't get unit cell information.\nSetting unit cell to zero.\n"
                          "This may make some output formats unreadable.\n");
    write_file_bytes(dir.file("run.exp"), join_records({exp_record("nothing here")}));
    result = run_grix({"-a", "1", expnam});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "Number of phases found in EXP file: 0\n"
                          "No phase information. Setting unit cell to zero.\n"
                          "This may make sone output formats unreadable.\n");
    EXPECT_EQ(result.out, "");
}

TEST(BatchChoices, AFourDigitAtomCountIsReadFromItsFirstColumn)
{
    for (const int count : {1000, 999}) {
        FixturePhase phase = FIRST;
        phase.atoms = numbered_atoms(count);
        std::istringstream file(make_exp_file({phase}));
        EXPECT_EQ(read_exp_file(file).front().atoms.size(), static_cast<std::size_t>(count));
    }
}

TEST(BatchChoices, NamesHaveNoLengthLimitOfTheirOwn)
{
    const ScratchDir dir;
    const std::string deep = dir.path() + "/" + std::string(100, 'd');
    std::filesystem::create_directory(deep);
    const std::string name = std::string(120, 'n');
    const MapHeader header = make_map_header(3, 2, 2);
    write_file_bytes(deep + "/" + name + ".fclc", encode_map_file(header, make_tagged_sections(header)));
    write_file_bytes(deep + "/" + name + ".exp", make_exp_file({FIRST}));
    const RunResult batch = run_grix({"-w", deep + "/" + name});
    EXPECT_EQ(batch.status, 0) << batch.err;
    std::string output = deep + "/" + std::string(150, 'o');
    const RunResult typed = run_grix({}, deep + "/" + name + "\nFCLC\nWINGX\n" + output + "\n");
    EXPECT_EQ(typed.status, 0) << typed.err;
    EXPECT_TRUE(std::filesystem::exists(output));
}

TEST(BatchChoices, NamesAreAlsoTriedAsTyped)
{
    const ScratchDir dir;
    write_inputs(dir, "Quartz", {FIRST});
    write_inputs(dir, "run", {FIRST}, ".EXP");
    for (const std::string name : {"Quartz", "run"}) {
        const RunResult result = run_grix({"-a", "2", dir.file(name)});
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(result.err, "");  // the experiment file was found
    }
}

TEST(BatchChoices, ArgumentsThatAreNoOptionsAreReported)
{
    const ScratchDir dir;
    write_inputs(dir, "run", {FIRST});
    const std::string expnam = dir.file("run");
    RunResult result = run_grix({"--xd", "-p", "1", "-a", "3", "stray", expnam});
    EXPECT_EQ(result.err, "Ignoring argument --xd.\nIgnoring argument stray.\n");
    EXPECT_TRUE(std::filesystem::exists(expnam + ".txt"));
    // The value after "-a" is examined as an option too: here it picks the format.
    result = run_grix({"-a", "-xd", expnam});
    EXPECT_EQ(result.err, "");
    EXPECT_TRUE(std::filesystem::exists(expnam + ".grd"));
}

TEST(BatchChoices, PhaseOptionChoosesAndIsChecked)
{
    const ScratchDir dir;
    write_inputs(dir, "run", {FIRST, SECOND});
    const std::string expnam = dir.file("run");
    RunResult result = run_grix({"-phase", "2", "-a", "0", expnam});
    EXPECT_EQ(result.status, 0);
    EXPECT_NE(read_file_bytes(expnam + ".txt").find("Unit cell: 7.500000 7.500000 9.000000"),
              std::string::npos);
    // The map's cell is the first phase's: the second one's is warned of.
    EXPECT_EQ(result.err, "Warning: the map's cell 10.0000 10.0000 10.0000 90.000 90.000 "
                          "90.000 differs from phase 2's 7.5000 7.5000 9.0000 90.000 90.000 "
                          "120.000.\n");
    for (const std::string phase : {"3", "0", "x"}) {
        std::filesystem::remove(expnam + ".txt");
        result = run_grix({"-p", phase, "-a", "0", expnam});
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err, "Phase " + std::to_string(std::atoi(phase.c_str())) +
                                  " is not in the experiment file; it holds 2 phase(s).\n");
        EXPECT_FALSE(std::filesystem::exists(expnam + ".txt"));
    }
    result = run_grix({"-p", "1", "-a", "0", expnam});
    EXPECT_EQ(result.err, "");  // the same cell within the tolerances
}

// Without "-p", the phase whose cell is the map's (10 10 10 90 90 90, phase text
// "test phase"); of several, the one named "test"; else the first. Each phase is told
// by its a edge in the dump.
TEST(BatchChoices, ThePhaseIsTheOneTheMapWasComputedFrom)
{
    struct Case {
        std::vector<std::pair<std::string, float>> phases;  // name, a edge
        std::vector<std::string> options;
        std::string chosen_edge;
        bool warned;
    };
    const Case cases[] = {
        {{{"a", 7.5f}, {"b", 10}}, {}, "10.000000", false},
        {{{"a", 10.011f}, {"b", 10.01f}}, {}, "10.010000", false},  // 0.1 % of 10.01, not of 10.011
        {{{"a", 10}, {"test", 10.005f}}, {}, "10.005000", false},
        {{{"a", 10.005f}, {"b", 10}}, {}, "10.005000", false},
        {{{"test", 10.005f}, {"test", 10}}, {}, "10.005000", false},
        {{{"a", 7.5f}, {"test", 9}}, {}, "7.500000", true},
        {{{"a", 7.5f}, {"b", 10}}, {"-p", "1"}, "7.500000", true},
    };
    const ScratchDir dir;
    const std::string expnam = dir.file("run");
    for (const Case& test : cases) {
        std::vector<FixturePhase> phases;
        for (const auto& [name, edge] : test.phases)
            phases.push_back({name, {edge, 10, 10, 90, 90, 90}, numbered_atoms(1), {}, false});
        write_inputs(dir, "run", phases);
        std::vector<std::string> args = test.options;
        args.insert(args.end(), {"-a", "0", expnam});
        const RunResult result = run_grix(args);
        SCOPED_TRACE(test.chosen_edge);
        EXPECT_EQ(result.status, 0);
        EXPECT_NE(read_file_bytes(expnam + ".txt").find("Unit cell: " + test.chosen_edge + " "),
                  std::string::npos);
        EXPECT_EQ(result.err.starts_with("Warning: the map's cell"), test.warned) << result.err;
    }
}

// No experiment file: every format takes the map's cell, in P 1, without atoms.
TEST(BatchChoices, WithoutAPhaseTheMapsCellIsUsed)
{
    const ScratchDir dir;
    write_inputs(dir, "run", {});
    const std::string expnam = dir.file("run");
    const std::string said = "Can't find " + to_upper_ascii(expnam + ".exp") + ".\n"
                             "Can't get unit cell information.\nSetting unit cell to zero.\n"
                             "This may make some output formats unreadable.\n";
    for (const std::string options : {"-m", "-x", "-cube", "-xsf", "-html", "-full -c", "-c"}) {
        std::istringstream words(options);
        std::vector<std::string> args(std::istream_iterator<std::string>(words), {});
        args.push_back(expnam);
        const RunResult result = run_grix(args);
        EXPECT_EQ(result.status, 0) << options;
        // Then, for the whole-cell formats, the points of the cell the map does not reach.
        EXPECT_TRUE(result.err.starts_with(said)) << result.err;
    }
    const std::string ccp4 = read_file_bytes(expnam + ".ccp4");
    ASSERT_EQ(ccp4.size(), 1024u + 4 * 3 * 2 * 2);
    const auto* words = reinterpret_cast<const unsigned char*>(ccp4.data());
    EXPECT_EQ(decode_float32(words + 4 * 10), 10.0f);  // a
    EXPECT_EQ(decode_float32(words + 4 * 15), 90.0f);  // gamma
}

TEST(BatchChoices, TheExperimentNameIsAlsoTriedLowerCased)
{
    const ScratchDir dir;
    std::filesystem::create_directory(dir.file("Data"));
    write_inputs(dir, "Data/quartz", {FIRST});
    const RunResult result = run_grix({"-a", "2", dir.file("Data/QUARTZ")});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");  // the experiment file was found
}

TEST(BatchChoices, APrecisionOutOfRangeIsSaidAndALoneNameIsIgnored)
{
    const std::string none = "nothing-here";
    const std::string not_found = "Could not find Fourier map file.\n";
    const std::pair<std::vector<std::string>, std::string> said[] = {
        {{"-a", "9", none}, "Precision 9 is outside 0 to 6; 0 is used.\n"},
        {{"stray", "-ascii", "-1", none},
         "Ignoring argument stray.\nPrecision -1 is outside 0 to 6; 0 is used.\n"},
        {{"-a", "99999999999", none}, "Precision 2147483647 is outside 0 to 6; 0 is used.\n"},
        {{"-a", "7", "-a", "6", none}, ""},
        {{"-a", "7", "-m", none}, ""},
        {{"-a", "6", none}, ""},
    };
    for (const auto& [args, warning] : said) {
        const RunResult result = run_grix(args);
        EXPECT_EQ(result.err.substr(0, warning.size() + not_found.size()), warning + not_found);
    }
    const RunResult lone = run_grix({"quartz"});
    EXPECT_EQ(lone.status, 1);
    EXPECT_EQ(lone.err, "Ignoring argument quartz.\n"
                        "End of input while waiting for the experiment name.\n");
    EXPECT_TRUE(lone.out.ends_with("Enter EXPNAM: "));
}

TEST(BatchChoices, TheCellWarningHoldsItsTolerancesOnBothSides)
{
    // The map's cell is 10 10 10 90 90 90; each parameter of the phase's cell in turn
    // just within and just beyond 0.1 % of its edge or 0.05 degrees of its angle.
    struct Case {
        int parameter;
        float within, beyond;
    };
    const Case cases[] = {{0, 10.0099f, 10.0102f}, {1, 9.9902f, 9.9898f},
                          {2, 10.0099f, 10.0102f}, {3, 89.951f, 89.949f},
                          {4, 90.049f, 90.051f},   {5, 89.951f, 89.949f}};
    const ScratchDir dir;
    const std::string expnam = dir.file("run");
    for (const Case& c : cases)
        for (const bool beyond : {false, true}) {
            FixturePhase phase = FIRST;
            phase.cell[c.parameter] = beyond ? c.beyond : c.within;
            write_inputs(dir, "run", {phase});
            const RunResult result = run_grix({"-a", "0", expnam});
            EXPECT_EQ(result.status, 0);
            EXPECT_EQ(result.err.rfind("Warning: the map's cell ", 0) == 0, beyond)
                << "parameter " << c.parameter << " at " << phase.cell[c.parameter] << ": "
                << result.err;
        }
}

TEST(BatchChoices, Ccp4IsAnAnswerToTheFormatQuestion)
{
    const ScratchDir dir;
    write_inputs(dir, "run", {FIRST});
    const RunResult result = run_grix({}, dir.file("run") + "\nFCLC\nccp4\n" + dir.file("o") + "\n");
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(read_file_bytes(dir.file("o")).substr(208, 4), "MAP ");
}

TEST(BatchChoices, HelpAndVersionInsteadOfTheQuestions)
{
    for (const std::string option : {"-h", "--help"}) {
        const RunResult result = run_grix({option});
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.out.rfind("Usage: grix [options] expnam", 0), 0u);
        EXPECT_NE(result.out.find("-c, -ccp4      expnam.ccp4"), std::string::npos);
    }
    const RunResult version = run_grix({"--version"});
    EXPECT_EQ(version.out, "grix " GRIX_VERSION "\n");
    EXPECT_EQ(run_grix({"-help"}).status, 1);  // any other lone argument: the questions
}

TEST(BatchChoices, OutputNamedOnTheCommandLine)
{
    const ScratchDir dir;
    write_inputs(dir, "run", {FIRST});
    const std::string expnam = dir.file("run");
    RunResult result = run_grix({"-o", dir.file("first.cube"), "-cube", expnam});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_NE(read_file_bytes(dir.file("first.cube")).find("OUTER LOOP"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(expnam + ".cube"));
    // Every rule of the outputs holds: an input is never replaced.
    result = run_grix({"-w", "-o", expnam + ".exp", expnam});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "Output file " + expnam + ".exp is an input of this run.\n");
    // "-" is standard output, in the bytes the file would hold.
    result = run_grix({"-a", "2", "-o", dir.file("dump.txt"), expnam});
    const std::string piped = dir.file("piped.txt");
    const std::string command =
        std::string(GRIX_BINARY) + " -o - -a 2 " + expnam + " >" + piped;
    EXPECT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(read_file_bytes(piped), read_file_bytes(dir.file("dump.txt")));
    EXPECT_NE(read_file_bytes(piped), "");
    EXPECT_FALSE(std::filesystem::exists(dir.file("-")));
}

}  // namespace
