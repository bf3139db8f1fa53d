#include "geometry/grid.hpp"

#include "common/printf_text.hpp"
#include "geometry/cell.hpp"
#include "readers/map_file.hpp"
#include "reference/reference.hpp"
#include "support/map_fixture.hpp"
#include "writers/writer_fixture.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace grix;

namespace {

using Triple = std::array<std::int32_t, 3>;

const std::array<float, 6> CUBIC{10, 10, 10, 90, 90, 90};
const GridIndex OUTSIDE{-1, -1, -1};
const float INF = std::numeric_limits<float>::infinity();
const float NaN = std::numeric_limits<float>::quiet_NaN();

MapHeader make_grid(int msect, const Triple& nxyzi, const Triple& nxyzo, const Triple& nxyzt)
{
    MapHeader header = make_map_header(nxyzt[0], nxyzt[1], nxyzt[2], msect);
    std::copy(nxyzi.begin(), nxyzi.end(), header.nxyzi);
    std::copy(nxyzo.begin(), nxyzo.end(), header.nxyzo);
    return header;
}

Cell make_orthogonalised(const std::array<float, 6>& cell)
{
    return orthogonalise_cell({cell[0], cell[1], cell[2], cell[3], cell[4], cell[5]});
}

// The Cartesian point at a (fractional) grid position: across, down, section.
CartesianPoint cartesian_at(const Cell& cell, const MapHeader& header,
                            const std::array<double, 3>& position)
{
    FractionalPoint fractional{};
    for (std::size_t d = 0; d < 3; ++d)
        fractional[static_cast<std::size_t>(lay_map_geometry(header).axes()[d])] =
            static_cast<float>((position[d] + header.nxyzo[d]) / header.nxyzi[d]);
    return to_cartesian(cell, fractional);
}

TEST(GridToFractional, AssignsGridDirectionsToCrystalAxes)
{
    struct Case {
        int msect;
        Triple nxyzi, nxyzo;
        FractionalPoint expected;
    };
    // Grid point (across 2, down 3, section 4).
    const Case cases[] = {
        {3, {10, 20, 40}, {0, 0, 0}, {2 / 10.0f, 3 / 20.0f, 4 / 40.0f}},
        {1, {10, 20, 40}, {0, 0, 0}, {4 / 40.0f, 2 / 10.0f, 3 / 20.0f}},
        {2, {10, 20, 40}, {0, 0, 0}, {3 / 20.0f, 4 / 40.0f, 2 / 10.0f}},
        {3, {10, 20, 40}, {1, -2, 5}, {3 / 10.0f, 1 / 20.0f, 9 / 40.0f}},
        // An offset near the int limit must not wrap around.
        {3, {1, 1, 1}, {2147483645, 0, 0}, {2147483647.0f, 3, 4}},
    };
    for (const Case& c : cases) {
        const MapHeader header = make_grid(c.msect, c.nxyzi, c.nxyzo, {5, 5, 5});
        const FractionalPoint fractional = grid_to_fractional(lay_map_geometry(header), {2, 3, 4});
        for (std::size_t f = 0; f < 3; ++f)
            EXPECT_FLOAT_EQ(fractional[f], c.expected[f])
                << "msect " << c.msect << " axis " << f;
    }
}

TEST(FractionalToGridCell, FindsLowestCornerPerSectionDirection)
{
    // Fractional (0.125, 0.0625, 0.1875) with nxyzi (10, 20, 40).
    const std::pair<int, GridIndex> cases[] = {{3, {1, 1, 7}}, {1, {0, 3, 5}}, {2, {1, 2, 2}}};
    for (const auto& [msect, expected] : cases) {
        const MapHeader header = make_grid(msect, {10, 20, 40}, {0, 0, 0}, {9, 9, 9});
        EXPECT_EQ(fractional_to_grid_cell(lay_map_geometry(header), {0.125f, 0.0625f, 0.1875f}),
                  expected)
            << "msect " << msect;
    }
}

TEST(FractionalToGridCell, RoundsDownAndKeepsTheLastPlaneOutside)
{
    struct Case {
        std::int32_t nxyzi, nxyzo0;
        FractionalPoint fractional;
        GridIndex expected;
    };
    // msect 3 and nxyzt (5, 6, 7): the last planes lie at g = 4, 5 and 6.
    const Case cases[] = {
        {10, 0, {-0.05f, 0.1f, 0.1f}, OUTSIDE},     {10, 0, {0.05f, 0.15f, 0.25f}, {0, 1, 2}},
        {8, 0, {0.5f, 0.1f, 0.1f}, OUTSIDE},        {8, 0, {0.49f, 0.1f, 0.1f}, {3, 0, 0}},
        {8, 0, {0.1f, 0.625f, 0.1f}, OUTSIDE},      {8, 0, {0.1f, 0.62f, 0.1f}, {0, 4, 0}},
        {8, 0, {0.1f, 0.1f, 0.75f}, OUTSIDE},       {8, 0, {0.1f, 0.1f, 0.74f}, {0, 0, 5}},
        {8, 2, {0.3125f, 0.1f, 0.1f}, {0, 0, 0}},   {8, 2, {0.1875f, 0.1f, 0.1f}, OUTSIDE},
        {8, 0, {NaN, 0.1f, 0.1f}, OUTSIDE},         {8, 0, {0.1f, INF, 0.1f}, OUTSIDE},
        {8, 0, {0.1f, 0.1f, -INF}, OUTSIDE},        {8, 0, {1e30f, 0.1f, 0.1f}, OUTSIDE},
        {8, 0, {-1e30f, 0.1f, 0.1f}, OUTSIDE},
    };
    for (const Case& c : cases) {
        const MapHeader header = make_grid(3, {c.nxyzi, c.nxyzi, c.nxyzi}, {c.nxyzo0, 0, 0},
                                           {5, 6, 7});
        EXPECT_EQ(fractional_to_grid_cell(lay_map_geometry(header), c.fractional), c.expected)
            << c.fractional[0] << " " << c.fractional[1] << " " << c.fractional[2];
    }
}

TEST(GridOperations, RefuseUnknownSectionDirectionOnStandardOutput)
{
    const Cell cell = make_orthogonalised(CUBIC);
    const std::pair<std::string, FatalStream> expected{"Error: unknown section direction.\n",
                                                       FatalStream::out};
    for (const int msect : {0, 4, -1}) {
        const MapHeader header = make_grid(msect, {10, 10, 10}, {0, 0, 0}, {3, 3, 3});
        const FourierMap map = make_tagged_map(header);
        const MapGeometry geometry = lay_map_geometry(header);
        EXPECT_EQ(fatal_of([&] { grid_to_fractional(geometry, {0, 0, 0}); }), expected);
        EXPECT_EQ(fatal_of([&] { fractional_to_grid_cell(geometry, {0.1f, 0.1f, 0.1f}); }),
                  expected);
        EXPECT_EQ(fatal_of([&] { cartesian_box(cell, geometry); }), expected);
        EXPECT_EQ(fatal_of([&] { interpolate_density(cell, map, {1, 1, 1}); }), expected);
        EXPECT_EQ(fatal_of([&] { prepare_density_grid(cell, map); }), expected);
    }
}

TEST(ApplyTransform, UnitFractionalStepGivesTheMatrixColumn)
{
    const Cell cell = make_orthogonalised({5, 6, 7, 80, 95, 110});
    const float* m = cell.frac_to_cart.matrix;
    EXPECT_EQ(to_cartesian(cell, FractionalPoint{1, 0, 0}), (CartesianPoint{5, 0, 0}));
    EXPECT_EQ(to_cartesian(cell, FractionalPoint{0, 0, 1}), (CartesianPoint{m[2], m[5], m[8]}));
}

TEST(InterpolateDensity, ReproducesGridPointsMidpointsAndInteriorPoints)
{
    // The tagged values 100 k + 10 j + i are linear in the grid position, so trilinear
    // interpolation gives the same expression anywhere inside the map.
    const Cell cell = make_orthogonalised(CUBIC);
    const std::pair<std::array<double, 3>, float> cases[] = {
        {{2, 1, 3}, 312},     {{2.5, 1, 3}, 312.5f},      {{2, 1.5, 3}, 317},
        {{2, 1, 3.5}, 362},   {{0.25, 2.5, 4.75}, 500.25f}, {{3.9, 2.9, 4.9}, 522.9f},
    };
    for (const int msect : {1, 2, 3}) {
        const MapHeader header = make_grid(msect, {20, 20, 20}, {0, 0, 0}, {5, 4, 6});
        const FourierMap map = make_tagged_map(header);
        for (const auto& [position, expected] : cases)
            EXPECT_NEAR(interpolate_density(cell, map, cartesian_at(cell, header, position)),
                        expected, 2e-3)
                << "msect " << msect << " at " << position[0] << " " << position[1] << " "
                << position[2];
    }
}

TEST(InterpolateDensity, GivesZeroOnAndBeyondTheMapBounds)
{
    const Cell cell = make_orthogonalised(CUBIC);
    const std::array<double, 3> positions[] = {{4, 1, 1},    {1, 3, 1},    {1, 1, 5},
                                               {-0.5, 1, 1}, {1, -0.5, 1}, {1, 1, -0.5}};
    for (const int msect : {1, 2, 3}) {
        const MapHeader header = make_grid(msect, {20, 20, 20}, {0, 0, 0}, {5, 4, 6});
        const FourierMap map = make_tagged_map(header);
        for (const auto& position : positions)
            EXPECT_EQ(interpolate_density(cell, map, cartesian_at(cell, header, position)), 0.0f)
                << "msect " << msect << " at " << position[0] << " " << position[1] << " "
                << position[2];
    }
    // A single plane along any direction leaves no cell at all.
    for (const Triple& nxyzt : {Triple{1, 4, 4}, Triple{4, 1, 4}, Triple{4, 4, 1}}) {
        const MapHeader header = make_grid(3, {20, 20, 20}, {0, 0, 0}, nxyzt);
        const FourierMap map = make_tagged_map(header);
        for (const float at : {0.0f, 0.25f, 1.0f})
            EXPECT_EQ(interpolate_density(cell, map, {at, at, at}), 0.0f);
    }
}

// A density linear in the fractional coordinates on a triclinic cell must come back
// from trilinear interpolation anywhere inside the map. The Cartesian points come from
// the textbook orthogonalisation in double, independent of the stored matrices.
TEST(InterpolateDensity, ReproducesLinearDensityOnTriclinicCell)
{
    const double a = 5, b = 6, c = 7, to_rad = std::acos(-1.0) / 180;
    const double ca = std::cos(80 * to_rad), cb = std::cos(95 * to_rad);
    const double cg = std::cos(110 * to_rad), sg = std::sin(110 * to_rad);
    const double volume =
        a * b * c * std::sqrt(1 - ca * ca - cb * cb - cg * cg + 2 * ca * cb * cg);
    const auto density_at = [](const std::array<double, 3>& f) {
        return 1.5 + 20 * f[0] - 30 * f[1] + 40 * f[2];
    };
    const Cell cell = make_orthogonalised({5, 6, 7, 80, 95, 110});

    for (const int msect : {1, 2, 3}) {
        const MapHeader header = make_grid(msect, {12, 16, 20}, {-3, 2, -5}, {10, 9, 11});
        const auto axes = lay_map_geometry(header).axes();
        const auto fractional_at = [&](const std::array<double, 3>& position) {
            std::array<double, 3> f{};
            for (std::size_t d = 0; d < 3; ++d)
                f[static_cast<std::size_t>(axes[d])] =
                    (position[d] + header.nxyzo[d]) / header.nxyzi[d];
            return f;
        };
        FourierMap map = make_tagged_map(header);
        for (std::size_t k = 0; k < 11; ++k)
            for (std::size_t j = 0; j < 9; ++j)
                for (std::size_t i = 0; i < 10; ++i)
                    map.at(i, j, k) = static_cast<float>(
                        density_at(fractional_at({double(i), double(j), double(k)})));

        for (double u = 0.2; u < 8.8; u += 1.1) {
            for (double v = 0.2; v < 7.8; v += 1.3) {
                for (double w = 0.2; w < 9.8; w += 1.7) {
                    const std::array<double, 3> f = fractional_at({u, v, w});
                    const CartesianPoint cartesian{
                        static_cast<float>(a * f[0] + b * cg * f[1] + c * cb * f[2]),
                        static_cast<float>(b * sg * f[1] + c * (ca - cb * cg) / sg * f[2]),
                        static_cast<float>(volume / (a * b * sg) * f[2])};
                    EXPECT_NEAR(interpolate_density(cell, map, cartesian),
                                density_at(f), 2e-4)
                        << "msect " << msect << " at " << u << " " << v << " " << w;
                }
            }
        }
    }
}

TEST(CartesianBox, CubicCellGridIncludingBothFaces)
{
    const Cell cell = make_orthogonalised(CUBIC);
    const CartesianBox box =
        cartesian_box(
            cell, lay_map_geometry(make_grid(3, {20, 20, 20}, {0, 0, 0}, {21, 21, 21})));
    // Through the tiny off-diagonal terms the box reaches just below 0 in X and Y.
    EXPECT_LT(box.xmin, 0.0f);
    EXPECT_NEAR(box.xmin, -1.0e-10, 0.05e-10);
    EXPECT_LT(box.ymin, 0.0f);
    EXPECT_NEAR(box.ymin, -5.1e-11, 0.1e-11);
    EXPECT_EQ(box.zmin, 0.0f);
    EXPECT_EQ((std::array{box.xstep, box.xmax, box.ystep, box.ymax, box.zstep, box.zmax}),
              (std::array{0.5f, 10.0f, 0.5f, 10.0f, 0.5f, 10.0f}));
    const GridCounts counts = count_grid_points(box);
    EXPECT_EQ((Triple{counts.nx, counts.ny, counts.nz}), (Triple{21, 21, 20}));

    // Sections along x: x spans (nxyzt[2] - 1) / nxyzi[2]; the steps keep slots 0, 1, 2.
    const Cell oblong = make_orthogonalised({8, 9, 10, 90, 90, 90});
    const CartesianBox sideways =
        cartesian_box(
            oblong, lay_map_geometry(make_grid(1, {16, 30, 40}, {0, 0, 0}, {4, 5, 9})));
    EXPECT_EQ((std::array{sideways.xstep, sideways.ystep, sideways.zstep}),
              (std::array{0.5f, 0.3f, 0.25f}));
    EXPECT_FLOAT_EQ(sideways.xmax, 8 * 8 / 40.0f);
    EXPECT_FLOAT_EQ(sideways.ymax, 9 * 3 / 16.0f);
    EXPECT_FLOAT_EQ(sideways.zmax, 10 * 4 / 30.0f);
}

TEST(CountGridPoints, CountsPointsBelowTheMaximum)
{
    struct Case {
        float min, step, max;
        std::int32_t expected;
    };
    const Case cases[] = {
        {0, 0.5f, 10, 20},        // whole quotient: max itself is not sampled
        {-1e-10f, 0.5f, 10, 21},  // just above a whole quotient
        {3, 0.5f, 3, 0},          // no extent
        {0, 1, 2147483520.0f, 2147483520},
    };
    for (const Case& c : cases)
        EXPECT_EQ(count_grid_points({c.min, c.step, c.max, 0, 1, 1, 0, 1, 1}).nx, c.expected)
            << c.min << " " << c.step << " " << c.max;
    // Two axes at the int limit still fit a 64-bit count.
    EXPECT_EQ(count_grid_points({0, 1, 2147483520.0f, 0, 1, 2147483520.0f, 0, 1, 1}).nz, 1);
}

TEST(CountGridPoints, RefusesCountsThatAreNotWholeIntsOrOverflow)
{
    const std::pair<CartesianBox, const char*> cases[] = {
        {{0, 1, 1, 0, 1, NaN, 0, 1, 1},
         "cannot be counted along Y: (max - min) / step = (nan - 0) / 1 = nan.\n"},
        {{0, 1, 1, 0, 1, 1, 1e7f, 0.5f, INF},
         "cannot be counted along Z: (max - min) / step = (inf - 1e+07) / 0.5 = inf.\n"},
        {{0, 0, 1, 0, 1, 1, 0, 1, 1},
         "cannot be counted along X: (max - min) / step = (1 - 0) / 0 = inf.\n"},
        {{0, 1, 1, 0, 1e-3f, 3e6f, 0, 1, 1},
         "cannot be counted along Y: (max - min) / step = (3e+06 - 0) / 0.001 = 3e+09.\n"},
        {{1e7f, 0.5f, -1e7f, 0, 1, 1, 0, 1, 1},
         "cannot be counted along X: (max - min) / step = (-1e+07 - 1e+07) / 0.5 = -4e+07.\n"},
        {{0, 1, 2147483520.0f, 0, 1, 2147483520.0f, 0, 1, 3},
         "of 2147483520 x 2147483520 x 3 points is too large to write.\n"},
    };
    for (const auto& [box, what] : cases)
        EXPECT_EQ(fatal_of([&, &box = box] { count_grid_points(box); }),
                  std::make_pair("Error: the Cartesian grid " + std::string(what),
                                 FatalStream::err));
}

}  // namespace

