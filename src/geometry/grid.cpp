#include "geometry/grid.hpp"

#include "common/fatal.hpp"
#include "common/printf_text.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// A map cell whose corners round to the same float coordinate gives an infinite or NaN
// weight; IEEE arithmetic keeps that defined, and it shows in the output as such.
static_assert(std::numeric_limits<double>::is_iec559);

namespace grix {
namespace {

std::int32_t count_axis(char axis, float min, float step, float max)
{
    const double quotient = (static_cast<double>(max) - min) / step;
    const double count = std::ceil(quotient);
    // Written so that NaN fails too; the conversion below is then exact.
    if (!(count >= 0.0 && count <= std::numeric_limits<std::int32_t>::max()))
        throw FatalError(printf_text("Error: the Cartesian grid cannot be counted along %c: "
                                "(max - min) / step = (%g - %g) / %g = %g.\n",
                                axis, static_cast<double>(max), static_cast<double>(min),
                                static_cast<double>(step), quotient));
    return static_cast<std::int32_t>(count);
}

// Two doubles side by side: the grid cell's two columns, across, go through the section
// and down steps of the blend together. Each lane is the same IEEE double operation on
// the same operands as a blend one corner at a time, so the bits are too; the pairs
// halve the work.
using ColumnPair = double __attribute__((vector_size(16)));
using FloatPair = float __attribute__((vector_size(8)));

ColumnPair load_columns(const float* at)
{
#if defined(__SSE2__)
    // One load and one conversion; the generic form below takes five instructions.
    return _mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(at))));
#else
    FloatPair pair;
    std::memcpy(&pair, at, sizeof pair);
    return __builtin_convertvector(pair, ColumnPair);
#endif
}

// The trilinear blend of a map grid cell's eight corner densities, `corner` indexing
// its lowest one in both sections: along the section direction, then down, then across.
// The value stays in double through the three steps and is rounded to float once, at
// the end; rounding between the steps would differ only below float resolution.
inline float blend_cell_columns(const float* near, const float* far, std::size_t corner,
                                std::size_t row_length, const float (&weight)[3])
{
    const double along = weight[2], down = weight[1];
    ColumnPair along_down[2];
    for (std::size_t r = 0; r < 2; ++r) {
        const std::size_t at = corner + r * row_length;
        const ColumnPair v0 = load_columns(near + at);
        along_down[r] = v0 + along * (load_columns(far + at) - v0);
    }
    const ColumnPair along_across =
        along_down[0] + down * (along_down[1] - along_down[0]);
    return static_cast<float>(along_across[0] +
                              weight[0] * (along_across[1] - along_across[0]));
}

// One grid direction as a row sees it: the matrix element that multiplies the moving
// coordinate in the direction's fractional coordinate, and the grid along it.
struct RowDirection {
    double moving_factor;
    double interval;
    double origin;
    double last_plane;
    const GridSpan* spans;
};

// Where fractional coordinates fall along the grid directions: inside the map or not,
// and if so in which grid cell and at what weight within it. Three shortcuts give the
// plain interpolation's result: for a finite g, floor(g) lies in [0, n - 1) exactly when
// g does, with n - 1 a whole number, and then truncation is the floor; the corner
// coordinates come from the spans instead of grid_to_fractional's divisions; and the
// weight's division becomes a multiplication where that rounds to the same float.
// Kept as arrays, not structures, so that the row loop holds them in registers.
struct GridPlaces {
    std::uint32_t bits[3];  // of the coordinates these places are for
    bool inside[3];
    std::size_t cell[3];
    float weight[3];

    void locate(const RowDirection& direction, std::size_t d, float f)
    {
        bits[d] = std::bit_cast<std::uint32_t>(f);
        const double g = direction.interval * f - direction.origin;
        inside[d] = g >= 0.0 && g < direction.last_plane;
        if (!inside[d])
            return;
        cell[d] = static_cast<std::size_t>(static_cast<std::int64_t>(g));
        const GridSpan& span = direction.spans[cell[d]];
        weight[d] =
            divide_to_float(static_cast<double>(f) - span.low, span.width, span.inverse_width);
    }
};

