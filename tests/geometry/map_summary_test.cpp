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

// Runs apart in memory, odd lengths, values far from 0 for their spread (where the first
// pass's sums cannot settle the spread), a NaN, none finite, none at all.
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
