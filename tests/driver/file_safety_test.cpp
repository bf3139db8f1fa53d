// No run loses a file: outputs are replaced whole or not at all, inputs are never
// written over, and every file failure names the system's reason.
#include "common/fatal.hpp"
#include "driver/run.hpp"
#include "readers/input_file.hpp"
#include "readers/map_file.hpp"
#include "readers/paths.hpp"
#include "writers/output_file.hpp"

#include "support/exp_fixture.hpp"
#include "support/map_fixture.hpp"
#include "support/run_capture.hpp"
#include "support/scratch_dir.hpp"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace grix;
namespace fs = std::filesystem;

namespace {

// A map of across x down x sections points and its experiment file, as run.fclc and
// run.exp in `dir`.
void write_inputs(const ScratchDir& dir, int across = 5, int down = 4, int sections = 3)
{
    const MapHeader header = make_map_header(across, down, sections);
    write_file_bytes(dir.file("run.fclc"), encode_map_file(header, make_tagged_sections(header)));
    write_file_bytes(dir.file("run.exp"), make_exp_file({{"P", {10, 10, 10, 90, 90, 90}, {}, {}, false}}));
}

// The names in `dir`, sorted: a temporary file left behind shows here.
std::vector<std::string> listing(const ScratchDir& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir.path()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string interactive(const std::string& expnam, const std::string& format,
                        const std::string& output)
{
    return expnam + "\nFCLC\n" + format + "\n" + output + "\n";
}

TEST(FileSafety, AnInputIsNeverAnOutput)
{
    const ScratchDir dir;
    write_inputs(dir);
    fs::create_symlink("run.fclc", dir.file("link"));
    fs::create_hard_link(dir.file("run.fclc"), dir.file("hard"));
    const std::string map = read_file_bytes(dir.file("run.fclc"));
    const std::string exp = read_file_bytes(dir.file("run.exp"));
    for (const std::string name : {"run.exp", "link", "hard"}) {
        const std::string output = dir.file(name);
        const RunResult result = run_grix({}, interactive(dir.file("run"), "WINGX", output));
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err, "Output file " + output + " is an input of this run.\n");
    }
    EXPECT_EQ(read_file_bytes(dir.file("run.fclc")), map);
    EXPECT_EQ(read_file_bytes(dir.file("run.exp")), exp);
}

TEST(FileSafety, AFailedRunKeepsTheOldOutputAndLeavesNoTemporaryFile)
{
    const ScratchDir dir;
    write_inputs(dir);
    write_file_bytes(dir.file("out.txt"), "good");
    fs::permissions(dir.file("out.txt"), fs::perms::owner_read | fs::perms::owner_write);
    const std::vector<std::string> before = listing(dir);
    // The end of input at the precision question, asked before the file is opened.
    RunResult result = run_grix({}, interactive(dir.file("run"), "ASCII", dir.file("out.txt")));
    EXPECT_EQ(result.status, 1);
    // A refused cell, after the output was opened: a map of no volume and no experiment
    // file to give one.
    MapHeader flat = make_map_header(5, 4, 3);
    std::fill(std::begin(flat.cell), std::end(flat.cell), 0.0f);
    write_file_bytes(dir.file("flat.fclc"), encode_map_file(flat, make_tagged_sections(flat)));
    result = run_grix({}, interactive(dir.file("flat"), "MARCH", dir.file("out.txt")));
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.out.find("Bad unit cell volume"), std::string::npos) << result.err;
    fs::remove(dir.file("flat.fclc"));
    EXPECT_EQ(read_file_bytes(dir.file("out.txt")), "good");
    EXPECT_EQ(listing(dir), before);

    // A success replaces it whole, keeping its permission bits; a link stays a link.
    fs::create_symlink("out.txt", dir.file("link.txt"));
    result = run_grix({}, interactive(dir.file("run"), "ASCII", dir.file("link.txt")) + "2\n");
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(fs::is_symlink(dir.file("link.txt")));
    EXPECT_NE(read_file_bytes(dir.file("out.txt")).find("Number of sections: 3"), std::string::npos);
    EXPECT_EQ(fs::status(dir.file("out.txt")).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    // A new file gets what fopen would give it: 0666 less the umask.
    const mode_t mask = umask(022);
    result = run_grix({"-a", "1", dir.file("run")});
    umask(mask);
    EXPECT_EQ(fs::status(dir.file("run.txt")).permissions() & fs::perms::all,
              static_cast<fs::perms>(0644));
}

// A refused output name is refused as soon as it is typed: the precision is not asked.
TEST(FileSafety, ARefusedNameComesBeforeThePrecisionQuestion)
{
    const ScratchDir dir;
    write_inputs(dir);
    const std::string nowhere = dir.file("no/such.txt");
    const std::pair<std::string, std::string> refusals[] = {
        {dir.file("run.exp"), "Output file " + dir.file("run.exp") + " is an input of this run.\n"},
        {nowhere, "Can't open " + nowhere + " for output.\n  " + nowhere +
                      ": No such file or directory\n"},
    };
    for (const auto& [output, refusal] : refusals) {
        const RunResult result = run_grix({}, interactive(dir.file("run"), "ASCII", output) + "2\n");
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err, refusal);
        EXPECT_TRUE(result.out.ends_with("Enter output file name: ")) << result.out;
    }
    // A name that opens is opened before the question; the end of input there leaves no file.
    const std::vector<std::string> before = listing(dir);
    const RunResult result = run_grix({}, interactive(dir.file("run"), "ASCII", dir.file("new.txt")));
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "End of input while waiting for the ascii precision.\n");
    EXPECT_EQ(listing(dir), before);
}

