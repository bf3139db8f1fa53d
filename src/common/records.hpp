// The records that every stage of a run shares: the Fourier map as read from the
// GSAS map file, the chosen phase of the experiment file, and the cell transformations.
#pragma once

#include <cstdint>
#include <vector>

// Atom slots per phase; a phase with more atoms is refused.
inline constexpr int MAXATOMS = 1000;

// Degrees to radians as the 11-digit decimal, not the double nearest to pi/180: the
// cell matrices and the Marching Cube CELL lines depend on this exact value.
inline constexpr double DEG_TO_RAD = 0.01745329252;

// The header of a GSAS Fourier map file. Slot 0 of the triples belongs to the across
// direction (position in a row), slot 1 to down (row in a section), slot 2 to section.
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

// A 3x3 matrix stored row by row (row r yields output coordinate r), then a
// translation that is always zero.
struct CellTransform {
    float matrix[9] = {};
    float translation[3] = {};
};

// The phase that the map belongs to. Atom texts keep the blanks of their columns.
struct StructureInfo {
    float a = 0, b = 0, c = 0;              // Angstrom
    float alpha = 0, beta = 0, gamma = 0;   // degrees
    std::int32_t natoms = 0;
    char atom_type[MAXATOMS][3] = {};
    float x[MAXATOMS] = {};
    float y[MAXATOMS] = {};
    float z[MAXATOMS] = {};
    float occupancy[MAXATOMS] = {};
    char atom_label[MAXATOMS][12] = {};
    CellTransform frac_to_cart;
    CellTransform cart_to_frac;
};
