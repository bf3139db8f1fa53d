#include "geometry/contours.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

using grix::ContourPath;
using Point = std::array<double, 2>;

// Every path of the level, in the tracer's order.
std::vector<ContourPath> trace_contours(const float* values, int columns, int rows,
                                        double level)
{
    std::vector<ContourPath> paths;
    grix::trace_contours(values, columns, rows, level, [&](const ContourPath& path) {
        paths.push_back(path);
        return true;
    });
    return paths;
}

const float NaN = std::numeric_limits<float>::quiet_NaN();

// exp(-r^2 / 2 sigma^2) about (cx, cy) on a 41 x 41 grid.
std::vector<float> make_gaussian(double cx, double cy, double sigma)
{
    std::vector<float> values;
    for (int j = 0; j < 41; ++j)
        for (int i = 0; i < 41; ++i)
            values.push_back(static_cast<float>(
                std::exp(-((i - cx) * (i - cx) + (j - cy) * (j - cy)) / (2 * sigma * sigma))));
    return values;
}

double distance(const Point& p, double cx, double cy)
{
    return std::hypot(p[0] - cx, p[1] - cy);
}

TEST(TraceContours, GaussianGivesOneCircleOfItsRadius)
{
    const double sigma = 5, radius = sigma * std::sqrt(2 * std::log(2.0));
    const auto paths = trace_contours(make_gaussian(20.3, 19.6, sigma).data(), 41, 41, 0.5);
    ASSERT_EQ(paths.size(), 1u);
    EXPECT_TRUE(paths[0].closed);
    EXPECT_GT(paths[0].points.size(), 30u);
    for (const Point& p : paths[0].points)
        EXPECT_NEAR(distance(p, 20.3, 19.6), radius, 0.05);

    // Cut by the border, or by a missing value on the circle: one open path with its ends
    // on the border or on the square of the four cells that lose a corner.
    const auto cut = trace_contours(make_gaussian(2, 20, sigma).data(), 41, 41, 0.5);
    ASSERT_EQ(cut.size(), 1u);
    EXPECT_FALSE(cut[0].closed);
    EXPECT_DOUBLE_EQ(cut[0].points.front()[0], 0);
    EXPECT_DOUBLE_EQ(cut[0].points.back()[0], 0);
    auto holed = make_gaussian(20, 20, sigma);
    holed[26 + 20 * 41] = NaN;
    const auto broken = trace_contours(holed.data(), 41, 41, 0.5);
    ASSERT_EQ(broken.size(), 1u);
    EXPECT_FALSE(broken[0].closed);
    for (const Point* end : {&broken[0].points.front(), &broken[0].points.back()})
        EXPECT_DOUBLE_EQ(std::max(std::abs((*end)[0] - 26), std::abs((*end)[1] - 20)), 1);
}

TEST(TraceContours, SaddleFollowsTheCellMean)
{
    // (0, 0) and (1, 1) high, mean 0.5: at 0.5 the high corners join through the centre,
    // at 0.6 each is cut off on its own.
    const float saddle[4] = {1, 0, 0, 1};
    auto ends = [&](double level) {
        std::vector<std::pair<Point, Point>> found;
        for (const ContourPath& path : trace_contours(saddle, 2, 2, level)) {
            EXPECT_EQ(path.points.size(), 2u);
            found.emplace_back(std::min(path.points.front(), path.points.back()),
                               std::max(path.points.front(), path.points.back()));
        }
        std::sort(found.begin(), found.end());
        return found;
    };
    using Ends = std::vector<std::pair<Point, Point>>;
    EXPECT_EQ(ends(0.5), (Ends{{{0, 0.5}, {0.5, 1}}, {{0.5, 0}, {1, 0.5}}}));
    EXPECT_EQ(ends(0.6), (Ends{{{0, 0.4}, {0.4, 0}}, {{0.6, 1}, {1, 0.6}}}));
}

TEST(TraceContours, LevelsOnGridValues)
{
    // value(i, j) = i: the level 1 runs along column 1, each grid point once.
    std::vector<float> ramp;
    for (int j = 0; j < 3; ++j)
        for (int i = 0; i < 4; ++i)
            ramp.push_back(static_cast<float>(i));
    const auto line = trace_contours(ramp.data(), 4, 3, 1);
    ASSERT_EQ(line.size(), 1u);
    EXPECT_FALSE(line[0].closed);
    auto points = line[0].points;
    if (points.front()[1] > points.back()[1])
        std::reverse(points.begin(), points.end());
    EXPECT_EQ(points, (std::vector<Point>{{1, 0}, {1, 1}, {1, 2}}));

    // A single point at the level shrinks its loop to nothing; a dip below a plateau at
    // the level is ringed once.
    const float peak[9] = {0, 0, 0, 0, 1, 0, 0, 0, 0};
    EXPECT_TRUE(trace_contours(peak, 3, 3, 1).empty());
    const float dip[9] = {1, 1, 1, 1, 0, 1, 1, 1, 1};
    const auto ring = trace_contours(dip, 3, 3, 1);
    ASSERT_EQ(ring.size(), 1u);
    EXPECT_TRUE(ring[0].closed);
    EXPECT_EQ(ring[0].points.size(), 4u);
}

TEST(TraceContours, ConstantOrTooSmallSectionsHaveNone)
{
    const std::vector<float> flat(25, 2.0f);
    for (double level : {1.0, 2.0, 3.0})
        EXPECT_TRUE(trace_contours(flat.data(), 5, 5, level).empty());
    const float row[3] = {0, 1, 2};
    EXPECT_TRUE(trace_contours(row, 3, 1, 0.5).empty());
}

}  // namespace
