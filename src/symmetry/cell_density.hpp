// A partial Fourier map completed over the whole cell on the map's own grid, by the
// space group's operators.
#pragma once

#include "common/fourier_map.hpp"
#include "symmetry/space_group.hpp"

#include <array>
#include <cstdint>
#include <vector>

namespace grix {

struct CellDensity {
    std::array<int, 3> points;   // grid points per cell along x, y, z (the map's nxyzi
                                 // of the direction on that axis); point n at n / points
    std::vector<float> values;   // x fastest, then y, then z
    std::int64_t unreached = 0;  // points no operator reached (left 0)
};

// Grid points per cell along x, y, z: the map's nxyzi of the direction on each axis. A
// map grid without an interval or a point along a direction, a cell of more than 2^32
// points or of far more points than the map (check_output_grid_size), or a section
// direction other than 1, 2, 3, ends the run.
std::array<int, 3> count_cell_points(const MapHeader& header);

// Every grid point of the cell takes the value of a map point that an operator carries
// onto it, the operators that carry grid points onto grid points first, in the group's
// order (the identity first, so a map that covers the cell gives its own values); where
// an operator's translation or rotation does not land on the grid, the value is
// interpolated trilinearly inside the map's extent. Points no operator reaches are 0 and
// counted. The map must hold the sections and values its header gives; the refusals of
// count_cell_points end the run.
CellDensity complete_cell(const MapHeader& header, const MapSections& sections,
                          const SpaceGroup& group);

}  // namespace grix
