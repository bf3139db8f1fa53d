#include "geometry/cell.hpp"

#include "common/printf_text.hpp"
#include "writers/writer_fixture.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

using namespace grix;

namespace {

void expect_matrix(const CellTransform& transform, const std::array<double, 9>& expected)
{
    for (std::size_t n = 0; n < 9; ++n)
        EXPECT_NEAR(transform.matrix[n], expected[n],
                    5e-7 * std::fmax(1.0, std::fabs(expected[n])))
            << "position " << n;
    // The zeros are exact +0.0.
    for (const float zero : {transform.matrix[3], transform.matrix[6], transform.matrix[7],
                             transform.translation[0], transform.translation[1],
                             transform.translation[2]}) {
        EXPECT_EQ(zero, 0.0f);
        EXPECT_FALSE(std::signbit(zero));
    }
}

TEST(OrthogonaliseCell, TriclinicCellGivesBothMatrices)
{
    const Cell cell = orthogonalise_cell({5, 6, 7, 80, 95, 110});
    EXPECT_EQ(cell.parameters.gamma, 110.0f);
    expect_matrix(cell.frac_to_cart,
                  {5, -2.052121, -0.6100902, 0, 5.638156, 1.071493, 0, 0, 6.890551});
    expect_matrix(cell.cart_to_frac,
                  {0.2, 0.07279405, 0.006388419, 0, 0.1773630, -0.02758026, 0, 0, 0.1451263});
    // The volume is the product of the diagonal, each element good to float rounding.
    const float* m = cell.frac_to_cart.matrix;
    EXPECT_NEAR(double(m[0]) * m[4] * m[8], 194.24999686, 194.25 * 3e-7);
}

TEST(OrthogonaliseCell, CubicCellKeepsTinyOffDiagonalTerms)
{
    const Cell cell = orthogonalise_cell({10, 10, 10, 90, 90, 90});
    const float* forward = cell.frac_to_cart.matrix;
    const float* inverse = cell.cart_to_frac.matrix;
    for (const int n : {0, 4, 8}) {
        EXPECT_EQ(forward[n], 10.0f);
        EXPECT_EQ(inverse[n], 0.1f);
    }
    for (const int n : {1, 2, 5}) {
        EXPECT_NEAR(forward[n], -5.1e-11, 0.2e-11) << n;
        EXPECT_NEAR(inverse[n], 5.1e-13, 0.2e-13) << n;
        EXPECT_EQ(printf_text("%15.8f", double(forward[n])), "    -0.00000000");
    }
}

TEST(CheckCellVolume, RefusesCellsWithoutPositiveVolumeOnStandardOutput)
{
    const std::string tail = "Unit cell params have not been read correctly.\n"
                             "You can still output in ASCII format.\n";
    struct Case {
        std::array<float, 6> cell;
        std::string first_line;
    };
    // cos(120 degrees) comes out slightly below -0.5 with this degree-to-radian factor.
    const Case cases[] = {
        {{0, 0, 0, 0, 0, 0}, "Error: Bad unit cell volume: vol^2 = 0.000000\n"},
        {{10, 10, 10, 120, 120, 120}, "Error: Bad unit cell volume: vol^2 = -0.000027\n"},
        {{10, 10, 10, 130, 130, 130}, "Error: Bad unit cell volume: vol^2 = -770696.446"},
        {{10, NAN, 10, 90, 90, 90}, "Error: Bad unit cell volume: vol^2 = nan\n"},
    };
    for (const Case& c : cases) {
        const CellParameters cell{c.cell[0], c.cell[1], c.cell[2],
                                  c.cell[3], c.cell[4], c.cell[5]};
        const auto [message, stream] = fatal_of([&] { check_cell_volume(cell); });
        EXPECT_EQ(message.substr(0, c.first_line.size()), c.first_line);
        EXPECT_EQ(message.substr(message.find('\n') + 1), tail);
        EXPECT_EQ(stream, FatalStream::out);
    }
}

}  // namespace
