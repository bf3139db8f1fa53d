// The completion of a partial map over the cell, point by point: each open cell point
// taken back through each operator on its own, with the divisions and roundings of the
// operators off the grid done for every point. What the shipped completion is proven
// against, bit for bit.
#pragma once

#include "symmetry/cell_density.hpp"

namespace grix {

CellDensity plain_complete_cell(const FourierMap& map, const SpaceGroup& group);

}  // namespace grix
