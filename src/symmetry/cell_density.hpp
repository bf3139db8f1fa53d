// A partial Fourier map completed over the whole cell on the map's own grid, by the
// space group's operators.
#pragma once

#include "common/fourier_map.hpp"
#include "symmetry/space_group.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <new>
#include <optional>
#include <vector>

namespace grix {

// Allocates floats that are written before they are read: new elements are left
// uninitialised rather than zeroed (a whole cell is tens of megabytes, every value
// then written once), and a large array lies on whole 2 MiB pages, which the kernel can
// back with huge pages: far fewer page faults as it is first written, and far fewer
// address translations when it is read across planes.
template <class T>
struct UninitialisedAllocator {
    using value_type = T;

    UninitialisedAllocator() = default;
    template <class U>
    UninitialisedAllocator(const UninitialisedAllocator<U>&) noexcept
    {
    }

    T* allocate(std::size_t count);
    void deallocate(T* values, std::size_t count) noexcept;

    template <class U>
    void construct(U* at) noexcept
    {
        ::new (static_cast<void*>(at)) U;
    }
    template <class U, class... Args>
    void construct(U* at, Args&&... args)
    {
        ::new (static_cast<void*>(at)) U(static_cast<Args&&>(args)...);
    }

    friend bool operator==(UninitialisedAllocator, UninitialisedAllocator) { return true; }
};

extern template struct UninitialisedAllocator<float>;

// A cell's values: a vector that resize() leaves uninitialised.
using CellValues = std::vector<float, UninitialisedAllocator<float>>;

struct CellDensity {
    std::array<int, 3> points;   // grid points per cell along x, y, z (the map's divisions
                                 // of the direction on that axis); point n at n / points
    CellValues values;           // x fastest, then y, then z
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

// The map's own sections where they already are what complete_cell gives, value for
// value: a map of one period along every axis from a grid origin of the cell, across
// along x, down along y, sections along z, whose first operator on the grid is the
// identity. nullopt for any other map. The refusals of count_cell_points end the run.
std::optional<SectionedValues> sections_as_cell(const FourierMap& map, const SpaceGroup& group);

}  // namespace grix
