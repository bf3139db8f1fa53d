#include "driver/console.hpp"

#include "common/fatal.hpp"

#include <sstream>

#include <gtest/gtest.h>

using namespace grix;

namespace {

TEST(Console, WholeNumberAnswers)
{
    std::istringstream in("7 +5 -3 +-5 12abc 1.5 99999999999 -2147483648 x");
    std::ostringstream out, err;
    Console console{in, out, err};
    const std::optional<int> expected[] = {7, 5, -3, std::nullopt, std::nullopt,
                                           std::nullopt, std::nullopt, -2147483648,
                                           std::nullopt};
    for (const std::optional<int>& value : expected)
        EXPECT_EQ(read_int_answer(console, "a number"), value);
    EXPECT_THROW(read_int_answer(console, "a number"), FatalError);
}

}  // namespace
