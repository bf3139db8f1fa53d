#include "writers/formats.hpp"

#include "support/map_fixture.hpp"
#include "support/string_sink.hpp"
#include "writers/writer_fixture.hpp"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

using namespace grix;

namespace {

// A sink that fails part way through a file of several chunks and many pieces, formatted
// on one thread or several: the failure ends the writer, the bytes handed over before it
// are the file's first bytes in order, and nothing is handed over after it, not even by a
// flush on the way out. The sink is a pipe: what left it cannot be written again.
TEST(OutputSink, AFailureHalfWayStopsTheWriter)
{
    const FourierMap map = make_tagged_map(make_map_header(160, 120, 48));
    const Phase phase = make_phase({10, 10, 10, 90, 90, 90});
    for (const char* name : {"ASCII", "WINGX", "CCP4"}) {
        const OutputFormat& format = *find_format_named(name);
        for (const int threads : {1, 3}) {
            const Conversion conversion{map, phase, 2, threads};
            StringSink whole;
            std::get<WriteMap>(format.write)(conversion, whole);
            const std::string& file = whole.finish();
            ASSERT_GT(file.size(), 3 * OutputSink::CHUNK_BYTES) << name;
            StringSink failing(file.size() / 2, false);
            EXPECT_THROW(std::get<WriteMap>(format.write)(conversion, failing), std::runtime_error)
                << name << ", " << threads << " threads";
            const std::size_t handed = failing.text.size();
            EXPECT_NO_THROW(failing.flush());
            EXPECT_EQ(failing.text.size(), handed);
            EXPECT_GT(handed, 0u);
            EXPECT_TRUE(file.starts_with(failing.text)) << name << ", " << threads << " threads";
        }
    }
}

}  // namespace
