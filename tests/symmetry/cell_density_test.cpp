#include "reference/plain_cell_density.hpp"
#include "symmetry/cell_atoms.hpp"
#include "symmetry/cell_density.hpp"
#include "support/map_fixture.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

using namespace grix;

namespace {

// Per section direction msect 1, 2, 3: the fractional axis of across, down, section.
constexpr int AXES[3][3] = {{1, 2, 0}, {2, 0, 1}, {0, 1, 2}};

// A density with the group's symmetry: a Gaussian at every image of two sites, in a
// metric the group's rotations keep.
struct SymmetricDensity {
    std::vector<grix::Fractional> atoms;
    bool hexagonal;

    SymmetricDensity(const char* symbol, bool hexagonal) : hexagonal(hexagonal)
    {
        const grix::SpaceGroup group = *grix::read_space_group(symbol);
        for (const grix::Fractional site : {grix::Fractional{0.13, 0.27, 0.41}, {0.61, 0.05, 0.83}})
            for (const grix::Fractional& image : grix::images_in_cell(group, site))
                atoms.push_back(image);
    }

    double at(const grix::Fractional& point) const
    {
        double sum = 0;
        for (const grix::Fractional& atom : atoms) {
            double d[3];
            for (int i = 0; i < 3; ++i)
                d[i] = point[i] - atom[i] - std::round(point[i] - atom[i]);
            const double cross = hexagonal ? d[0] * d[1] : 0;  // gamma = 120 degrees
            const double square = d[0] * d[0] + d[1] * d[1] + d[2] * d[2] - cross;
            sum += std::exp(-square / (2 * 0.08 * 0.08));
        }
        return sum;
    }
};

struct AxisGrid {
    int cell, origin, extent;  // nxyzi, nxyzo, nxyzt of the direction along the axis
};

// The density sampled on a map grid given per fractional axis x, y, z.
FourierMap sample_map(const SymmetricDensity& density, int msect,
                      const std::array<AxisGrid, 3>& grid)
{
    MapHeader header;
    header.msect = msect;
    for (int d = 0; d < 3; ++d) {
        const AxisGrid& axis = grid[AXES[msect - 1][d]];
        header.nxyzi[d] = axis.cell;
        header.nxyzo[d] = axis.origin;
        header.nxyzt[d] = axis.extent;
    }
    const int* extent = header.nxyzt;
    header.nrho = extent[0] * extent[1];
    MapSections sections;
    for (int k = 0; k < extent[2]; ++k) {
        sections.emplace_back();
        for (int j = 0; j < extent[1]; ++j)
            for (int i = 0; i < extent[0]; ++i) {
                const int index[3] = {i, j, k};
                grix::Fractional point{};
                for (int d = 0; d < 3; ++d)
                    point[AXES[msect - 1][d]] =
                        double(index[d] + header.nxyzo[d]) / header.nxyzi[d];
                sections.back().values.push_back(static_cast<float>(density.at(point)));
            }
    }
    return make_map(header, sections);
}

// The largest difference from the density over the whole cell, relative to its peak.
double relative_error(const SymmetricDensity& density, const grix::CellDensity& cell)
{
    double error = 0, peak = 0;
    std::size_t n = 0;
    for (int z = 0; z < cell.points[2]; ++z)
        for (int y = 0; y < cell.points[1]; ++y)
            for (int x = 0; x < cell.points[0]; ++x, ++n) {
                const double expected = density.at({double(x) / cell.points[0],
                                                    double(y) / cell.points[1],
                                                    double(z) / cell.points[2]});
                error = std::max(error, std::fabs(cell.values[n] - expected));
                peak = std::max(peak, expected);
            }
    return error / peak;
}

TEST(CompleteCell, CompletesAQuarterCellInEveryOrientation)
{
    // P 21/c: y from 0 to 1/4 is an asymmetric unit; x and z run over a whole period
    // from an offset, a negative one along x.
    const SymmetricDensity density("P 21/c", false);
    const grix::SpaceGroup group = *grix::read_space_group("P 21/c");
    for (int msect = 1; msect <= 3; ++msect) {
        const FourierMap map = sample_map(density, msect, {{{12, -3, 12}, {16, 0, 5}, {10, 2, 10}}});
        const grix::CellDensity cell = grix::complete_cell(map, group);
        EXPECT_EQ(cell.points, (std::array<int, 3>{12, 16, 10})) << "msect " << msect;
        EXPECT_EQ(cell.unreached, 0) << "msect " << msect;
        EXPECT_LT(relative_error(density, cell), 1e-6) << "msect " << msect;
    }
}

TEST(CompleteCell, UsesHexagonalOperatorsOnTheGridAndInterpolatesOffIt)
{
    // P 32 2 1 from z = 0 to 1/6 on a grid whose 18 sections take the thirds of the
    // screw axes; on 20 sections they fall between grid planes and are interpolated.
    const SymmetricDensity density("P 32 2 1", true);
    const grix::SpaceGroup group = *grix::read_space_group("P 32 2 1");
    const FourierMap exact = sample_map(density, 3, {{{12, 0, 12}, {12, 0, 12}, {18, 0, 4}}});
    const grix::CellDensity on_grid = grix::complete_cell(exact, group);
    EXPECT_EQ(on_grid.unreached, 0);
    EXPECT_LT(relative_error(density, on_grid), 1e-6);

    const FourierMap coarse = sample_map(density, 2, {{{12, 0, 13}, {12, 0, 13}, {20, 0, 8}}});
    const grix::CellDensity interpolated =
        grix::complete_cell(coarse, group);
    EXPECT_EQ(interpolated.unreached, 0);
    EXPECT_LT(relative_error(density, interpolated), 0.06);  // trilinear, 1/20 of c apart
}

TEST(CompleteCell, CountsPointsNoOperatorReaches)
{
    const SymmetricDensity density("P 1", false);
    const grix::SpaceGroup group = *grix::read_space_group("P 1");
    const FourierMap part = sample_map(density, 1, {{{8, 1, 3}, {6, 0, 6}, {4, 2, 1}}});
    const grix::CellDensity cell = grix::complete_cell(part, group);
    EXPECT_EQ(cell.unreached, 8 * 6 * 4 - 3 * 6 * 1);
    EXPECT_EQ(std::count(cell.values.begin(), cell.values.end(), 0.0f), cell.unreached);
    EXPECT_EQ(cell.values[1 + 8 * 6 * 2], part.values.section(0)[0]);  // x 1, y 0, z 2

    // More than a cell, both faces and beyond: the map's own values.
    const FourierMap whole = sample_map(density, 3, {{{8, -1, 10}, {6, 0, 7}, {4, 0, 5}}});
    const grix::CellDensity full = grix::complete_cell(whole, group);
    EXPECT_EQ(full.unreached, 0);
    EXPECT_LT(relative_error(density, full), 1e-6);
}

TEST(CompleteCell, OffTheGridEqualsThePlainFormBitForBit)
{
    // Grids the operators do not carry onto themselves, one way or another: a half
    // translation on an odd count (P 21 along y, P 21/c along y and z), thirds on a count
    // of no 3 with unequal x and y counts (P 32 2 1, R -3 c's centring), axes swapped
    // between unequal counts (I a 3 d); partial maps, maps beyond a cell, negative origins.
    struct Case {
        const char* symbol;
        bool hexagonal;
        std::array<AxisGrid, 3> grid;
    };
    const Case cases[] = {
        {"P 21", false, {{{12, 0, 12}, {15, 0, 8}, {10, 0, 10}}}},
        {"P 21", false, {{{9, -4, 13}, {15, -2, 9}, {7, 3, 7}}}},
        {"P 21/c", false, {{{10, -3, 10}, {11, 0, 7}, {9, 1, 6}}}},
        {"P 32 2 1", true, {{{13, 0, 13}, {12, 0, 12}, {20, 0, 8}}}},
        {"P 32 2 1", true, {{{12, -2, 9}, {14, 3, 11}, {19, -1, 23}}}},
        {"R -3 c", true, {{{13, 0, 13}, {12, 0, 12}, {19, 0, 7}}}},
        {"I a 3 d", false, {{{12, 0, 7}, {10, 0, 10}, {8, 0, 5}}}},
        {"I a 3 d", false, {{{11, -5, 9}, {9, 2, 6}, {13, 0, 13}}}},
    };
    for (const Case& c : cases) {
        const SymmetricDensity density(c.symbol, c.hexagonal);
        const grix::SpaceGroup group = *grix::read_space_group(c.symbol);
        for (int msect = 1; msect <= 3; ++msect) {
            const FourierMap map = sample_map(density, msect, c.grid);
            const grix::CellDensity shipped = grix::complete_cell(map, group);
            const grix::CellDensity plain =
                grix::plain_complete_cell(map, group);
            const std::string where = std::string(c.symbol) + ", msect " + std::to_string(msect);
            EXPECT_EQ(shipped.unreached, plain.unreached) << where;
            ASSERT_EQ(shipped.values.size(), plain.values.size()) << where;
            std::size_t differing = 0;
            for (std::size_t i = 0; i < plain.values.size(); ++i)
                differing += std::bit_cast<std::uint32_t>(shipped.values[i]) !=
                             std::bit_cast<std::uint32_t>(plain.values[i]);
            EXPECT_EQ(differing, 0u) << where;
        }
    }
}

TEST(CompleteCell, AMapOfOnePeriodGivesItsOwnValuesBitForBit)
{
    // Exactly one period along every axis, from offsets of either sign and of whole
    // periods: each map point lands on a cell point of its own.
    struct Case {
        const char* symbol;
        std::array<AxisGrid, 3> grid;
    };
    const Case cases[] = {
        {"P 1", {{{8, 0, 8}, {6, 0, 6}, {5, 0, 5}}}},
        {"P 1", {{{8, -3, 8}, {6, 7, 6}, {5, 10, 5}}}},
        {"P 21/c", {{{9, 2, 9}, {7, -7, 7}, {6, -1, 6}}}},
    };
    for (const Case& c : cases) {
        const SymmetricDensity density(c.symbol, false);
        const grix::SpaceGroup group = *grix::read_space_group(c.symbol);
        for (int msect = 1; msect <= 3; ++msect) {
            const FourierMap map = sample_map(density, msect, c.grid);
            const grix::CellDensity shipped = grix::complete_cell(map, group);
            const grix::CellDensity plain = grix::plain_complete_cell(map, group);
            const std::string where = std::string(c.symbol) + ", msect " + std::to_string(msect);
            EXPECT_EQ(shipped.unreached, 0) << where;
            ASSERT_EQ(shipped.values.size(), plain.values.size()) << where;
            EXPECT_TRUE(std::equal(shipped.values.begin(), shipped.values.end(),
                                   plain.values.begin(), [](float a, float b) {
                                       return std::bit_cast<std::uint32_t>(a) ==
                                              std::bit_cast<std::uint32_t>(b);
                                   }))
                << where;
        }
    }
}

TEST(CompleteCell, AMapThatIsTheCellInItsOwnOrderIsReadInPlace)
{
    // In place only for one period along x, y, z as across, down, sections, from a grid
    // origin of the cell, with the identity the first operator on the grid; then every
    // value is complete_cell's, read from sections apart by two words as in a map file.
    struct Case {
        const char* symbol;
        bool identity_first;
        int msect;
        std::array<AxisGrid, 3> grid;
        bool in_place;
    };
    const Case cases[] = {
        {"P 1", true, 3, {{{8, 0, 8}, {6, 0, 6}, {5, 0, 5}}}, true},
        {"P 21/c", true, 3, {{{9, -9, 9}, {7, 14, 7}, {6, 0, 6}}}, true},
        {"P 1", true, 3, {{{8, -3, 8}, {6, 0, 6}, {5, 0, 5}}}, false},
        {"P 1", true, 3, {{{8, 0, 8}, {6, 0, 6}, {5, 0, 6}}}, false},
        {"P 1", true, 1, {{{8, 0, 8}, {6, 0, 6}, {5, 0, 5}}}, false},
        {"P 1", true, 2, {{{8, 0, 8}, {6, 0, 6}, {5, 0, 5}}}, false},
        {"P 21/c", false, 3, {{{9, 0, 9}, {7, 0, 7}, {6, 0, 6}}}, false},
    };
    for (const Case& c : cases) {
        const std::string where = std::string(c.symbol) + ", msect " + std::to_string(c.msect);
        grix::SpaceGroup group = *grix::read_space_group(c.symbol);
        if (!c.identity_first)
            std::rotate(group.ops.begin(), group.ops.begin() + 1, group.ops.end());
        FourierMap map = sample_map(SymmetricDensity(c.symbol, false), c.msect, c.grid);
        const std::size_t plane = map.geometry.section_points();
        const std::size_t count = map.values.sections();
        auto gapped = std::make_shared<std::vector<float>>((plane + 2) * count, std::nanf(""));
        for (std::size_t k = 0; k < count; ++k)
            std::copy_n(map.section(k), plane, gapped->data() + (plane + 2) * k);
        map.values = grix::MapValues(gapped, gapped->data(), plane, count, plane + 2);

        const std::optional<grix::SectionedValues> in_place = grix::sections_as_cell(map, group);
        ASSERT_EQ(in_place.has_value(), c.in_place) << where;
        if (!in_place)
            continue;
        const grix::CellDensity copied = grix::complete_cell(map, group);
        ASSERT_EQ(in_place->size(), copied.values.size()) << where;
        std::size_t differing = 0;
        for (std::size_t z = 0; z < in_place->sections; ++z)
            for (std::size_t n = 0; n < plane; ++n)
                differing += std::bit_cast<std::uint32_t>(in_place->section(z)[n]) !=
                             std::bit_cast<std::uint32_t>(copied.values[plane * z + n]);
        EXPECT_EQ(differing, 0u) << where;
    }
}

}  // namespace
