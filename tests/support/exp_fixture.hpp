// Builds GSAS experiment files as text: 80-column records for phases, cells and atoms.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct FixtureAtom {
    std::string type;   // columns 15-16
    float x = 0, y = 0, z = 0, occupancy = 1;
    std::string label;  // columns 63-70, or 63-73 when there is no multiplicity
    int multiplicity = 0;  // right-aligned in columns 71-74 when positive
};

struct FixturePhase {
    std::string name;
    float cell[6] = {10, 10, 10, 90, 90, 90};
    std::vector<FixtureAtom> atoms;
    // The atom count written in the NATOM record; the number of atoms when unset.
    std::optional<int> natom;
    // The newer layout: ABSCO, ATYPS, F000 and FRML1 records between PNAM and NATOM.
    bool newer_layout = false;
    std::string space_group = "I a 3 d";  // the SG SYM record's symbol
};

enum class LineEnd { lf, crlf, none };

// The text cut or padded with blanks to 80 columns.
std::string exp_record(const std::string& text);

// Atoms O1, O2, ... of type O at distinct positions.
std::vector<FixtureAtom> numbered_atoms(int count);

// Every record of a file: a few leading records, each phase's records (the phases keyed
// CRS1, CRS2, ...), a trailing histogram record.
std::vector<std::string> exp_file_records(const std::vector<FixturePhase>& phases);

// The records joined with the given line end after each one.
std::string join_records(const std::vector<std::string>& records, LineEnd end = LineEnd::crlf);

// join_records(exp_file_records(phases), end).
std::string make_exp_file(const std::vector<FixturePhase>& phases, LineEnd end = LineEnd::crlf);
