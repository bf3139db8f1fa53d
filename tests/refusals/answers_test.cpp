#include "refusals/refusal_fixture.hpp"

#include "common/printf_text.hpp"
#include "support/map_fixture.hpp"
#include "support/run_capture.hpp"

#include <filesystem>
#include <iterator>

#include <gtest/gtest.h>

using namespace grix;
namespace fs = std::filesystem;

namespace {

std::size_t count_of(const std::string& text, const std::string& part)
{
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

std::string joined(const std::vector<std::string>& words, std::size_t count)
{
    std::string text;
    for (std::size_t n = 0; n < count; ++n)
        text += words[n] + "\n";
    return text;
}

// Every question of an interactive run, for each format that can be chosen there, with
// the standard input ending before its answer.
TEST(Answers, EndOfInputAtEveryQuestion)
{
    const char* asked[] = {"the experiment name", "the map type", "the output format",
                           "the phase number", "the output file name", "the ascii precision"};
    for (const FormatCase& output : FORMAT_CASES) {
        if (*output.answer == '\0')
            continue;
        const ScratchDir dir;
        const std::string expnam = write_run_files(dir, make_map_header(3, 2, 2), 2);
        std::vector<std::string> answers = {expnam, "fclc", output.answer, "2",
                                            dir.file("out") + output.extension};
        if (output.extension == std::string(".txt"))
            answers.push_back("3");
        for (std::size_t given = 0; given < answers.size(); ++given) {
            SCOPED_TRACE(printf_text("%s, %zu answers", output.answer, given));
            const RunResult result = run_grix({}, joined(answers, given));
            EXPECT_EQ(result.status, 1);
            EXPECT_EQ(result.err,
                      printf_text("End of input while waiting for %s.\n", asked[given]));
        }
        EXPECT_EQ(run_grix({}, joined(answers, answers.size())).status, 0) << output.answer;
    }
}

// Answers to the two numeric questions that are not whole numbers in range are dropped
// and the question asked again; a whole number with many leading zeros is still one.
TEST(Answers, NumericQuestionsAskAgain)
{
    const std::vector<std::string> wrong = {"x", "1.5", "2x", "+-2", "0x2", "1e0",
                                            "99999999999", "-1", std::string(300, '7'),
                                            std::string(300, 'x')};
    std::string refused;
    for (const std::string& answer : wrong)
        refused += answer + "\n";
    const ScratchDir dir;
    const std::string expnam = write_run_files(dir, make_map_header(3, 2, 2), 2);
    const std::string zeros(300, '0');
    const RunResult result = run_grix({}, expnam + "\nfclc\nascii\n" + refused + zeros + "2\n" +
                                              dir.file("out.txt") + "\n" + refused + zeros + "3\n");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    const std::size_t asked = wrong.size() + 1;
    EXPECT_EQ(count_of(result.out, "Which phase is the fourier map from (1 - 2): "), asked);
    EXPECT_EQ(count_of(result.out,
                       "Enter precision with which to output ascii density data (0-6): "),
              asked);
    EXPECT_NE(read_file_bytes(dir.file("out.txt")).find("\nSection 0\n    0.000 "),
              std::string::npos);
}

// A typed output file name of 259 characters is tried, one of 260 refused before any
// file is opened, with every format that asks for one.
TEST(Answers, OutputFileNameLength)
{
    for (const FormatCase& output : FORMAT_CASES) {
        if (*output.answer == '\0')
            continue;
        const ScratchDir dir;
        const std::string expnam = write_run_files(dir, make_map_header(3, 2, 2));
        const std::string base = dir.file("missing/");
        for (const std::size_t length : {259u, 260u}) {
            SCOPED_TRACE(printf_text("%s, %zu characters", output.answer, length));
            const std::string name = base + std::string(length - base.size(), 'n');
            const RunResult result =
                run_grix({}, expnam + "\nfclc\n" + output.answer + "\n" + name + "\n3\n");
            EXPECT_EQ(result.status, 1);
            // No limit of the tool's own: the system says why it cannot open the name.
            EXPECT_EQ(result.err, "Can't open " + name + " for output.\n  " + name +
                                      ": No such file or directory\n");
        }
    }
}

// An answer holding a NUL byte is taken whole: no name or choice is cut at the NUL.
TEST(Answers, ANulByteIsPartOfTheAnswer)
{
    const ScratchDir dir;
    const std::string expnam = write_run_files(dir, make_map_header(3, 2, 2), 2);
    const std::string nul(1, '\0');
    const std::string out = dir.file("out");
    RunResult result = run_grix({}, expnam + "\nfclc" + nul + "\nfclc\nxd" + nul + "\nxd\n2" +
                                        nul + "\n2\n" + out + nul + "evil.grd\n");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "Can't open " + out + " for output.\n  " + out + ": Invalid argument\n");
    EXPECT_EQ(count_of(result.out, "Type must be one of DELF"), 1u);
    EXPECT_EQ(count_of(result.out, "Type must be one of ASCII"), 1u);
    EXPECT_EQ(count_of(result.out, "Which phase is the fourier map from (1 - 2): "), 2u);
    EXPECT_FALSE(fs::exists(out));

    result = run_grix({}, expnam + nul + "x\nfclc\nxd\n" + out + "\n");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err.rfind("Could not find Fourier map file.\n", 0), 0u);
    EXPECT_NE(result.err.find("Invalid argument"), std::string::npos);
}

// An answer over 64 KiB ends the run at once, at any question; one of 64 KiB is an answer.
TEST(Answers, AnAnswerOver64KiBEndsTheRun)
{
    const ScratchDir dir;
    const std::string expnam = write_run_files(dir, make_map_header(3, 2, 2));
    const std::string longest(65536, 'x');
    EXPECT_EQ(run_grix({}, longest + "\n").err, "End of input while waiting for the map type.\n");
    for (const std::string& before : {std::string(), expnam + "\nfclc\nxd\n"}) {
        const RunResult result = run_grix({}, before + longest + "x\n");
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err, "Answer longer than 65536 bytes.\n");
    }
    EXPECT_EQ(run_grix({}, std::string(1 << 20, '\0')).err, "Answer longer than 65536 bytes.\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2);
}

}  // namespace
