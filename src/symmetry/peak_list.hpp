// The peaks of a map as a crystallographer lists them: each one that symmetry repeats
// once, beside the atom of the whole cell nearest to it.
#pragma once

#include "geometry/peaks.hpp"
#include "symmetry/space_group.hpp"
#include "symmetry/whole_cell.hpp"

#include <cstddef>
#include <vector>

namespace grix {

// The first `count` of `peaks`, in their order, that are not an image of one kept
// before them under the operators, lattice translations included. An image within `steps` (one grid
// step along each fractional axis) of a peak is that peak, so that images found on a
// grid the operator does not map onto itself still count as one.
std::vector<GridPeak> drop_symmetry_repeats(const std::vector<GridPeak>& peaks,
                                            const SpaceGroup& group,
                                            const std::array<double, 3>& steps,
                                            std::size_t count);

struct NearestAtom {
    const CellAtom* atom = nullptr;  // null when the cell holds no atom
    double distance = 0;             // Angstrom
};

// The atom of the cell nearest to a fractional position, over every lattice translation.
NearestAtom find_nearest_atom(const WholeCell& cell, const Fractional& position);

}  // namespace grix
