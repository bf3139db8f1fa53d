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

// Two values +-a, then a million +-e whose squares each ordered addition rounds away,
// each just under half a unit in the last place of 2 a^2: the ordered sum of squares is
// exactly 2 a^2, and the exact one lies above it by a little less than the bound on
// their difference. a is chosen so that the rms of 2 a^2 and of a quarter of the way to the exact
// sum round to different floats: a bound that is not there, or 25 % short, gives the
// exact sum's float. The values lie in two sections, so that the lanes run in two halves.
TEST(MapSummary, SpreadIsTheOrderedFloatWhereEveryAdditionRoundsAway)
{
    constexpr std::size_t SMALL = 1 << 20;
    const float e = std::nextafter(static_cast<float>(std::sqrt(0x1p-51)), 0.0f);
    const double count = SMALL + 2.0;
    const double lost = SMALL * (double{e} * e);
    float a = 1.5f;
    auto rms_of = [&](double squares) { return static_cast<float>(std::sqrt(squares / count)); };
    while (rms_of(2.0 * a * a) == rms_of(2.0 * a * a + lost / 4))
        a = std::nextafter(a, 2.0f);
    ASSERT_LT(a, 1.6f);

    std::vector<float> values{a, -a};
    for (std::size_t k = 0; k < SMALL / 2; ++k)
        values.insert(values.end(), {e, -e});
    const SectionedValues sections{values.data(), values.size() / 2, 2, values.size() / 2};
    ASSERT_EQ(summarise_values(sections).rms, std::sqrt(2.0 * a * a / count));
    expect_floats_of_ordered_sums(sections);
}
