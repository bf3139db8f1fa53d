#include "geometry/cell.hpp"

#include "common/fatal.hpp"
#include "common/printf_text.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace grix {
namespace {

void store(CellTransform& transform, const double (&elements)[9])
{
    for (int n = 0; n < 9; ++n)
        transform.matrix[n] = static_cast<float>(elements[n]);
    for (float& component : transform.translation)
        component = 0.0f;
}

// The matrix of `transform` times the point, in double, rounded to float.
std::array<float, 3> apply(const CellTransform& transform, const std::array<float, 3>& point)
{
    const float* m = transform.matrix;
    const double u = point[0], v = point[1], w = point[2];
    return {static_cast<float>(m[0] * u + m[1] * v + m[2] * w),
            static_cast<float>(m[3] * u + m[4] * v + m[5] * w),
            static_cast<float>(m[6] * u + m[7] * v + m[8] * w)};
}

double squared_volume(double a, double b, double c, double ca, double cb, double cg)
{
    const double p = cg * cb;
    const double t = ca * p;
    const double q = ((cb * cb + ca * ca) + cg * cg) - 1.0;
    return ((t + t) - q) * c * c * b * b * a * a;
}

// With the exact degree; a cell without volume leaves the last axis 0 rather than NaN.
std::array<std::array<double, 3>, 3> lay_axes(const CellParameters& cell)
{
    const double radian = std::numbers::pi / 180;
    const double ca = std::cos(cell.alpha * radian), cb = std::cos(cell.beta * radian);
    const double cg = std::cos(cell.gamma * radian), sg = std::sin(cell.gamma * radian);
    const double a = cell.a, b = cell.b, c = cell.c;
    const double cy = c * (ca - cb * cg) / sg;
    const double cz = std::sqrt(std::max(c * c - c * cb * c * cb - cy * cy, 0.0));
    return {{{a, b * cg, c * cb}, {0, b * sg, cy}, {0, 0, cz}}};
}

// The 11-digit degree's cosines, as both the volume and the matrices use them.
struct Angles {
    double ca, cb, cg, sa, sb, sg;
};

Angles take_angles(const CellParameters& parameters)
{
    const double alpha = static_cast<double>(parameters.alpha) * DEG_TO_RAD;
    const double beta = static_cast<double>(parameters.beta) * DEG_TO_RAD;
    const double gamma = static_cast<double>(parameters.gamma) * DEG_TO_RAD;
    return {std::cos(alpha), std::cos(beta), std::cos(gamma),
            std::sin(alpha), std::sin(beta), std::sin(gamma)};
}

}  // namespace

void check_cell_volume(const CellParameters& parameters)
{
    const Angles g = take_angles(parameters);
    const double vol2 =
        squared_volume(parameters.a, parameters.b, parameters.c, g.ca, g.cb, g.cg);
    // Written so that a NaN volume is refused too.
    if (!(vol2 > 0.0))
        throw FatalError(printf_text("Error: Bad unit cell volume: vol^2 = %f\n"
                                "Unit cell params have not been read correctly.\n"
                                "You can still output in ASCII format.\n",
                                vol2),
                         FatalStream::out);
}

// The order of every product and sum below is kept as written: the stored floats, and
// the files printed from them, depend on it to the last digit.
Cell orthogonalise_cell(const CellParameters& parameters)
{
    const double a = parameters.a;
    const double b = parameters.b;
    const double c = parameters.c;
    const auto [ca, cb, cg, sa, sb, sg] = take_angles(parameters);
    const double vol = std::sqrt(squared_volume(a, b, c, ca, cb, cg));

    const double cos_alpha_star = (cg * cb - ca) / (sg * sb);
    const double cos_beta_star = (cg * ca - cb) / (sg * sa);
    // a* is held as a float before use; the last bits of cart_to_frac depend on it.
    const double a_star = static_cast<float>(((sa * c) * b) / vol);
    const double b_star = ((sb * c) * a) / vol;
    const double c_star = (a * (sg * b)) / vol;

    Cell cell{parameters, {}, {}, lay_axes(parameters)};
    store(cell.frac_to_cart, {a, b * cg, c * cb,
                              0.0, b * sg, ((-c) * cos_alpha_star) * sb,
                              0.0, 0.0, 1.0 / c_star});
    store(cell.cart_to_frac, {1.0 / a, (-cg) / (sg * a), cos_beta_star * a_star,
                              0.0, 1.0 / (sg * b), b_star * cos_alpha_star,
                              0.0, 0.0, c_star});
    return cell;
}

CartesianPoint to_cartesian(const Cell& cell, const FractionalPoint& point)
{
    return CartesianPoint{apply(cell.frac_to_cart, point)};
}

FractionalPoint to_fractional(const Cell& cell, const CartesianPoint& point)
{
    return FractionalPoint{apply(cell.cart_to_frac, point)};
}

Cartesian to_cartesian(const Cell& cell, const Fractional& point)
{
    Cartesian position{};
    for (std::size_t row = 0; row < 3; ++row)
        for (std::size_t column = 0; column < 3; ++column)
            position[row] += cell.axes[row][column] * point[column];
    return position;
}

Cartesian cell_edge(const Cell& cell, int axis)
{
    const auto column = static_cast<std::size_t>(axis);
    return {cell.axes[0][column], cell.axes[1][column], cell.axes[2][column]};
}

}  // namespace grix
