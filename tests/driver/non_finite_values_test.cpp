// A map holding NaN or infinities: the run warns with their count, writes them as they
// are, and takes the CCP4 header's statistics over the finite values alone.
#include "common/printf_text.hpp"
#include "support/exp_fixture.hpp"
#include "support/map_fixture.hpp"
#include "support/run_capture.hpp"
#include "support/scratch_dir.hpp"
#include "writers/writer_fixture.hpp"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

using namespace grix;

namespace {

constexpr std::size_t CCP4_HEADER_BYTES = 1024;
const float NaN = std::numeric_limits<float>::quiet_NaN();
const float INF = std::numeric_limits<float>::infinity();

float header_word(const std::string& ccp4, int n)
{
    return le_float32(ccp4, 4 * static_cast<std::size_t>(n - 1));
}

TEST(NonFiniteValues, CountedWrittenAsTheyAreAndLeftOutOfTheStatistics)
{
    struct Replaced {
        std::size_t section, index;
        float value;
    };
    struct Case {
        const char* what;
        std::vector<Replaced> replaced;
        unsigned long long warned;  // values counted
        float statistics[4];        // minimum, maximum, mean, rms of the finite grid values
    };
    // Sections of 3 x 2 grid values and one value beyond them (nrho 7), which is no grid
    // point and never counted.
    const Case cases[] = {
        {"first, inner and last point", {{0, 0, NaN}, {1, 2, INF}, {1, 5, -INF}}, 3,
         {-1.5f, 3.5f, 5.0f / 6, 5.0f / 3}},
        {"beyond the grid only", {{0, 6, NaN}, {1, 6, INF}}, 0, {-2, 4, 1, 1.9472202f}},
        {"every point", {}, 12, {0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MapHeader header = make_map_header(3, 2, 2);
        header.nrho = 7;
        MapSections sections(2);
        for (std::size_t k = 0; k < 2; ++k)
            for (std::size_t n = 0; n < 7; ++n)
                sections[k].values.push_back(c.warned == 12 && n < 6
                                                 ? NaN
                                                 : 0.5f * static_cast<float>(7 * k + n) - 2);
        for (const Replaced& r : c.replaced)
            sections[r.section].values[r.index] = r.value;
        const ScratchDir dir;
        write_file_bytes(dir.file("run.fclc"), encode_map_file(header, sections));
        write_file_bytes(dir.file("run.exp"), make_exp_file({FixturePhase{}}));
        const RunResult result = run_grix({"-ccp4", dir.file("run")});
        ASSERT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(result.err, c.warned == 0 ? ""
                                            : printf_text("Warning: the map holds %llu values "
                                                          "that are not finite numbers.\n",
                                                          c.warned));

        const std::string ccp4 = read_file_bytes(dir.file("run.ccp4"));
        ASSERT_EQ(ccp4.size(), CCP4_HEADER_BYTES + 4 * 12);
        for (std::size_t n = 0; n < 12; ++n) {
            const float written = le_float32(ccp4, CCP4_HEADER_BYTES + 4 * n);
            const float value = sections[n / 6].values[n % 6];
            EXPECT_TRUE(std::isnan(value) ? std::isnan(written) : written == value) << n;
        }
        const int words[4] = {20, 21, 22, 55};
        for (std::size_t n = 0; n < 4; ++n)
            EXPECT_FLOAT_EQ(header_word(ccp4, words[n]), c.statistics[n]) << "word " << words[n];
    }
}

}  // namespace