// Replacing by a rename needs no write permission on the file itself: the user must
// have it all the same. (Root may write any file, so only others can see this.)
TEST(FileSafety, AFileTheUserMayNotWriteIsNotReplaced)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root writes any file";
    const ScratchDir dir;
    write_inputs(dir);
    write_file_bytes(dir.file("run.map"), "kept");
    fs::permissions(dir.file("run.map"), fs::perms::owner_read);
    const RunResult result = run_grix({"-w", dir.file("run")});
    EXPECT_EQ(result.err, "Can't open " + dir.file("run.map") + " for output.\n  " +
                              dir.file("run.map") + ": Permission denied\n");
    EXPECT_EQ(read_file_bytes(dir.file("run.map")), "kept");
}

TEST(FileSafety, DevicesAreWrittenDirectlyAndFailuresNameTheReason)
{
    const ScratchDir dir;
    write_inputs(dir);
    RunResult result = run_grix({}, interactive(dir.file("run"), "WINGX", "/dev/null"));
    EXPECT_EQ(result.status, 0) << result.err;
    result = run_grix({}, interactive(dir.file("run"), "WINGX", "/dev/full"));
    EXPECT_EQ(result.err, "Error writing output file /dev/full.\n"
                          "  /dev/full: No space left on device\n");
    const std::string nowhere = dir.file("no/such.map");
    result = run_grix({}, interactive(dir.file("run"), "WINGX", nowhere));
    EXPECT_EQ(result.err, "Can't open " + nowhere + " for output.\n  " + nowhere +
                              ": No such file or directory\n");
    result = run_grix({"-w", dir.file("none")});
    std::string expected = "Could not find Fourier map file.\n";
    for (const std::string& name : map_file_candidates(dir.file("none"), "FCLC"))
        expected += "  " + name + ": No such file or directory\n";
    EXPECT_EQ(result.err, expected);
}

// A full disk, made by a file-size limit in a child process: each conversion must fail
// with the system's reason and leave the old file and nothing else. The small map's
// file fits the stream buffer, so its failure shows only when the file is closed.
TEST(FileSafety, AFullDiskFailsAtWriteAndAtCloseAndLosesNothing)
{
    for (const int across : {5, 300}) {
        const ScratchDir dir;
        write_inputs(dir, across, 100, 40);
        write_file_bytes(dir.file("run.txt"), "good");
        const std::vector<std::string> before = listing(dir);
        const pid_t child = fork();
        if (child == 0) {
            signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{4096, 4096};
            setrlimit(RLIMIT_FSIZE, &limit);
            const RunResult result = run_grix({"-a", "6", dir.file("run")});
            std::ofstream(dir.path() + ".err") << result.err;
            _exit(result.status);
        }
        int status = 0;
        waitpid(child, &status, 0);
        SCOPED_TRACE(across);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
        const std::string name = dir.file("run.txt");
        EXPECT_EQ(read_file_bytes(dir.path() + ".err"),
                  "Error writing output file " + name + ".\n  " + name + ": File too large\n");
        fs::remove(dir.path() + ".err");
        EXPECT_EQ(read_file_bytes(name), "good");
        EXPECT_EQ(listing(dir), before);
    }
}

TEST(FileSafety, EveryExceptionEndsInOnePlaceAndUndoesTheOutput)
{
    const ScratchDir dir;
    std::istringstream in;
    std::ostringstream out, err;
    Console console{in, out, err};
    const int status = report_failures(console, [&]() -> int {
        OutputFile file = open_output_file(dir.file("new.txt"), OutputMode::text);
        write_output(file, "half");
        throw std::bad_alloc();
    });
    EXPECT_EQ(status, 1);
    EXPECT_EQ(err.str(), "Error: not enough memory for this run.\n");
    EXPECT_TRUE(listing(dir).empty());
    EXPECT_EQ(report_failures(console, []() -> int { throw std::length_error("too long"); }), 1);
    EXPECT_EQ(err.str(), "Error: not enough memory for this run.\nError: too long\n");
}

TEST(FileSafety, AMapThatShrinksWhileReadIsAReadError)
{
    const ScratchDir dir;
    write_inputs(dir);
    std::vector<FailedOpen> failures;
    std::optional<InputFile> file = open_first({dir.file("run.fclc")}, failures);
    ASSERT_TRUE(file);
    MapFileStart start = read_map_header(std::move(*file));
    fs::resize_file(dir.file("run.fclc"), 1100);
    try {
        read_map_sections(start);
        ADD_FAILURE() << "read as zeros";
    } catch (const FatalError& error) {
        EXPECT_EQ(std::string(error.what()),
                  "Error reading Fourier map file " + dir.file("run.fclc") +
                      "; it ended early, changed while it was read.\n");
    }
}

}  // namespace
