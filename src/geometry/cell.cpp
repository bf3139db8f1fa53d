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

}  // namespace

// The order of every product and sum below is kept as written: the stored floats, and
// the files printed from them, depend on it to the last digit.
Cell orthogonalise_cell(const CellParameters& parameters)
{
    const double a = parameters.a;
    const double b = parameters.b;
    const double c = parameters.c;
    const double alpha = static_cast<double>(parameters.alpha) * DEG_TO_RAD;
    const double beta = static_cast<double>(parameters.beta) * DEG_TO_RAD;
    const double gamma = static_cast<double>(parameters.gamma) * DEG_TO_RAD;
    const double ca = std::cos(alpha), cb = std::cos(beta), cg = std::cos(gamma);
    const double sa = std::sin(alpha), sb = std::sin(beta), sg = std::sin(gamma);

    const double p = cg * cb;
    const double t = ca * p;
    const double q = ((cb * cb + ca * ca) + cg * cg) - 1.0;
    const double vol2 = ((t + t) - q) * c * c * b * b * a * a;
    // Written so that a NaN volume is refused too.
    if (!(vol2 > 0.0))
        throw FatalError(printf_text("Error: Bad unit cell volume: vol^2 = %f\n"
                                "Unit cell params have not been read correctly.\n"
                                "You can still output in ASCII format.\n",
                                vol2),
                         FatalStream::out);
    const double vol = std::sqrt(vol2);

    const double cos_alpha_star = (cg * cb - ca) / (sg * sb);
    const double cos_beta_star = (cg * ca - cb) / (sg * sa);
    // a* is held as a float before use; the last bits of cart_to_frac depend on it.
    const double a_star = static_cast<float>(((sa * c) * b) / vol);
    const double b_star = ((sb * c) * a) / vol;
    const double c_star = (a * (sg * b)) / vol;

    Cell cell{parameters, {}, {}};
    store(cell.frac_to_cart, {a, b * cg, c * cb,
                              0.0, b * sg, ((-c) * cos_alpha_star) * sb,
                              0.0, 0.0, 1.0 / c_star});
    store(cell.cart_to_frac, {1.0 / a, (-cg) / (sg * a), cos_beta_star * a_star,
                              0.0, 1.0 / (sg * b), b_star * cos_alpha_star,
                              0.0, 0.0, c_star});
    return cell;
}

std::array<std::array<double, 3>, 3> cartesian_axes(const CellParameters& cell)
{
    const double radian = std::numbers::pi / 180;
    const double ca = std::cos(cell.alpha * radian), cb = std::cos(cell.beta * radian);
    const double cg = std::cos(cell.gamma * radian), sg = std::sin(cell.gamma * radian);
    const double a = cell.a, b = cell.b, c = cell.c;
    const double cy = c * (ca - cb * cg) / sg;
    const double cz = std::sqrt(std::max(c * c - c * cb * c * cb - cy * cy, 0.0));
    return {{{a, b * cg, c * cb}, {0, b * sg, cy}, {0, 0, cz}}};
}

}  // namespace grix
