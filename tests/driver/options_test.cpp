#include "driver/options.hpp"

#include "common/fatal.hpp"

#include <climits>
#include <optional>

#include <gtest/gtest.h>

using namespace grix;

namespace {

RunOptions batch(std::vector<std::string> args)
{
    args.insert(args.begin(), "grix");
    return read_command_line(args);
}

TEST(CommandLine, ArgumentCountDecidesTheMode)
{
    EXPECT_FALSE(batch({}).batch);
    EXPECT_FALSE(batch({}).show_header);
    const RunOptions dump = batch({"-v"});
    EXPECT_FALSE(dump.batch);
    EXPECT_TRUE(dump.show_header);
    const RunOptions ignored = batch({"run"});
    EXPECT_FALSE(ignored.batch);
    EXPECT_FALSE(ignored.show_header);
    EXPECT_EQ(ignored.expnam, "");
    const RunOptions no_dump_in_batch = batch({"-v", "run"});
    EXPECT_TRUE(no_dump_in_batch.batch);
    EXPECT_FALSE(no_dump_in_batch.show_header);
    EXPECT_EQ(no_dump_in_batch.expnam, "run");
}

TEST(CommandLine, OptionsAndDefaults)
{
    struct Case {
        std::vector<std::string> args;
        const char* output_type;
        const char* map_type;
        int precision;
    };
    const Case cases[] = {
        {{"-wingx", "run"}, "WINGX", "FCLC", 0},
        {{"-foo", "run"}, "ASCII", "FCLC", 0},
        {{"-WINGX", "run"}, "ASCII", "FCLC", 0},
        {{"-ascii", "9", "run"}, "ASCII", "FCLC", 0},
        {{"-ascii", "-1", "run"}, "ASCII", "FCLC", 0},
        {{"-ascii", "3", "run"}, "ASCII", "FCLC", 3},
        {{"-a", " +6x", "run"}, "ASCII", "FCLC", 6},
        {{"-ascii", "99999999999999999999", "run"}, "ASCII", "FCLC", 0},
        {{"-ascii", "3", "-march", "run"}, "MARCH", "FCLC", 3},
        {{"-march", "-ascii", "run"}, "ASCII", "FCLC", 0},
        {{"-ascii", "-wingx", "run"}, "WINGX", "FCLC", 0},
        {{"-x", "-fobs", "-delf", "run"}, "XD", "DELF", 0},
        {{"-m", "-nfdf", "run"}, "MARCH", "NFDF", 0},
        {{"-w", "-ptsn", "run"}, "WINGX", "PTSN", 0},
        {{"-xd", "-dpts", "run"}, "XD", "DPTS", 0},
        {{"-fobs", "-fclc", "run"}, "ASCII", "FCLC", 0},
        {{"-ccp4", "run"}, "CCP4", "FCLC", 0},
        {{"-c", "-wingx", "run"}, "WINGX", "FCLC", 0},
    };
    for (const Case& c : cases) {
        const RunOptions options = batch(c.args);
        SCOPED_TRACE(c.args.front() + " " + c.args[1]);
        EXPECT_TRUE(options.batch);
        ASSERT_NE(options.format, nullptr);
        EXPECT_EQ(options.format->name, c.output_type);
        EXPECT_EQ(options.map_type, c.map_type);
        EXPECT_EQ(options.precision, c.precision);
        EXPECT_EQ(options.expnam, "run");
    }
}

TEST(CommandLine, ExperimentNameIsAlsoThePrecisionAfterAscii)
{
    EXPECT_EQ(batch({"-ascii", "4run"}).precision, 4);
    EXPECT_EQ(batch({"-ascii", "4run"}).expnam, "4run");
    EXPECT_EQ(batch({"-ascii", "run"}).precision, 0);
}

TEST(CommandLine, LongExperimentNamesAreTaken)
{
    EXPECT_EQ(batch({"-wingx", std::string(300, 'r')}).expnam.size(), 300u);
}

TEST(CommandLine, OutputNameIsNeverAnOption)
{
    struct Case {
        std::vector<std::string> args;
        std::optional<std::string> output;
        const char* format;
        std::vector<std::string> ignored;
    };
    using Names = std::vector<std::string>;
    const Case cases[] = {
        {{"-o", "-w", "run"}, "-w", "ASCII", {}},
        {{"-o", "-p", "2", "-w", "run"}, "-p", "WINGX", Names{"2"}},
        {{"-o", "run"}, "run", "ASCII", {}},  // second-to-last: also the experiment name
        {{"-o", "a", "-x", "-o", "b", "run"}, "b", "XD", {}},  // the last one wins
        {{"-o", "-", "-cube", "run"}, "-", "CUBE", {}},
        {{"-a", "-o", "x", "run"}, "x", "ASCII", {}},  // -a's value is examined: "-o" acts
        {{"-o", "", "run"}, "", "ASCII", {}},
        {{"-w", "run"}, std::nullopt, "WINGX", {}},
    };
    for (const Case& c : cases) {
        const RunOptions options = batch(c.args);
        SCOPED_TRACE(c.args.front() + " " + c.args[1]);
        EXPECT_EQ(options.output, c.output);
        EXPECT_EQ(options.format->name, c.format);
        EXPECT_EQ(options.ignored, c.ignored);
        EXPECT_EQ(options.expnam, "run");
    }
}

TEST(CommandLine, InfoAndPeaksAskForALookInstead)
{
    struct Case {
        std::vector<std::string> args;
        Request request;
        int peak_count;
    };
    const Case cases[] = {
        {{"-info", "run"}, Request::info, 20},
        {{"-peaks", "5", "run"}, Request::peaks, 5},
        {{"-peaks", "run"}, Request::peaks, 20},  // the experiment name as the count
        {{"-peaks", "0", "run"}, Request::peaks, 20},
        {{"-peaks", "-3", "run"}, Request::peaks, 20},
        {{"-peaks", "99999999999", "run"}, Request::peaks, INT_MAX},
        {{"-peaks", "7", "-info", "run"}, Request::info, 7},
        {{"-info", "-peaks", "3", "run"}, Request::peaks, 3},
        {{"-o", "-info", "-w", "run"}, Request::convert, 20},
    };
    for (const Case& c : cases) {
        const RunOptions options = batch(c.args);
        SCOPED_TRACE(c.args.front() + " " + c.args[1]);
        EXPECT_EQ(options.request, c.request);
        EXPECT_EQ(options.peak_count, c.peak_count);
        EXPECT_TRUE(options.ignored.empty());  // the count is -peaks' value
    }
    // The value after -peaks is examined in its own turn, as -a's is.
    EXPECT_EQ(batch({"-peaks", "-w", "run"}).format->name, "WINGX");
    EXPECT_EQ(batch({"-peaks", "-w", "run"}).peak_count, 20);
}

}  // namespace
