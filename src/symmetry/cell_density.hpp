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
    std::array<int, 3> points;   // grid points per cell along x, y, z (the map's divisions
                                 // of the direction on that axis); point n at n / points
    std::vector<float> values;   // x fastest, then y, then z
    std::int64_t unreached = 0;  // points no operator reached (left 0)
};

// Grid points per cell along x, y, z: the map's divisions of the direction on each
// axis. A cell of more than 2^32 points or of far more points than the map
// (check_output_grid_size), or an unknown section direction, ends the run.
std::array<int, 3> count_cell_points(const MapGeometry& geometry);

// Every grid point of the cell takes the value of a map point that an operator carries
// onto it, the operators that carry grid points onto grid points first, in the group's
// order (the identity first, so a map that covers the cell gives its own values); where
// an operator's translation or rotation does not land on the grid, the value is
// interpolated trilinearly inside the map's extent. Points no operator reaches are 0 and
// counted. The refusals of count_cell_points end the run.
CellDensity complete_cell(const FourierMap& map, const SpaceGroup& group);

}  // namespace grix
