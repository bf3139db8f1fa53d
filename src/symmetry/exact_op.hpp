// Symmetry operators in exact arithmetic: integer rotations, and translations counted in
// 1/24 of a cell edge, the unit in which every translation of every setting in the
// International Tables is a whole number.
#pragma once

#include <array>
#include <compare>

namespace grix {

inline constexpr int TRANSLATION_UNITS = 24;

using IntMatrix = std::array<std::array<int, 3>, 3>;
using IntVector = std::array<int, 3>;

inline constexpr IntMatrix IDENTITY_MATRIX{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};

// x' = rotation * x + translation / TRANSLATION_UNITS
struct ExactOp {
    IntMatrix rotation;
    IntVector translation;  // each in [0, TRANSLATION_UNITS)
    auto operator<=>(const ExactOp&) const = default;
};

inline IntMatrix multiply(const IntMatrix& a, const IntMatrix& b)
{
    IntMatrix product{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k)
                product[i][j] += a[i][k] * b[k][j];
    return product;
}

inline IntVector rotate(const IntMatrix& m, const IntVector& v)
{
    IntVector result{};
    for (int i = 0; i < 3; ++i)
        for (int k = 0; k < 3; ++k)
            result[i] += m[i][k] * v[k];
    return result;
}

inline IntMatrix negate(IntMatrix m)
{
    for (auto& row : m)
        for (int& value : row)
            value = -value;
    return m;
}

inline IntVector wrap_translation(IntVector v)
{
    for (int& value : v)
        value = ((value % TRANSLATION_UNITS) + TRANSLATION_UNITS) % TRANSLATION_UNITS;
    return v;
}

// `a` applied after `b`.
inline ExactOp compose(const ExactOp& a, const ExactOp& b)
{
    IntVector t = rotate(a.rotation, b.translation);
    for (int i = 0; i < 3; ++i)
        t[i] += a.translation[i];
    return {multiply(a.rotation, b.rotation), wrap_translation(t)};
}

}  // namespace grix
