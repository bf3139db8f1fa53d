// No run loses a file: outputs are replaced whole or not at all, inputs are never
// written over, and every file failure names the system's reason.
#include "common/fatal.hpp"
#include "driver/run.hpp"
#include "driver/signals.hpp"
#include "readers/input_file.hpp"
#include "readers/map_file.hpp"
#include "readers/paths.hpp"
#include "writers/output_file.hpp"

#include "support/exp_fixture.hpp"
#include "support/map_fixture.hpp"
#include "support/run_capture.hpp"
#include "support/scratch_dir.hpp"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include <fcntl.h>
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

// The names in a directory, sorted: a temporary file left behind shows here.
std::vector<std::string> listing(const std::string& path)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(path))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> listing(const ScratchDir& dir)
{
    return listing(dir.path());
}

std::string interactive(const std::string& expnam, const std::string& format,
                        const std::string& output)
{
    return expnam + "\nFCLC\n" + format + "\n" + output + "\n";
}

// `body` run in a child process, which ends with its result; the child's wait status.
int run_in_child(const std::function<int()>& body)
{
    const pid_t child = fork();
    if (child == 0)
        _exit(body());
    int status = 0;
    waitpid(child, &status, 0);
    return status;
}

bool exited_with(int status, int code)
{
    return WIFEXITED(status) && WEXITSTATUS(status) == code;
}

// The user nobody, for what root is allowed and others are not: false when the change
// failed or nobody cannot reach the working directory.
bool become_nobody()
{
    const uid_t nobody = 65534;
    return setresgid(nobody, nobody, nobody) == 0 && setresuid(nobody, nobody, nobody) == 0 &&
           access(".", X_OK) == 0;
}

// Exit code of a child that could not take the role a test needs.
constexpr int CANNOT_TEST = 77;

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
// have it all the same. Root may write any file, so root makes this run as nobody.
TEST(FileSafety, AFileTheUserMayNotWriteIsNotReplaced)
{
    const ScratchDir dir;
    write_inputs(dir);
    const std::string target = dir.file("run.map");
    write_file_bytes(target, "kept");
    fs::permissions(target, fs::perms::owner_read);
    const bool root = geteuid() == 0;
    if (root) {
        ASSERT_EQ(chown(target.c_str(), 65534, 65534), 0);
    }
    const int status = run_in_child([&] {
        if (root && !become_nobody())
            return CANNOT_TEST;
        const RunResult result = run_grix({"-w", dir.file("run")});
        return result.err == "Can't open " + target + " for output.\n  " + target +
                                 ": Permission denied\n"
                   ? 0
                   : 1;
    });
    if (exited_with(status, CANNOT_TEST))
        GTEST_SKIP() << "nobody cannot reach the working directory";
    EXPECT_TRUE(exited_with(status, 0));
    EXPECT_EQ(read_file_bytes(target), "kept");
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

// Cut short later, while the values are read in place, the run ends as a read error all
// the same, status 1, and leaves no temporary output behind.
TEST(FileSafety, AMapCutShortWhileItsValuesAreInUseEndsTheRun)
{
    const ScratchDir dir;
    write_inputs(dir, 64, 64, 4);  // 64 KiB: a cut at 1100 bytes leaves whole pages beyond
    EXPECT_EXIT(
        {
            install_signal_handlers();
            std::vector<FailedOpen> failures;
            MapFileStart start =
                read_map_header(std::move(*open_first({dir.file("run.fclc")}, failures)));
            note_mapped_map_file(start.file.name);
            const FourierMap map = read_map_sections(start);
            OutputFile output = open_output_file(dir.file("out.txt"), OutputMode::text);
            fs::resize_file(dir.file("run.fclc"), 1100);
            write_output(output, std::to_string(map.section(3)[0]));
            std::exit(0);
        },
        testing::ExitedWithCode(1), "run.fclc; it ended early, changed while it was read");
    EXPECT_EQ(listing(dir.path()), (std::vector<std::string>{"run.exp", "run.fclc"}));
}

// A name for a descriptor writes to it as it is open: appending to a log keeps the log,
// a pipe takes the bytes, a descriptor open only for reading or not at all is refused.
TEST(FileSafety, DescriptorsAreWrittenAsTheyAreOpen)
{
    const ScratchDir dir;
    write_inputs(dir);
    const std::string run = dir.file("run");
    ASSERT_EQ(run_grix({}, interactive(run, "WINGX", dir.file("alone.map"))).status, 0);
    const std::string output = read_file_bytes(dir.file("alone.map"));
    fs::create_symlink("/dev/stdout", dir.file("link"));

    write_file_bytes(dir.file("work.log"), "earlier\n");
    const int status = run_in_child([&] {
        const int log = open(dir.file("work.log").c_str(), O_WRONLY | O_APPEND);
        dup2(log, 1);
        int failures = 0;
        const std::vector<std::string> names = {"/dev/stdout", "/proc/self/fd/1", dir.file("link")};
        for (const std::string& name : names)
            failures += run_grix({}, interactive(run, "WINGX", name)).status;
        return failures;
    });
    EXPECT_TRUE(exited_with(status, 0));
    EXPECT_EQ(read_file_bytes(dir.file("work.log")), "earlier\n" + output + output + output);

    int pipe_ends[2];
    ASSERT_EQ(pipe(pipe_ends), 0);
    const pid_t child = fork();
    if (child == 0) {
        dup2(pipe_ends[1], 1);
        close(pipe_ends[0]);
        close(pipe_ends[1]);
        _exit(run_grix({}, interactive(run, "WINGX", "/dev/fd/1")).status);
    }
    close(pipe_ends[1]);
    std::string piped;
    char buffer[4096];
    for (ssize_t got; (got = read(pipe_ends[0], buffer, sizeof buffer)) > 0;)
        piped.append(buffer, static_cast<std::size_t>(got));
    close(pipe_ends[0]);
    int piped_status = 0;
    waitpid(child, &piped_status, 0);
    EXPECT_TRUE(exited_with(piped_status, 0));
    EXPECT_EQ(piped, output);

    write_file_bytes(dir.file("read.only"), "kept");
    const int reading = open(dir.file("read.only").c_str(), O_RDONLY);
    const int closed = 999;  // far above the run's own files
    ASSERT_EQ(fcntl(closed, F_GETFD), -1);
    for (const int descriptor : {reading, closed}) {
        const std::string name = "/dev/fd/" + std::to_string(descriptor);
        const RunResult result = run_grix({}, interactive(run, "WINGX", name));
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err, "Can't open " + name + " for output.\n  " + name +
                                  ": Bad file descriptor\n");
    }
    close(reading);
    EXPECT_EQ(read_file_bytes(dir.file("read.only")), "kept");
}

