#include "conversion_input.hpp"
#include "support/run_capture.hpp"
#include "support/scratch_dir.hpp"

#include <filesystem>

#include <gtest/gtest.h>

namespace {

// Inputs the conversion fuzz target found: each must end at once in every format, with
// status 0 and nothing on standard output, or with a message and status 1.
TEST(FuzzRegressions, ConversionsEndAtOnce)
{
    for (const auto& entry : std::filesystem::directory_iterator(GRIX_FUZZ_DIR "/regressions")) {
        SCOPED_TRACE(entry.path().filename().string());
        const std::string bytes = read_file_bytes(entry.path().string());
        const ConversionInput input = split_conversion_input(
            reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
        for (const grix::OutputFormat& format : grix::output_formats()) {
            SCOPED_TRACE(std::string(format.name));
            const ScratchDir dir;
            write_file_bytes(dir.file("run.fclc"), std::string(input.map));
            write_file_bytes(dir.file("run.exp"), std::string(input.exp));
            std::vector<std::string> args =
                conversion_args(format, input.selector, dir.file("run"));
            args.erase(args.begin());
            const RunResult result = run_grix(args);
            EXPECT_TRUE(result.status == 0 ? result.out == ""
                                           : result.status == 1 && result.out + result.err != "");
        }
    }
}

}  // namespace
