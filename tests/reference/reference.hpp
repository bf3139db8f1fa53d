// The reference that the shipped numerics are proven against: interpolation of every
// point from scratch, and printf for every value. Linked by the tests and the
// benchmark, never by the tool.
#pragma once

#include "common/fourier_map.hpp"
#include "geometry/cell.hpp"
#include "geometry/grid.hpp"

#include <string>

namespace grix {

// The lowest corner of the map grid cell holding a fractional point, or -1, -1, -1 when
// the point lies outside the map, on its last grid plane included.
GridIndex fractional_to_grid_cell(const MapGeometry& geometry, const FractionalPoint& fractional);

// The density at a Cartesian point by trilinear interpolation in its map grid cell;
// 0 outside the map.
float interpolate_density(const Cell& cell, const FourierMap& map, const CartesianPoint& cartesian);

// The densities of each format as its file holds them, written plainly: the ASCII dump's
// sections (to the end of the file), the WinGX map's columns (after its 76-byte header),
// the Marching Cube blocks (before "LIST5"), the XD grid's "! Values" (to the end).
std::string plain_ascii_sections(const FourierMap& map, int precision);
std::string plain_wingx_densities(const FourierMap& map);
std::string plain_marching_cube_blocks(const Cell& cell, const FourierMap& map);
std::string plain_xd_values(const Cell& cell, const FourierMap& map);

}  // namespace grix