// to_fractional's products m[r][c] x coordinate c are single double multiplications,
// so those of the two coordinates fixed along the row are formed once; each sum still
// runs (m0 u + m1 v) + m2 w. A place is a function of the coordinate's bits alone, so
// each direction's is worked out again only when its coordinate changes: along most
// rows one or two grid directions stand still.
template <int AXIS>
void interpolate_along(const DensityGrid& grid, CartesianPoint& point, float step,
                       std::int64_t count, float* densities)
{
    // Matrix rows in grid direction order: across, down, section.
    double product[3][3];
    RowDirection directions[3];
    for (std::size_t d = 0; d < 3; ++d) {
        const auto r = static_cast<std::size_t>(grid.axes[d]);
        for (std::size_t c = 0; c < 3; ++c)
            product[d][c] = grid.matrix[3 * r + c] * point[c];
        directions[d] = {grid.matrix[3 * r + AXIS], grid.intervals[d], grid.origin[d],
                         grid.last_plane[d], grid.spans[d].data()};
    }
    float& moving = point[AXIS];
    GridPlaces place{};
    for (std::int64_t n = 0; n < count; ++n) {
        for (std::size_t d = 0; d < 3; ++d) {
            product[d][AXIS] = directions[d].moving_factor * moving;
            const auto f = static_cast<float>(product[d][0] + product[d][1] + product[d][2]);
            if (n == 0 || std::bit_cast<std::uint32_t>(f) != place.bits[d])
                place.locate(directions[d], d, f);
        }
        moving += step;
        if (!(place.inside[0] && place.inside[1] && place.inside[2])) {
            densities[n] = 0.0f;
            continue;
        }
        const float* near = grid.values + place.cell[2] * grid.section_length;
        densities[n] = blend_cell_columns(near, near + grid.section_length,
                                          place.cell[1] * grid.row_length + place.cell[0],
                                          grid.row_length, place.weight);
    }
}

void widen_box(float value, float& min, float& max)
{
    if (value < min)
        min = value;
    if (value > max)
        max = value;
}

}  // namespace

FractionalPoint grid_to_fractional(const MapGeometry& geometry, const GridIndex& index)
{
    const std::array<int, 3>& axes = geometry.axes();
    FractionalPoint fractional{};
    for (std::size_t d = 0; d < 3; ++d) {
        // Summed wide: an offset near the int limit must not overflow.
        const std::int64_t position = std::int64_t{index[d]} + geometry.origin[d];
        fractional[static_cast<std::size_t>(axes[d])] =
            static_cast<float>(static_cast<double>(position) / geometry.divisions[d]);
    }
    return fractional;
}

DensityGrid prepare_density_grid(const Cell& cell, const FourierMap& map)
{
    const MapGeometry& geometry = map.geometry;
    DensityGrid grid;
    grid.axes = geometry.axes();
    for (std::size_t n = 0; n < 9; ++n)
        grid.matrix[n] = cell.cart_to_frac.matrix[n];
    for (std::size_t d = 0; d < 3; ++d) {
        grid.intervals[d] = geometry.divisions[d];
        grid.origin[d] = geometry.origin[d];
        grid.last_plane[d] = static_cast<double>(geometry.points[d]) - 1.0;
        // The corners as grid_to_fractional gives them, cell by cell.
        auto corner = [&](std::int32_t n) {
            const std::int64_t position = std::int64_t{n} + geometry.origin[d];
            return static_cast<double>(
                static_cast<float>(static_cast<double>(position) / geometry.divisions[d]));
        };
        grid.spans[d].reserve(static_cast<std::size_t>(geometry.points[d] - 1));
        for (std::int32_t n = 0; n + 1 < geometry.points[d]; ++n) {
            const double low = corner(n), width = corner(n + 1) - low;
            grid.spans[d].push_back({low, width, 1.0 / width});
        }
    }
    grid.values = map.section(0);
    grid.row_length = static_cast<std::size_t>(geometry.points[0]);
    grid.section_length = map.values.stride();
    return grid;
}

