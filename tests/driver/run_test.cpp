#include "readers/paths.hpp"
#include "support/run_capture.hpp"
#include "support/scratch_dir.hpp"

#include <cstdlib>
#include <sys/wait.h>
#include <string>

#include <gtest/gtest.h>

namespace {

const std::string BANNER =
    "\n"
    "********************************************\n"
    "*                GRIX V1.1                 *\n"
    "*                                          *\n"
    "********************************************\n"
    "\n"
    "Command line options: grix [options] expnam\n"
    "-ascii #     Output expnam.txt ASCII file with precision #\n"
    "-wingx       Output expnam.map WinGX format. \n"
    "-march       Output expnam.fou Marching Cubes format. \n"
    "-xd          Output expnam.grd Project XD format.\n"
    "-delf        Input Fourier file format is DELF.\n"
    "-fobs        Input Fourier file format is FOBS.\n"
    "-fclc        Input Fourier file format is FCLC.\n"
    "-nfdf        Input Fourier file format is NFDF.\n"
    "-ptsn        Input Fourier file format is PTSN.\n"
    "-dpts        Input Fourier file format is DPTS.\n"
    "Defaults to FCLC input, ASCII precision 0 output if\n"
    "is an error while reading command line. \n\n";

const std::string EXPNAM_PROMPT = "Enter EXPNAM: ";
const std::string MAP_TYPE_PROMPT =
    "Enter type of Fourier map the extract.\n"
    "Type (DELF, FOBS, FCLC, NFDF, PTSN or DPTS): ";
const std::string MAP_TYPE_ERROR = "Type must be one of DELF, FOBS, FCLC, NFDF, PTSN or DPTS\n\n";
const std::string FORMAT_PROMPT =
    "Enter output format type.\n"
    "Type     Description\n"
    "ASCII    Plain ASCII dump\n"
    "WINGX    WinGX map format (binary)\n"
    "MARCH    Marching Cube format (text)\n"
    "XD       Project XD *.grd format (text)\n"
    "Type: ";
const std::string FORMAT_ERROR = "Type must be one of ASCII, WINGX, MARCH or XD\n\n";
// The map file not found, with the system's reason for every name tried.
std::string not_found(const std::string& expnam, const std::string& map_type = "FCLC",
                      const std::string& reason = "No such file or directory")
{
    std::string message = "Could not find Fourier map file.\n";
    for (const std::string& name : grix::map_file_candidates(expnam, map_type))
        message += "  " + name + ": " + reason + "\n";
    return message;
}

// The experiment names below name no map file, so each run ends at the map reader,
// after every prompt has been answered.
TEST(InteractiveRun, PromptsInOrderThenTheMapReader)
{
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{}, {"ignored-name"}, {"-v"}}) {
        const RunResult result = run_grix(args, "nothing-here\nfobs\nxd\n");
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.out,
                  BANNER + EXPNAM_PROMPT + MAP_TYPE_PROMPT + "\n" + FORMAT_PROMPT + "\n");
        const bool ignored = args.size() == 1 && args[0] != "-v";
        EXPECT_EQ(result.err, (ignored ? "Ignoring argument ignored-name.\n" : "") +
                                  not_found("nothing-here", "FOBS"));
    }
}

TEST(InteractiveRun, WrongTypesAreAskedAgain)
{
    const std::string too_long(80, 'A');
    const RunResult result =
        run_grix({}, "nothing-here FCL " + std::string("FOBS") + too_long + " dpts wingx2 " +
                         too_long + " Ascii");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, BANNER + EXPNAM_PROMPT + MAP_TYPE_PROMPT + MAP_TYPE_ERROR +
                              MAP_TYPE_PROMPT + MAP_TYPE_ERROR + MAP_TYPE_PROMPT + "\n" +
                              FORMAT_PROMPT + FORMAT_ERROR + FORMAT_PROMPT + FORMAT_ERROR +
                              FORMAT_PROMPT + "\n");
    EXPECT_EQ(result.err, not_found("nothing-here", "DPTS"));
}

// Formats beyond the four the question lists are answers too, the prompt unchanged.
TEST(InteractiveRun, Ccp4IsAnAnswerToTheFormatQuestion)
{
    const RunResult result = run_grix({}, "nothing-here fobs ccp4 xd");
    EXPECT_EQ(result.out, BANNER + EXPNAM_PROMPT + MAP_TYPE_PROMPT + "\n" + FORMAT_PROMPT + "\n");
    EXPECT_EQ(result.err, not_found("nothing-here", "FOBS"));
}

TEST(InteractiveRun, EndOfInputAtEveryPromptEndsTheRun)
{
    for (const char* input : {"", "run\n", "run fobs", "run bad bad bad", "run fobs bad"}) {
        SCOPED_TRACE(input);
        const RunResult result = run_grix({}, input);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err.rfind("End of input while waiting for ", 0), 0u) << result.err;
        EXPECT_EQ(result.out.find("Could not find"), std::string::npos);
    }
}

// No length limit of the tool's own: a long name is looked for like any other, and the
// system says why it cannot be opened.
TEST(InteractiveRun, LongTypedExperimentNameIsLookedFor)
{
    const RunResult taken = run_grix({}, std::string(300, 'r') + " fobs xd");
    EXPECT_EQ(taken.err, not_found(std::string(300, 'r'), "FOBS", "File name too long"));
}

TEST(BatchRun, SilentOnStandardOutput)
{
    const RunResult missing = run_grix({"-xd", "nothing-here"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_EQ(missing.err, not_found("nothing-here"));

    const RunResult long_name = run_grix({"-xd", std::string(80, 'r')});
    EXPECT_EQ(long_name.status, 1);
    EXPECT_EQ(long_name.out, "");
    EXPECT_EQ(long_name.err, not_found(std::string(80, 'r')));
}

TEST(Binary, ExitStatusAndStreams)
{
    ScratchDir dir;
    const std::string out = dir.file("out.txt");
    const std::string err = dir.file("err.txt");
    const std::string command =
        std::string(GRIX_BINARY) + " -wingx " + dir.file("absent") + " >" + out + " 2>" + err;
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_EQ(read_file_bytes(out), "");
    EXPECT_EQ(read_file_bytes(err), not_found(dir.file("absent")));
}

}  // namespace
