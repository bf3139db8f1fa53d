#include "reference/plain_cell_density.hpp"

#include "geometry/grid.hpp"

#include <gemmi/symmetry.hpp>

#include <algorithm>
#include <cmath>
#include <optional>

namespace grix {
namespace {

using Index3 = std::array<std::int64_t, 3>;
using IntRotation = std::array<std::array<int, 3>, 3>;

constexpr double ON_GRID = 1e-6;

std::int64_t modulo(std::int64_t value, std::int64_t modulus)
{
    const std::int64_t remainder = value % modulus;
    return remainder < 0 ? remainder + modulus : remainder;
}

// The inverse of a space group's rotation (determinant +-1), by gemmi.
IntRotation invert(const IntRotation& r)
{
    gemmi::Op op;
    for (std::size_t i = 0; i < 3; ++i)
        for (std::size_t j = 0; j < 3; ++j)
            op.rot[i][j] = r[i][j] * gemmi::Op::DEN;
    const gemmi::Op inverse = op.inverse();
    IntRotation result{};
    for (std::size_t i = 0; i < 3; ++i)
        for (std::size_t j = 0; j < 3; ++j)
            result[i][j] = inverse.rot[i][j] / gemmi::Op::DEN;
    return result;
}

bool whole_on(const IntRotation& r, const Index3& n)
{
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            if (r[i][j] * n[i] % n[j] != 0)
                return false;
    return true;
}

struct PlainMap {
    Index3 n, origin, extent;
    std::array<int, 3> direction;
    const FourierMap* map;

    float at(const Index3& index) const
    {
        Index3 d{};
        for (int axis = 0; axis < 3; ++axis)
            d[direction[axis]] = index[axis];
        return map->section(static_cast<std::size_t>(d[2]))
            [static_cast<std::size_t>(d[0] + d[1] * map->geometry.points[0])];
    }

    float interpolate(const std::array<double, 3>& position) const
    {
        Index3 low{};
        std::array<double, 3> weight{};
        for (int a = 0; a < 3; ++a) {
            low[a] = static_cast<std::int64_t>(std::floor(position[a]));
            weight[a] = position[a] - static_cast<double>(low[a]);
        }
        double sum = 0;
        for (int corner = 0; corner < 8; ++corner) {
            double factor = 1;
            Index3 index = low;
            for (int a = 0; a < 3 && factor != 0; ++a) {
                const bool upper = (corner >> a & 1) != 0;
                factor *= upper ? weight[a] : 1 - weight[a];
                index[a] += upper ? 1 : 0;
            }
            if (factor != 0)
                sum += factor * at(index);
        }
        return static_cast<float>(sum);
    }

    // The value an operator on the grid carries onto cell point p, if the map holds it.
    std::optional<float> exact_source(const SymmetryOp& op, const IntRotation& inverse,
                                      const Index3& p) const
    {
        Index3 source{};
        for (int a = 0; a < 3; ++a) {
            std::int64_t grid = 0;
            for (int b = 0; b < 3; ++b) {
                const std::int64_t shift =
                    modulo(std::llround(op.translation[b] * static_cast<double>(n[b])), n[b]);
                grid += inverse[a][b] * n[a] / n[b] * (p[b] - shift);
            }
            source[a] = modulo(grid - origin[a], n[a]);
            if (source[a] >= extent[a])
                return std::nullopt;
        }
        return at(source);
    }

    // The value interpolated at the point an operator off the grid takes cell point p from.
    std::optional<float> interpolated_source(const SymmetryOp& op, const IntRotation& inverse,
                                             const Index3& p) const
    {
        std::array<double, 3> position{};
        for (int a = 0; a < 3; ++a) {
            double fractional = 0;
            for (int b = 0; b < 3; ++b) {
                const double at = static_cast<double>(p[b]) / static_cast<double>(n[b]);
                fractional += inverse[a][b] * (at - op.translation[b]);
            }
            const double period = static_cast<double>(n[a]);
            double grid = fractional * period - static_cast<double>(origin[a]);
            grid -= period * std::floor(grid / period);
            if (std::fabs(grid - std::round(grid)) < ON_GRID)
                grid = std::round(grid) < period ? std::round(grid) : 0;
            if (grid > static_cast<double>(extent[a] - 1))
                return std::nullopt;
            position[a] = grid;
        }
        return interpolate(position);
    }
};

bool on_grid(const SymmetryOp& op, const IntRotation& inverse, const Index3& n)
{
    if (!whole_on(op.rotation, n) || !whole_on(inverse, n))
        return false;
    for (int i = 0; i < 3; ++i) {
        const double steps = op.translation[i] * static_cast<double>(n[i]);
        if (std::fabs(steps - std::round(steps)) > ON_GRID)
            return false;
    }
    return true;
}

}  // namespace

CellDensity plain_complete_cell(const FourierMap& fourier, const SpaceGroup& group)
{
    PlainMap map{};
    const MapGeometry& geometry = fourier.geometry;
    const std::array<int, 3>& axes = geometry.axes();
    for (std::size_t d = 0; d < 3; ++d) {
        map.n[axes[d]] = geometry.divisions[d];
        map.origin[axes[d]] = geometry.origin[d];
        map.extent[axes[d]] = geometry.points[d];
        map.direction[axes[d]] = static_cast<int>(d);
    }
    map.map = &fourier;
    const Index3& n = map.n;
    CellDensity density{{static_cast<int>(n[0]), static_cast<int>(n[1]), static_cast<int>(n[2])},
                        CellValues(static_cast<std::size_t>(n[0] * n[1] * n[2]), 0.0f),
                        0};
    std::vector<bool> covered(density.values.size(), false);
    for (const bool exact : {true, false})
        for (const SymmetryOp& op : group.ops) {
            const IntRotation inverse = invert(op.rotation);
            if (on_grid(op, inverse, n) != exact)
                continue;
            std::size_t index = 0;
            for (std::int64_t z = 0; z < n[2]; ++z)
                for (std::int64_t y = 0; y < n[1]; ++y)
                    for (std::int64_t x = 0; x < n[0]; ++x, ++index) {
                        if (covered[index])
                            continue;
                        const std::optional<float> value =
                            exact ? map.exact_source(op, inverse, {x, y, z})
                                  : map.interpolated_source(op, inverse, {x, y, z});
                        if (value) {
                            density.values[index] = *value;
                            covered[index] = true;
                        }
                    }
        }
    density.unreached = std::count(covered.begin(), covered.end(), false);
    return density;
}

}  // namespace grix
