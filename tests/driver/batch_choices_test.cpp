// What real users met: silent failures, cut names, ignored arguments, one phase only,
// the wrong cell, the help; each decision is held here.
#include "readers/exp_file.hpp"
#include "readers/paths.hpp"

#include "support/exp_fixture.hpp"
#include "support/map_fixture.hpp"
#include "support/run_capture.hpp"
#include "support/scratch_dir.hpp"

#include <cstdlib>
#include <filesystem>
#include <sstream>

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