// A file with other names, or of another owner and group, is written over in place
// rather than replaced by a new file: every name sees the new contents, and owner,
// group and permission bits stay.
TEST(FileSafety, AReplacedFileKeepsItsIdentity)
{
    const ScratchDir dir;
    write_inputs(dir);
    write_file_bytes(dir.file("run.map"), std::string(100000, 'o'));
    fs::create_hard_link(dir.file("run.map"), dir.file("other.map"));
    ASSERT_EQ(run_grix({"-w", dir.file("run")}).status, 0);
    const std::string output = read_file_bytes(dir.file("run.map"));
    EXPECT_EQ(output.substr(0, 4), std::string("\x05\x00\x00\x00", 4));
    EXPECT_EQ(read_file_bytes(dir.file("other.map")), output);
    EXPECT_EQ(fs::hard_link_count(dir.file("run.map")), 2u);
    EXPECT_EQ(listing(dir),
              (std::vector<std::string>{"other.map", "run.exp", "run.fclc", "run.map"}));

    if (geteuid() != 0)
        GTEST_SKIP() << "only root can give a file to another owner";
    fs::remove(dir.file("other.map"));
    write_file_bytes(dir.file("run.map"), "old");
    ASSERT_EQ(chown(dir.file("run.map").c_str(), 65534, 65534), 0);
    ASSERT_EQ(chmod(dir.file("run.map").c_str(), 0664), 0);
    ASSERT_EQ(run_grix({"-w", dir.file("run")}).status, 0);
    struct stat kept {};
    ASSERT_EQ(stat(dir.file("run.map").c_str(), &kept), 0);
    EXPECT_EQ(kept.st_uid, 65534u);
    EXPECT_EQ(kept.st_gid, 65534u);
    EXPECT_EQ(kept.st_mode & 07777, 0664u);
    EXPECT_EQ(read_file_bytes(dir.file("run.map")), output);
}

