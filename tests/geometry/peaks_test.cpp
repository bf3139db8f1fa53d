#include "geometry/peaks.hpp"

#include "support/map_fixture.hpp"

#include <cmath>

#include <gtest/gtest.h>

using namespace grix;

namespace {

TEST(Peaks, PeriodicWhereTheCellIsCoveredAndEdgesElsewhere)
{
    // A plateau over the whole cell: one maximum and one minimum, not one per point.
    MapHeader header = make_map_header(4, 4, 4);
    for (int d = 0; d < 3; ++d)
        header.nxyzi[d] = 4;
    MapSections flat(4, MapSection{std::vector<float>(16, 2.0f), {}});
    GridExtremes extremes = find_extremes(make_map(header, flat));
    EXPECT_EQ(extremes.maxima.size(), 1u);
    EXPECT_EQ(extremes.minima.size(), 1u);

    // A cosine along x over the whole cell: the maximum at x = 0 sees x = 7/8 across
    // the cell's face; the minimum at x = 1/2. Both exactly on grid points.
    header = make_map_header(8, 1, 1);
    header.nxyzi[0] = 8;
    header.nxyzi[1] = header.nxyzi[2] = 1;
    MapSection wave;
    for (int i = 0; i < 8; ++i)
        wave.values.push_back(static_cast<float>(std::cos(2 * 3.141592653589793 * i / 8)));
    extremes = find_extremes(make_map(header, {wave}));
    ASSERT_EQ(extremes.maxima.size(), 1u);
    ASSERT_EQ(extremes.minima.size(), 1u);
    EXPECT_NEAR(extremes.maxima[0].position[0], 0, 1e-12);
    EXPECT_NEAR(extremes.minima[0].position[0], 0.5, 1e-12);
    EXPECT_FALSE(extremes.maxima[0].on_edge);

    // Part of the cell (3 x 2 x 2 of 20 intervals), values rising along every direction:
    // the extremes are the far and near corners, on the edge, at their grid values.
    header = make_map_header(3, 2, 2);
    extremes = find_extremes(make_map(header, make_tagged_sections(header)));
    ASSERT_EQ(extremes.maxima.size(), 1u);
    ASSERT_EQ(extremes.minima.size(), 1u);
    EXPECT_EQ(extremes.maxima[0].height, 112);
    EXPECT_TRUE(extremes.maxima[0].on_edge);
    EXPECT_NEAR(extremes.maxima[0].position[0], 2.0 / 20, 1e-12);
    EXPECT_NEAR(extremes.maxima[0].position[2], 1.0 / 20, 1e-12);
    EXPECT_EQ(extremes.minima[0].height, 0);
}

}  // namespace
