// interpolate_row does once what the reference interpolate_density does for every point;
// over random cells, grids and rows it must give the same floats, bit for bit.
#include "geometry/grid.hpp"

#include "geometry/cell.hpp"
#include "readers/map_file.hpp"
#include "reference/reference.hpp"
#include "support/map_fixture.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <random>

using namespace grix;

namespace {

// The Cartesian point at a grid position (across, down, section), fractional positions
// between the grid points included.
CartesianPoint cartesian_at(const Cell& cell, const MapHeader& header,
                            const std::array<double, 3>& position)
{
    FractionalPoint fractional{};
    const std::array<int, 3> axes = lay_map_geometry(header).axes();
    for (std::size_t d = 0; d < 3; ++d)
        fractional[static_cast<std::size_t>(axes[d])] =
            static_cast<float>((position[d] + header.nxyzo[d]) / header.nxyzi[d]);
    return to_cartesian(cell, fractional);
}

TEST(InterpolateRow, EqualsInterpolateDensityBitForBit)
{
    std::mt19937 random(20240611);
    auto uniform = [&](double low, double high) {
        return static_cast<float>(std::uniform_real_distribution<double>(low, high)(random));
    };
    auto whole = [&](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };
    std::int64_t points = 0, inside = 0;
    for (int trial = 0; trial < 3000; ++trial) {
        // Angles within 70 to 110 degrees always leave the cell a positive volume.
        const Cell cell = orthogonalise_cell({uniform(2, 30), uniform(2, 30), uniform(2, 30),
                                              uniform(70, 110), uniform(70, 110),
                                              uniform(70, 110)});
        MapHeader header =
            make_map_header(whole(2, 12), whole(2, 12), whole(2, 12), whole(1, 3));
        for (int d = 0; d < 3; ++d) {
            header.nxyzi[d] = whole(1, 24);
            header.nxyzo[d] = whole(-8, 8);
        }
        MapSections sections(static_cast<std::size_t>(header.nxyzt[2]));
        for (MapSection& section : sections) {
            for (int n = 0; n < header.nrho; ++n)
                section.values.push_back(whole(0, 50) == 0 ? std::numeric_limits<float>::infinity()
                                                           : uniform(-100, 100));
        }
        const FourierMap map = make_map(header, sections);
        const CartesianBox box = cartesian_box(cell, lay_map_geometry(header));
        const DensityGrid grid = prepare_density_grid(cell, map);

        // Rows start inside the map, half of them on a grid point, where the bounds are
        // decided exactly, and move by small steps so that most points fall in a cell.
        std::array<double, 3> position{};
        for (std::size_t d = 0; d < 3; ++d) {
            const int last = header.nxyzt[d] - 1;
            position[d] = trial % 2 == 0 ? whole(0, last) : uniform(0, last);
        }
        const CartesianPoint start = cartesian_at(cell, header, position);
        const int axis = whole(0, 2);
        const float box_steps[] = {box.xstep, box.ystep, box.zstep};
        const float step = box_steps[axis] * (trial % 3 == 0 ? 1.0f : uniform(-0.3, 0.3));
        const int count = whole(1, 60);

        std::vector<float> densities(static_cast<std::size_t>(count));
        CartesianPoint end = start;
        interpolate_row(grid, end, axis, step, count, densities.data());
        CartesianPoint point = start;
        for (int n = 0; n < count; ++n) {
            const float expected = interpolate_density(cell, map, point);
            ASSERT_EQ(std::bit_cast<std::uint32_t>(densities[static_cast<std::size_t>(n)]),
                      std::bit_cast<std::uint32_t>(expected))
                << "trial " << trial << " point " << n;
            inside += expected != 0.0f;
            point[static_cast<std::size_t>(axis)] += step;
        }
        EXPECT_EQ(std::bit_cast<std::uint32_t>(end[static_cast<std::size_t>(axis)]),
                  std::bit_cast<std::uint32_t>(point[static_cast<std::size_t>(axis)]));
        points += count;
    }
    // The rows must reach into the maps, not only pass them by.
    EXPECT_GT(inside, points / 4);
}

// The weights' quotients rarely come near a point halfway between two floats, so random
// rows seldom test the division that divide_to_float keeps for them: here every
// quotient is put there, exactly on it (ties to even) and a few units in the last
// place to either side, over denominators that are powers of two and that are not.
TEST(InterpolateRow, WeightQuotientRoundsAsTheDivision)
{
    std::mt19937 random(7);
    std::uniform_real_distribution<double> spread(-3.0, 3.0);
    const double inf = std::numeric_limits<double>::infinity();
    auto expect_division = [](double numerator, double denominator) {
        const float quotient = static_cast<float>(numerator / denominator);
        ASSERT_EQ(std::bit_cast<std::uint32_t>(
                      divide_to_float(numerator, denominator, 1.0 / denominator)),
                  std::bit_cast<std::uint32_t>(quotient))
            << numerator << " / " << denominator;
    };
    for (int trial = 0; trial < 20000; ++trial) {
        const auto low = static_cast<float>(std::ldexp(1.0 + spread(random) / 4, trial % 60 - 40));
        const double halfway =
            (static_cast<double>(low) + std::nextafter(low, INFINITY)) / 2;
        const double denominator = trial % 2 == 0 ? std::ldexp(1.0, trial % 21 - 10)
                                                  : static_cast<float>(spread(random));
        double numerator = halfway * denominator;
        for (int step = 0; step < 24; ++step)
            numerator = std::nextafter(numerator, -inf);
        for (int step = 0; step < 48; ++step) {
            expect_division(numerator, denominator);
            numerator = std::nextafter(numerator, inf);
        }
    }
    // Zero, the edges of the floats and beyond them, and no width at all.
    for (const double numerator : {0.0, -0.0, 1e-39, -1e-45, 3.4028235e38, 3.5e38, 1e300})
        expect_division(numerator, 0.75);
    for (const double numerator : {0.0, 1.0, -1.0})
        expect_division(numerator, 0.0);
}

}  // namespace
