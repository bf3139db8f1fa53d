// The map's grid in crystal space and the Cartesian grid the resampling writers fill:
// index <-> fractional mapping, the cell transformations applied to a point, the
// Cartesian box around the map and trilinear interpolation of the density.
#pragma once

#include "common/records.hpp"

#include <array>
#include <cstdint>

// A point: fractional x, y, z or Cartesian X, Y, Z (Angstrom), in that order.
using Point3 = std::array<float, 3>;

// Map grid indices: across (slot 0), down (slot 1), section (slot 2), the slots of the
// header's nxyzi, nxyzo and nxyzt.
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

// The fractional axis (0 x, 1 y, 2 z) that the across, down and section directions run
// along for the section direction `msect`. Any msect but 1, 2 or 3 ends the run.
const std::array<int, 3>& direction_axes(std::int32_t msect);

// The matrix of `transform` times the point; the translation is not added.
Point3 apply_transform(const CellTransform& transform, const Point3& point);

// Fractional coordinates of a grid point. Any indices are accepted, also beyond the map.
Point3 grid_to_fractional(const MapHeader& header, const GridIndex& index);

// The lowest corner of the map grid cell holding a fractional point, or -1, -1, -1 when
// the point lies outside the map, on its last grid plane included.
GridIndex fractional_to_grid_cell(const MapHeader& header, const Point3& fractional);

// The density at a Cartesian point by trilinear interpolation in its map grid cell;
// 0 outside the map. Needs `cart_to_frac` from orthogonalise_cell.
float interpolate_density(const StructureInfo& structure, const MapHeader& header,
                          const MapSections& sections, const Point3& cartesian);

// The box of the Cartesian positions of the map's eight grid corners, and the steps
// a / nxyzi[0], b / nxyzi[1], c / nxyzi[2]. Needs `frac_to_cart` from
// orthogonalise_cell. A map grid without intervals or points along a direction ends the run.
CartesianBox cartesian_box(const StructureInfo& structure, const MapHeader& header);

// Points per axis, ceil((max - min) / step): min, min + step, ... below max. A count
// that is not a finite whole number from 0 to the int range, or a grid whose total
// overflows a 64-bit count, ends the run.
GridCounts count_grid_points(const CartesianBox& box);
