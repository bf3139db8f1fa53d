// A map header's single-precision statistics must be the floats of the ordered double
// sums, whichever way they are found.
#include "geometry/map_summary.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

using namespace grix;

namespace {

void expect_floats_of_ordered_sums(SectionedValues values)
{
    const ValueStatistics ordered = summarise_values(values);
    const SingleValueStatistics single = summarise_values_single(values);
    EXPECT_EQ(single.minimum, static_cast<float>(ordered.minimum));
    EXPECT_EQ(single.maximum, static_cast<float>(ordered.maximum));
    EXPECT_EQ(single.mean, static_cast<float>(ordered.mean));
    EXPECT_EQ(single.rms, static_cast<float>(ordered.rms));
}

}  // namespace

// Runs apart in memory, odd lengths, values far from 0, a NaN, none finite, none at all.
TEST(MapSummary, SingleFiguresAreTheOrderedSumsFloats)
{
    std::mt19937 random(7);
    for (const float offset : {0.0f, 1e4f, -3e7f}) {
        std::normal_distribution<float> density(offset, 2.5f);
        std::vector<float> block(5 * 10007);
        for (float& value : block)
            value = density(random);
        expect_floats_of_ordered_sums(SectionedValues{block.data(), 10001, 5, 10007});
        block[77] = std::numeric_limits<float>::quiet_NaN();
        expect_floats_of_ordered_sums(SectionedValues{block.data(), 10001, 5, 10007});
    }
    const std::vector<float> infinite(9, std::numeric_limits<float>::infinity());
    expect_floats_of_ordered_sums(std::span<const float>(infinite));
    expect_floats_of_ordered_sums(SectionedValues{});
}

// Two values +-a, then a million +-e whose squares each ordered addition rounds away
// entirely: the ordered sum of squares is exactly 2 a^2 while the exact one is larger.
// a is chosen so that the rms of the exact sum rounds to the next float: a sum taken in
// another order without bounding the ordered one's rounding would give that float.
TEST(MapSummary, SpreadIsTheOrderedFloatWhereEveryAdditionRoundsAway)
{
    constexpr std::size_t SMALL = 1 << 20;
    constexpr float e = 0x1p-26f;  // e^2 is a quarter of a unit in the last place of 2 a^2
    const double count = SMALL + 2.0;
    const double lost = SMALL * (double{e} * e);
    float a = 1.5f;
    auto rms_of = [&](double squares) { return static_cast<float>(std::sqrt(squares / count)); };
    while (rms_of(2.0 * a * a) == rms_of(2.0 * a * a + lost / 2))
        a = std::nextafter(a, 2.0f);
    ASSERT_LT(a, 2.0f);

    std::vector<float> values{a, -a};
    for (std::size_t k = 0; k < SMALL / 2; ++k)
        values.insert(values.end(), {e, -e});
    ASSERT_EQ(summarise_values(std::span<const float>(values)).rms, std::sqrt(2.0 * a * a / count));
    expect_floats_of_ordered_sums(std::span<const float>(values));
}
