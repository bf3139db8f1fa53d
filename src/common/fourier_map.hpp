// The Fourier map as read from a GSAS map file: its header and its sections.
#pragma once

#include <cstdint>
#include <vector>

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

// One section of the map: grid point (across i, down j) is values[i + j * nxyzt[0]].
struct MapSection {
    std::vector<float> values;
    std::uint32_t tail[2] = {};  // the two words after the values, kept as read
};

using MapSections = std::vector<MapSection>;

struct FourierMap {
    MapHeader header;
    MapSections sections;
};

}  // namespace grix