// The bound is 2^26 points for a map of up to 65536 points and 1024 per map point beyond;
// one point more is refused, with both counts named. A map whose 1024-fold count passes
// 64 bits bounds nothing.
TEST(CheckOutputGridSize, RefusesOnePointPastTheBound)
{
    constexpr std::uint64_t MOST = std::numeric_limits<std::uint64_t>::max();
    const std::pair<Triple, std::uint64_t> cases[] = {
        {{3, 2, 2}, 67108864},
        {{64, 32, 32}, 67108864},       // 65536 points: both bounds meet
        {{65, 32, 32}, 68157440},       // 66560 points
        {{INT32_MAX, INT32_MAX, INT32_MAX}, MOST},
    };
    for (const auto& [nxyzt, bound] : cases) {
        MapHeader header = make_grid(3, {1, 1, 1}, {0, 0, 0}, {1, 1, 1});
        std::copy(nxyzt.begin(), nxyzt.end(), header.nxyzt);
        const unsigned long long map_points = static_cast<unsigned long long>(nxyzt[0]) *
                                              static_cast<unsigned long long>(nxyzt[1]) *
                                              static_cast<unsigned long long>(nxyzt[2]);
        EXPECT_NO_THROW(check_output_grid_size(bound, lay_map_geometry(header)));
        if (bound == MOST)
            continue;
        EXPECT_EQ(fatal_of([&] { check_output_grid_size(bound + 1, lay_map_geometry(header)); }),
                  std::make_pair(printf_text("Error: the output grid would hold %llu points, "
                                             "from a map of %llu; the map's header is probably "
                                             "damaged.\n",
                                             static_cast<unsigned long long>(bound + 1),
                                             map_points),
                                 FatalStream::err));
    }
}
