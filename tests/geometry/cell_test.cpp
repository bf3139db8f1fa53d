#include "geometry/cell.hpp"

#include "common/fatal.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

StructureInfo make_cell(float a, float b, float c, float alpha, float beta, float gamma)
{
    StructureInfo structure;
    structure.a = a;
    structure.b = b;
    structure.c = c;
    structure.alpha = alpha;
    structure.beta = beta;
    structure.gamma = gamma;
    return structure;
}

std::string print_fixed(float value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%15.8f", static_cast<double>(value));
    return text;
}

// Returns the message of the failure, which must go to standard output.
std::string refusal(StructureInfo structure)
{
    try {
        orthogonalise_cell(structure);
    } catch (const FatalError& error) {
        EXPECT_EQ(error.stream, FatalStream::out);
        return error.what();
    }
    ADD_FAILURE() << "cell was accepted";
    return {};
}

void expect_matrix(const CellTransform& transform, const double (&expected)[9])
{
    for (int n = 0; n < 9; ++n) {
        const double tolerance = 5e-7 * std::max(1.0, std::abs(expected[n]));
        EXPECT_NEAR(transform.matrix[n], expected[n], tolerance) << "position " << n;
    }
    for (const int zero : {3, 6, 7}) {
        EXPECT_EQ(transform.matrix[zero], 0.0f);
        EXPECT_FALSE(std::signbit(transform.matrix[zero]));
    }
    for (const float component : transform.translation) {
        EXPECT_EQ(component, 0.0f);
        EXPECT_FALSE(std::signbit(component));
    }
}

TEST(OrthogonaliseCell, TriclinicCellGivesBothMatrices)
{
    StructureInfo structure = make_cell(5, 6, 7, 80, 95, 110);
    orthogonalise_cell(structure);
    expect_matrix(structure.frac_to_cart,
                  {5, -2.052121, -0.6100902, 0, 5.638156, 1.071493, 0, 0, 6.890551});
    expect_matrix(structure.cart_to_frac,
                  {0.2, 0.07279405, 0.006388419, 0, 0.1773630, -0.02758026, 0, 0, 0.1451263});
    // V is the product of the diagonal of frac_to_cart.
    const double* m = nullptr;
    (void)m;
    const double volume = 5.0 * structure.frac_to_cart.matrix[4] * structure.frac_to_cart.matrix[8];
    EXPECT_NEAR(volume, 194.24999686, 2e-4);
}

TEST(OrthogonaliseCell, CubicCellKeepsTinyOffDiagonalTerms)
{
    StructureInfo structure = make_cell(10, 10, 10, 90, 90, 90);
    orthogonalise_cell(structure);
    const float* forward = structure.frac_to_cart.matrix;
    const float* inverse = structure.cart_to_frac.matrix;
    for (const int n : {0, 4, 8}) {
        EXPECT_EQ(forward[n], 10.0f);
        EXPECT_EQ(inverse[n], 0.1f);
    }
    for (const int n : {1, 2, 5}) {
        EXPECT_NEAR(forward[n], -5.1e-11, 0.2e-11) << n;
        EXPECT_NEAR(inverse[n], 5.1e-13, 0.2e-13) << n;
        EXPECT_EQ(print_fixed(forward[n]), "    -0.00000000");
    }
    EXPECT_EQ(print_fixed(forward[3]), "     0.00000000");
}

TEST(OrthogonaliseCell, RunsTwiceToTheSameFloats)
{
    StructureInfo first = make_cell(5, 6, 7, 80, 95, 110);
    orthogonalise_cell(first);
    StructureInfo second = first;
    orthogonalise_cell(second);
    for (int n = 0; n < 9; ++n) {
        EXPECT_EQ(first.frac_to_cart.matrix[n], second.frac_to_cart.matrix[n]);
        EXPECT_EQ(first.cart_to_frac.matrix[n], second.cart_to_frac.matrix[n]);
    }
}

TEST(OrthogonaliseCell, RefusesCellsWithoutPositiveVolume)
{
    const std::string tail = "Unit cell params have not been read correctly.\n"
                             "You can still output in ASCII format.\n";
    EXPECT_EQ(refusal(make_cell(0, 0, 0, 0, 0, 0)),
              "Error: Bad unit cell volume: vol^2 = 0.000000\n" + tail);
    EXPECT_EQ(refusal(make_cell(10, 10, 10, 120, 120, 120)),
              "Error: Bad unit cell volume: vol^2 = -0.000027\n" + tail);
    const std::string flat = refusal(make_cell(10, 10, 10, 130, 130, 130));
    EXPECT_EQ(flat.rfind("Error: Bad unit cell volume: vol^2 = -7707", 0), 0u) << flat;
    EXPECT_EQ(flat.substr(flat.find('\n') + 1), tail);
}

TEST(OrthogonaliseCell, RefusalLeavesTransformsUntouched)
{
    StructureInfo structure = make_cell(10, 10, 10, 130, 130, 130);
    structure.frac_to_cart.matrix[0] = 42.0f;
    EXPECT_THROW(orthogonalise_cell(structure), FatalError);
    EXPECT_EQ(structure.frac_to_cart.matrix[0], 42.0f);
}

}  // namespace