// Files the user may write though no temporary file can stand beside them: in a
// read-only directory, another user's file in a sticky directory, a name too long for a
// temporary named after it. Root passes the directories' checks, so those runs are made
// as nobody.
TEST(FileSafety, FilesWithoutRoomForATemporaryBesideThemAreConverted)
{
    const ScratchDir dir;
    write_inputs(dir);
    const std::string long_name = dir.file(std::string(250, 'n'));
    for (int run = 0; run < 2; ++run)  // new, then replaced
        EXPECT_EQ(run_grix({}, interactive(dir.file("run"), "WINGX", long_name)).status, 0);
    const std::string output = read_file_bytes(long_name);
    EXPECT_FALSE(output.empty());
    fs::remove(long_name);

    const bool root = geteuid() == 0;
    fs::create_directory(dir.file("tmp"));
    fs::permissions(dir.file("tmp"), fs::perms::all);
    for (const std::string folder : {"read-only", "sticky"}) {
        SCOPED_TRACE(folder);
        if (folder == "sticky" && !root)
            continue;  // another user's file cannot be made
        fs::create_directory(dir.file(folder));
        for (const std::string input : {"run.fclc", "run.exp"})
            fs::copy_file(dir.file(input), dir.file(folder + "/" + input));
        const std::string target = dir.file(folder + "/run.map");
        write_file_bytes(target, "old");
        if (folder == "sticky") {
            fs::permissions(target, static_cast<fs::perms>(0666));
            fs::permissions(dir.file(folder), static_cast<fs::perms>(01777));
        } else if (root) {
            ASSERT_EQ(chown(target.c_str(), 65534, 65534), 0);
        } else {
            fs::permissions(dir.file(folder), static_cast<fs::perms>(0555));
        }
        const int status = run_in_child([&] {
            if (root && !become_nobody())
                return CANNOT_TEST;
            setenv("TMPDIR", dir.file("tmp").c_str(), 1);
            return run_grix({"-w", dir.file(folder + "/run")}).status;
        });
        fs::permissions(dir.file(folder), fs::perms::owner_all);
        if (exited_with(status, CANNOT_TEST))
            GTEST_SKIP() << "nobody cannot reach the working directory";
        EXPECT_TRUE(exited_with(status, 0));
        EXPECT_EQ(read_file_bytes(target), output);
        EXPECT_TRUE(fs::is_empty(dir.file("tmp")));
        EXPECT_EQ(listing(dir.file(folder)),
                  (std::vector<std::string>{"run.exp", "run.fclc", "run.map"}));
    }
}

// A signal that ends the run removes the temporary file and ends the process by that
// signal; the file it would have replaced stays as it was.
TEST(FileSafety, ASignalLeavesNoTemporaryFileAndEndsTheRunByItself)
{
    for (const int number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
        SCOPED_TRACE(strsignal(number));
        const ScratchDir dir;
        write_file_bytes(dir.file("out.txt"), "good");
        const pid_t child = fork();
        if (child == 0) {
            const rlimit no_core{0, 0};
            setrlimit(RLIMIT_CORE, &no_core);
            install_signal_handlers();
            OutputFile file = open_output_file(dir.file("out.txt"), OutputMode::text);
            write_output(file, "half");
            raise(SIGSTOP);  // mid-write, until the parent has sent its signal
            close_output_file(file);
            _exit(0);
        }
        int status = 0;
        waitpid(child, &status, WUNTRACED);
        ASSERT_TRUE(WIFSTOPPED(status));
        EXPECT_EQ(listing(dir).size(), 2u);  // the temporary file is there
        kill(child, number);
        kill(child, SIGCONT);
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == number) << status;
        EXPECT_EQ(listing(dir), std::vector<std::string>{"out.txt"});
        EXPECT_EQ(read_file_bytes(dir.file("out.txt")), "good");
    }
}

// Under a file-size limit the tool reports the failure, as on a full disk, instead of
// being killed by SIGXFSZ.
TEST(FileSafety, AFileSizeLimitIsAWriteFailure)
{
    const ScratchDir dir;
    write_inputs(dir, 300, 100, 40);
    const std::string err = dir.path() + ".err";
    const std::string command = "ulimit -f 16; " + std::string(GRIX_BINARY) + " -a 6 " +
                                dir.file("run") + " 2>" + err;
    const int status = std::system(command.c_str());
    EXPECT_TRUE(exited_with(status, 1)) << status;
    const std::string name = dir.file("run.txt");
    EXPECT_EQ(read_file_bytes(err), "Error writing output file " + name + ".\n  " + name +
                                        ": File too large\n");
    fs::remove(err);
    EXPECT_EQ(listing(dir), (std::vector<std::string>{"run.exp", "run.fclc"}));
}

}  // namespace