void interpolate_row(const DensityGrid& grid, CartesianPoint& point, int axis, float step,
                     std::int64_t count, float* densities)
{
    switch (axis) {
    case 0:
        return interpolate_along<0>(grid, point, step, count, densities);
    case 1:
        return interpolate_along<1>(grid, point, step, count, densities);
    default:
        return interpolate_along<2>(grid, point, step, count, densities);
    }
}

CartesianBox cartesian_box(const Cell& cell, const MapGeometry& geometry)
{
    CartesianBox box{1.0e7f, 0.0f, -1.0e7f, 1.0e7f, 0.0f, -1.0e7f, 1.0e7f, 0.0f, -1.0e7f};
    for (const std::int32_t section : {0, geometry.points[2] - 1}) {
        for (const std::int32_t down : {0, geometry.points[1] - 1}) {
            for (const std::int32_t across : {0, geometry.points[0] - 1}) {
                const CartesianPoint corner =
                    to_cartesian(cell, grid_to_fractional(geometry, {across, down, section}));
                widen_box(corner[0], box.xmin, box.xmax);
                widen_box(corner[1], box.ymin, box.ymax);
                widen_box(corner[2], box.zmin, box.zmax);
            }
        }
    }
    // The steps pair X, Y, Z with slots 0, 1, 2 whatever the section direction.
    box.xstep =
        static_cast<float>(static_cast<double>(cell.parameters.a) / geometry.divisions[0]);
    box.ystep =
        static_cast<float>(static_cast<double>(cell.parameters.b) / geometry.divisions[1]);
    box.zstep =
        static_cast<float>(static_cast<double>(cell.parameters.c) / geometry.divisions[2]);
    return box;
}

GridCounts count_grid_points(const CartesianBox& box)
{
    const GridCounts counts{count_axis('X', box.xmin, box.xstep, box.xmax),
                            count_axis('Y', box.ymin, box.ystep, box.ymax),
                            count_axis('Z', box.zmin, box.zstep, box.zmax)};
    // nx * ny is below 2^62; only the third factor can overflow 64 bits.
    const std::int64_t plane = std::int64_t{counts.nx} * counts.ny;
    if (counts.nz != 0 && plane > std::numeric_limits<std::int64_t>::max() / counts.nz)
        throw FatalError(printf_text("Error: the Cartesian grid of %d x %d x %d points is too "
                                "large to write.\n",
                                counts.nx, counts.ny, counts.nz));
    return counts;
}

void check_output_grid_size(std::uint64_t points, const MapGeometry& geometry)
{
    // The bound may not fit 64 bits; no grid is larger than a saturated one.
    auto multiply = [](std::uint64_t a, std::uint64_t b) {
        constexpr std::uint64_t MOST = std::numeric_limits<std::uint64_t>::max();
        return b != 0 && a > MOST / b ? MOST : a * b;
    };
    std::uint64_t map_points = 1;
    for (const std::int32_t count : geometry.points)
        map_points = multiply(map_points, static_cast<std::uint64_t>(count));
    constexpr std::uint64_t LEAST_BOUND = std::uint64_t{1} << 26;
    constexpr std::uint64_t POINTS_PER_MAP_POINT = 1024;
    if (points > std::max(LEAST_BOUND, multiply(map_points, POINTS_PER_MAP_POINT)))
        throw FatalError(printf_text("Error: the output grid would hold %llu points, from a map "
                                     "of %llu; the map's header is probably damaged.\n",
                                     static_cast<unsigned long long>(points),
                                     static_cast<unsigned long long>(map_points)));
}

CartesianGrid lay_cartesian_grid(const Cell& cell, const MapGeometry& geometry)
{
    const CartesianBox box = cartesian_box(cell, geometry);
    const GridCounts counts = count_grid_points(box);
    // The counts are not negative and their product fits 64 bits.
    check_output_grid_size(static_cast<std::uint64_t>(counts.nx) *
                               static_cast<std::uint64_t>(counts.ny) *
                               static_cast<std::uint64_t>(counts.nz),
                           geometry);
    return {box, counts};
}

}  // namespace grix
