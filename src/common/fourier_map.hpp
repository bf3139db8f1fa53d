// The Fourier map as read from a GSAS map file: its header, the grid it lays out and the
// grid's values.
#pragma once

#include "common/fatal.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace grix {

// Slot 0 of the triples belongs to the across direction (position in a row), slot 1 to
// down (row in a section), slot 2 to section.
struct MapHeader {
    char title[67] = {};
    char phase[67] = {};
    char maptyp[5] = {};
    float cell[7] = {};
    std::int32_t nxyzi[3] = {};  // grid intervals per cell repeat
    std::int32_t nxyzo[3] = {};  // grid index of the map's first point
    std::int32_t nxyzt[3] = {};  // points across, points down, number of sections
    std::int32_t msect = 0;      // 1: sections along x, 2: along y, 3: along z
    std::int32_t nrho = 0;       // values stored per section
    float rmax = 0;
    float rmin = 0;
    float srho = 0;
};

// The map's grid, per direction across (slot 0), down (1) and section (2). The reader
// lays it out and checks it: every direction has at least one interval per cell and at
// least one point. Only the section direction may be unknown; the stages that need the
// directions' axes refuse such a map through axes().
struct MapGeometry {
    static constexpr int UNKNOWN_AXIS = -1;
    std::array<int, 3> axis = {UNKNOWN_AXIS, UNKNOWN_AXIS, UNKNOWN_AXIS};  // 0 x, 1 y, 2 z
    std::array<std::int32_t, 3> divisions = {};  // grid intervals per cell repeat (nxyzi)
    std::array<std::int32_t, 3> origin = {};     // grid index of the first point (nxyzo)
    std::array<std::int32_t, 3> points = {};     // points along the direction (nxyzt)

    bool knows_axes() const { return axis[0] != UNKNOWN_AXIS; }

    // The fractional axis of each direction; a map of unknown section direction ends
    // the run, reported on standard output.
    const std::array<int, 3>& axes() const
    {
        if (!knows_axes())
            throw FatalError("Error: unknown section direction.\n", FatalStream::out);
        return axis;
    }

    std::size_t section_points() const
    {
        return static_cast<std::size_t>(points[0]) * static_cast<std::size_t>(points[1]);
    }
    std::size_t total_points() const
    {
        return section_points() * static_cast<std::size_t>(points[2]);
    }
    // Where point (across, down, section) sits among the values.
    std::size_t index(std::size_t across, std::size_t down, std::size_t section) const
    {
        return across + static_cast<std::size_t>(points[0]) * down + section_points() * section;
    }
};

// The grid's values in one block: across fastest, then down, then section, with no
// gaps between sections.
class MapValues {
public:
    MapValues() = default;
    // `count` values, not initialised, on a cache line, or on a 2 MiB page for a large
    // map. Fails with std::bad_alloc.
    explicit MapValues(std::size_t count);

    float* data() { return values_.get(); }
    const float* data() const { return values_.get(); }
    std::size_t size() const { return size_; }
    std::span<const float> all() const { return {data(), size()}; }

private:
    // Frees with the alignment the allocation chose for `size` values.
    struct Release {
        std::size_t size;
        void operator()(float* values) const;
    };
    std::unique_ptr<float[], Release> values_;
    std::size_t size_ = 0;
};

struct FourierMap {
    MapHeader header;
    MapGeometry geometry;
    MapValues values;

    // Section k's values, across fastest.
    const float* section(std::size_t k) const
    {
        return values.data() + k * geometry.section_points();
    }
};

}  // namespace grix
