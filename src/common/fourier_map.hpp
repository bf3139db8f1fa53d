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
};

// Values held section by section without owning them: `sections` runs of
// `section_points` values, each run starting `stride` values after the one before. One
// contiguous block is a single run.
struct SectionedValues {
    const float* first = nullptr;
    std::size_t section_points = 0;
    std::size_t sections = 0;
    std::size_t stride = 0;

    SectionedValues() = default;
    SectionedValues(const float* first_value, std::size_t points, std::size_t count,
                    std::size_t step)
        : first(first_value), section_points(points), sections(count), stride(step)
    {
    }
    // Not explicit: a block is one run wherever runs are asked for.
    SectionedValues(std::span<const float> block)
        : first(block.data()), section_points(block.size()), sections(1), stride(block.size())
    {
    }

    std::span<const float> section(std::size_t k) const
    {
        return {first + k * stride, section_points};
    }
    std::size_t size() const { return section_points * sections; }
};

// The grid's values, section by section, across fastest then down within a section.
// The sections are either one block of their own, one after another, or read in place
// from the map file, where two words separate one section from the next: the values
// keep alive whatever holds them. Values read in place may be read-only memory: only a
// block of their own is written through section().
class MapValues {
public:
    MapValues() = default;
    // `sections` sections of `section_points` values in one block, not initialised.
    // Fails with std::bad_alloc.
    MapValues(std::size_t section_points, std::size_t sections);
    // Sections held by `storage`, section k's first value at first + k * stride.
    MapValues(std::shared_ptr<void> storage, float* first, std::size_t section_points,
              std::size_t sections, std::size_t stride)
        : storage_(std::move(storage)), first_(first), section_points_(section_points),
          sections_(sections), stride_(stride)
    {
    }
    // One owner for the values: a copy would share what one of them may change.
    MapValues(const MapValues&) = delete;
    MapValues& operator=(const MapValues&) = delete;
    MapValues(MapValues&&) = default;
    MapValues& operator=(MapValues&&) = default;

    float* section(std::size_t k) { return first_ + k * stride_; }
    const float* section(std::size_t k) const { return first_ + k * stride_; }
    std::size_t section_points() const { return section_points_; }
    std::size_t sections() const { return sections_; }
    // Values from the start of one section to the start of the next.
    std::size_t stride() const { return stride_; }
    std::size_t size() const { return section_points_ * sections_; }
    SectionedValues all() const { return {first_, section_points_, sections_, stride_}; }

private:
    std::shared_ptr<void> storage_;
    float* first_ = nullptr;
    std::size_t section_points_ = 0;
    std::size_t sections_ = 0;
    std::size_t stride_ = 0;
};

struct FourierMap {
    MapHeader header;
    MapGeometry geometry;
    MapValues values;

    // Section k's values, across fastest.
    const float* section(std::size_t k) const { return values.section(k); }
    // The value at point (across, down, section).
    float at(std::size_t across, std::size_t down, std::size_t section) const
    {
        const auto row = static_cast<std::size_t>(geometry.points[0]);
        return values.section(section)[across + row * down];
    }
    float& at(std::size_t across, std::size_t down, std::size_t section)
    {
        const auto row = static_cast<std::size_t>(geometry.points[0]);
        return values.section(section)[across + row * down];
    }
};

}  // namespace grix
