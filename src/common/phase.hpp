// One phase of a GSAS experiment file: its name, cell, atoms and space group.
#pragma once

#include <string>
#include <vector>

namespace grix {

// Atoms per phase; a phase with more is refused.
inline constexpr int MAXATOMS = 1000;

struct CellParameters {
    float a = 0, b = 0, c = 0;             // Angstrom
    float alpha = 0, beta = 0, gamma = 0;  // degrees
};

// Texts keep the blanks of their columns and end at a zero byte, as read.
struct Atom {
    std::string type;   // columns 15-16: "SI", "O "
    std::string label;  // columns 63-73, the multiplicity's columns blanked
    float x = 0, y = 0, z = 0;
    float occupancy = 0;
};

struct Phase {
    std::string name;
    std::string key;  // the records' first four columns, "CRS1"
    CellParameters cell;
    std::vector<Atom> atoms;
    // The count the outputs state: the atoms read, or the file's own count where that
    // is 0 or less (no atoms are read then).
    int atom_count = 0;
    std::string space_group;  // the "SG SYM" record's symbol, blanks trimmed
};

}  // namespace grix
