#include "reference/reference.hpp"

#include "common/byte_order.hpp"
#include "common/printf_text.hpp"

#include <cinttypes>
#include <cmath>

namespace grix {
namespace {

// The trilinear blend of a map grid cell's eight corner densities, one corner at a time,
// `corner` indexing its lowest one in both sections: along the section direction, then
// down, then across. The value stays in double through the three steps and is rounded
// to float once, at the end.
float blend_cell(const float* near, const float* far, std::size_t corner,
                 std::size_t row_length, const float (&weight)[3])
{
    double along_down[2][2];  // [row offset][column offset], after the section step
    for (std::size_t r = 0; r < 2; ++r) {
        for (std::size_t q = 0; q < 2; ++q) {
            const std::size_t at = corner + r * row_length + q;
            const double v0 = near[at];
            along_down[r][q] = v0 + weight[2] * (far[at] - v0);
        }
    }
    double along_across[2];
    for (std::size_t q = 0; q < 2; ++q)
        along_across[q] =
            along_down[0][q] + weight[1] * (along_down[1][q] - along_down[0][q]);
    return static_cast<float>(along_across[0] +
                              weight[0] * (along_across[1] - along_across[0]));
}

// Visits the Cartesian grid's points with the writers' running float coordinates:
// `point_axis` fastest, then `row_axis`, then Z; `visit_row` runs before each row.
template <typename VisitRow, typename VisitPoint>
void walk_plainly(const Cell& cell, const FourierMap& map, int point_axis, int row_axis,
                  VisitRow visit_row, VisitPoint visit_point)
{
    const CartesianBox box = cartesian_box(cell, map.geometry);
    const GridCounts counts = count_grid_points(box);
    const std::int64_t count[3] = {counts.nx, counts.ny, counts.nz};
    const float min[3] = {box.xmin, box.ymin, box.zmin};
    const float step[3] = {box.xstep, box.ystep, box.zstep};
    CartesianPoint point{min[0], min[1], min[2]};
    for (std::int64_t plane = 0; plane < count[2]; ++plane) {
        point[static_cast<std::size_t>(row_axis)] = min[row_axis];
        for (std::int64_t row = 0; row < count[row_axis]; ++row) {
            visit_row(row, count[point_axis] * count[row_axis]);
            point[static_cast<std::size_t>(point_axis)] = min[point_axis];
            for (std::int64_t n = 0; n < count[point_axis]; ++n) {
                visit_point(n, interpolate_density(cell, map, point));
                point[static_cast<std::size_t>(point_axis)] += step[point_axis];
            }
            point[static_cast<std::size_t>(row_axis)] += step[row_axis];
        }
        point[2] += step[2];
    }
}

}  // namespace

GridIndex fractional_to_grid_cell(const MapGeometry& geometry, const FractionalPoint& fractional)
{
    const std::array<int, 3>& axes = geometry.axes();
    GridIndex cell{};
    for (std::size_t d = 0; d < 3; ++d) {
        const double g = static_cast<double>(geometry.divisions[d]) *
                             fractional[static_cast<std::size_t>(axes[d])] -
                         geometry.origin[d];
        const double lowest = std::floor(g);
        // The cell's far corner must be a grid point too, so the last plane is outside.
        if (!(lowest >= 0.0 && lowest < static_cast<double>(geometry.points[d]) - 1.0))
            return {-1, -1, -1};
        cell[d] = static_cast<std::int32_t>(lowest);
    }
    return cell;
}

float interpolate_density(const Cell& cell, const FourierMap& map, const CartesianPoint& cartesian)
{
    const MapGeometry& geometry = map.geometry;
    const FractionalPoint p = to_fractional(cell, cartesian);
    const GridIndex corner = fractional_to_grid_cell(geometry, p);
    if (corner[0] < 0)
        return 0.0f;

    const std::array<int, 3>& axes = geometry.axes();
    const FractionalPoint c0 = grid_to_fractional(geometry, corner);
    const FractionalPoint c1 =
        grid_to_fractional(geometry, {corner[0] + 1, corner[1] + 1, corner[2] + 1});
    // Weights per grid direction (across, down, section), stored as floats; not clamped.
    float weight[3];
    for (std::size_t d = 0; d < 3; ++d) {
        const auto f = static_cast<std::size_t>(axes[d]);
        weight[d] = static_cast<float>((static_cast<double>(p[f]) - c0[f]) /
                                       (static_cast<double>(c1[f]) - c0[f]));
    }
    const auto row_length = static_cast<std::size_t>(geometry.points[0]);
    const auto section = static_cast<std::size_t>(corner[2]);
    return blend_cell(map.section(section), map.section(section + 1),
                      static_cast<std::size_t>(corner[1]) * row_length +
                          static_cast<std::size_t>(corner[0]),
                      row_length, weight);
}

std::string plain_ascii_sections(const FourierMap& map, int precision)
{
    const std::array<std::int32_t, 3>& points = map.geometry.points;
    std::string text;
    for (int k = 0; k < points[2]; ++k) {
        text += printf_text("\nSection %d\n", k);
        const float* values = map.section(static_cast<std::size_t>(k));
        for (int j = 0; j < points[1]; ++j) {
            for (int i = 0; i < points[0]; ++i)
                text += printf_text("%*.*f ", precision + 6, precision,
                                    double{values[static_cast<std::size_t>(i + j * points[0])]});
            text += '\n';
        }
    }
    return text;
}

std::string plain_wingx_densities(const FourierMap& map)
{
    const std::array<std::int32_t, 3>& points = map.geometry.points;
    std::string bytes;
    for (int k = 0; k < points[2]; ++k) {
        const float* values = map.section(static_cast<std::size_t>(k));
        for (int i = 0; i < points[0]; ++i) {
            for (int j = 0; j < points[1]; ++j)
                append_float32(bytes, values[static_cast<std::size_t>(i + j * points[0])]);
        }
    }
    return bytes;
}

std::string plain_marching_cube_blocks(const Cell& cell, const FourierMap& map)
{
    std::string text;
    walk_plainly(
        cell, map, 1, 0,
        [&](std::int64_t row, std::int64_t block) {
            if (row == 0)
                text += printf_text("BLOCK \n%8" PRId64 " \n", block);
        },
        [&](std::int64_t, float density) { text += printf_text("%15.8f\n", double{density}); });
    return text;
}

std::string plain_xd_values(const Cell& cell, const FourierMap& map)
{
    std::string text = "! Values";
    walk_plainly(
        cell, map, 0, 1, [](std::int64_t, std::int64_t) {},
        [&](std::int64_t n, float density) {
            if (n % 6 == 0)
                text += '\n';
            text += printf_text("%13.4E", double{density});
        });
    return text;
}

}  // namespace grix
