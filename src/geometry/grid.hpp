// The map's grid in crystal space and the Cartesian grid the resampling writers fill:
// index <-> fractional mapping, the Cartesian box around the map and trilinear
// interpolation of the density.
#pragma once

#include "common/fourier_map.hpp"
#include "geometry/cell.hpp"

#include <array>
#include <bit>
#include <cstdint>
#include <vector>

namespace grix {

// Map grid indices: across (slot 0), down (slot 1), section (slot 2), the slots of the
// map geometry's triples.
using GridIndex = std::array<std::int32_t, 3>;

// The Cartesian box enclosing the map's grid points, with the steps of the output grid.
struct CartesianBox {
    float xmin, xstep, xmax;
    float ymin, ystep, ymax;
    float zmin, zstep, zmax;
};

// Points of the output grid along X, Y and Z.
struct GridCounts {
    std::int32_t nx, ny, nz;
};

// The Cartesian grid that the resampling formats fill: the box around the map and its
// point counts.
struct CartesianGrid {
    CartesianBox box;
    GridCounts counts;
};

// Fractional coordinates of a grid point. Any indices are accepted, also beyond the map.
// An unknown section direction ends the run.
FractionalPoint grid_to_fractional(const MapGeometry& geometry, const GridIndex& index);

// A map grid cell along one direction: the fractional coordinate of its lower grid
// plane, the distance to the upper one and the reciprocal of that distance.
struct GridSpan {
    double low;
    double width;
    double inverse_width;
};

// What the interpolation of a single point would work out afresh from the map geometry
// and the cell alone, worked out once for a map: the grid directions' fractional axes,
// the inverse cell matrix widened to double, the span of every grid cell along each
// direction and the map's values.
struct DensityGrid {
    std::array<int, 3> axes;                     // fractional axis of across, down, section
    double matrix[9];                            // cart_to_frac
    double intervals[3];                         // divisions
    double origin[3];                            // origin
    double last_plane[3];                        // points - 1: a cell starts below it
    std::array<std::vector<GridSpan>, 3> spans;  // per direction and cell index
    const float* values;                         // the map's, section after section
    std::size_t row_length;                      // points across
    std::size_t section_length;                  // values from one section to the next
};

// float(numerator / denominator), the double quotient rounded once more to float, as an
// interpolation weight is formed, but by a multiplication with `reciprocal`, the double
// nearest 1 / denominator, where that gives the same float. The product lies within 3
// units in the last place of the correctly rounded quotient, so both round to the same
// float unless the product is close to a point halfway between two floats (its 29 bits
// below float precision near 2^28), or outside the normal floats; only then is the
// division done. Needs a denominator whose reciprocal is a normal double, as every
// difference of two floats but zero is.
inline float divide_to_float(double numerator, double denominator, double reciprocal)
{
    constexpr std::uint64_t BELOW_FLOAT = (std::uint64_t{1} << 29) - 1;
    constexpr std::uint64_t HALFWAY = std::uint64_t{1} << 28;
    constexpr std::uint64_t MARGIN = 16;
    constexpr std::uint64_t LOWEST_NORMAL = 1023 - 126;  // biased double exponents
    constexpr std::uint64_t NORMAL_EXPONENTS = 254;
    const double product = numerator * reciprocal;
    const auto bits = std::bit_cast<std::uint64_t>(product);
    const std::uint64_t below = bits & BELOW_FLOAT;
    const std::uint64_t exponent = (bits >> 52) & 0x7FF;
    const bool clear = below - (HALFWAY - MARGIN) > 2 * MARGIN &&
                       exponent - LOWEST_NORMAL < NORMAL_EXPONENTS;
    return clear ? static_cast<float>(product) : static_cast<float>(numerator / denominator);
}

// An unknown section direction ends the run.
DensityGrid prepare_density_grid(const Cell& cell, const FourierMap& map);

// The densities of `count` points of a row of the Cartesian grid by trilinear
// interpolation in the map (0 outside it): the first at `point`, then coordinate `axis`
// (0 X, 1 Y, 2 Z) advanced after each point by adding `step` in float, as the writers'
// loops advance it; `point` is left where the next point would be. Each density is the
// float that a point-by-point interpolation gives: the cell's Cartesian to fractional
// matrix applied in double, the grid cell's corners from grid_to_fractional, weights
// rounded to float, one trilinear blend of the grid cell's eight corners: along the
// section direction, then down, then across, in double, rounded to float once at the
// end. The same double operations run in the same order; only those that do not change
// along the row are done once.
void interpolate_row(const DensityGrid& grid, CartesianPoint& point, int axis, float step,
                     std::int64_t count, float* densities);

// The box of the Cartesian positions of the map's eight grid corners, and the steps
// a / divisions[0], b / divisions[1], c / divisions[2]. An unknown section direction
// ends the run.
CartesianBox cartesian_box(const Cell& cell, const MapGeometry& geometry);

// Points per axis, ceil((max - min) / step): min, min + step, ... below max. A count
// that is not a finite whole number from 0 to the int range, or a grid whose total
// overflows a 64-bit count, ends the run.
GridCounts count_grid_points(const CartesianBox& box);

// An output grid of more than max(2^26, 1024 x the map's points) points, which only a
// damaged header asks for, ends the run before anything is written. `points` is the
// grid's exact count; a count beyond 64 bits is for the caller to refuse.
void check_output_grid_size(std::uint64_t points, const MapGeometry& geometry);

// The Cartesian grid around the map: cartesian_box, count_grid_points and
// check_output_grid_size, whose refusals end the run.
CartesianGrid lay_cartesian_grid(const Cell& cell, const MapGeometry& geometry);

}  // namespace grix
