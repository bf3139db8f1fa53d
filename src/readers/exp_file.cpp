#include "readers/exp_file.hpp"

#include "common/fatal.hpp"
#include "readers/exp_records.hpp"
#include "readers/paths.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <fstream>
#include <memory>
#include <optional>

namespace {

// Phases beyond this many are ignored.
constexpr int MAX_PHASES = 10;

struct PhaseAtom {
    char type[3];
    char label[12];
    float x, y, z, occupancy;
};

struct Phase {
    char name[80];
    std::int32_t natoms;
    float cell[6];  // a, b, c, alpha, beta, gamma
    PhaseAtom atoms[MAXATOMS];
};

using PhaseTable = std::array<Phase, MAX_PHASES>;

// The open file and the record last read from it.
struct ExpScan {
    std::ifstream file;
    std::string record;

    bool next() { return read_exp_record(record, file); }
    bool has_key(int column, std::string_view key) const
    {
        return record_columns(record, column, column + static_cast<int>(key.size()) - 1) == key;
    }
    // The fields of a record run from their column to the end of the record.
    std::string_view from_column(int column) const
    {
        return record_columns(record, column, EXP_RECORD_WIDTH);
    }
};

// Copies like strncpy, which stops at a zero byte, and fills the slot with zeros.
template <std::size_t N>
void copy_text_slot(char (&slot)[N], std::string_view text)
{
    std::fill(slot, slot + N, '\0');
    const std::string_view kept = text.substr(0, std::min(text.find('\0'), N - 1));
    std::copy(kept.begin(), kept.end(), slot);
}

// GSAS puts the site multiplicity right-aligned in columns 71-74, under the end of the
// 11-column label field: blanks, then at least one digit, the last in column 74.
bool holds_multiplicity(std::string_view columns_71_to_74)
{
    const std::size_t first = columns_71_to_74.find_first_not_of(' ');
    return first != std::string_view::npos &&
           std::all_of(columns_71_to_74.begin() + static_cast<std::ptrdiff_t>(first),
                       columns_71_to_74.end(),
                       [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; });
}

void read_atom(const std::string& record, PhaseAtom& atom)
{
    copy_text_slot(atom.type, record_columns(record, 15, 16));
    std::string label(record_columns(record, 63, 73));
    if (holds_multiplicity(record_columns(record, 71, 74)))
        label.replace(8, 3, "   ");
    copy_text_slot(atom.label, label);
    // Only columns 23-62 hold the numbers: a label that starts with a digit or a sign
    // in column 63 must not run into the occupancy.
    float numbers[4];
    scan_floats(record_columns(record, 23, 62), numbers);
    atom.x = numbers[0];
    atom.y = numbers[1];
    atom.z = numbers[2];
    atom.occupancy = numbers[3];
}

// Reads records until one holds `key` at `column`, starting with the record after the
// current one. False at the end of the file.
bool find_record(ExpScan& scan, int column, std::string_view key)
{
    do {
        if (!scan.next())
            return false;
    } while (!scan.has_key(column, key));
    return true;
}

// Newer files sort other blank-keyed records of the phase (ABSCO, ATYPS, F000, FRML1,
// ...) between its name and its atom count: same columns 1-4, blank columns 5-7.
bool is_other_phase_record(const ExpScan& scan, std::string_view phase_key)
{
    return scan.has_key(1, phase_key) && scan.has_key(5, "   ") && !scan.has_key(8, "NATOM");
}

void refuse_atom_count(int phase_index, int count)
{
    throw FatalError(format("Error: Phase %d has %d atoms.\n", phase_index, count) +
                     format("Can't handle more than %d atoms.\n", MAXATOMS) +
                     "Recompile after increasing MAXATOMS.\n");
}

// Reads the phase whose name record is current. Returns false when the file ended
// inside it: what was not found stays 0, and a positive atom count becomes the number
// of atoms actually read. A count of 0 or less is kept as read.
bool read_phase(ExpScan& scan, Phase& phase, int phase_index)
{
    copy_text_slot(phase.name, scan_word(scan.from_column(15)));
    const std::string phase_key(record_columns(scan.record, 1, 4));
    do {
        if (!scan.next())
            return false;
    } while (is_other_phase_record(scan, phase_key));

    const int count = scan_int(scan.from_column(15));
    if (count > MAXATOMS)
        refuse_atom_count(phase_index, count);
    phase.natoms = std::min(count, 0);

    if (!scan.next())
        return false;
    // The fourth word after the cell edges is not used.
    scan_floats(scan.from_column(13), std::span(phase.cell, 3));
    if (!find_record(scan, 7, "ANGLES"))
        return false;
    scan_floats(scan.from_column(13), std::span(phase.cell + 3, 3));

    // The "AT" record is looked for whatever the count, even for no atoms.
    if (!find_record(scan, 7, "AT"))
        return false;
    for (int i = 0; i < count; ++i) {
        read_atom(scan.record, phase.atoms[i]);
        phase.natoms = i + 1;
        // Each atom has two records; the second holds nothing used here.
        if (!scan.next() || !scan.next())
            return false;
    }
    return true;
}

// The phases in file order, at most MAX_PHASES. The record that stands after a
// phase has been read is passed over without a look for a phase name.
int scan_phases(ExpScan& scan, PhaseTable& table)
{
    int count = 0;
    for (bool more = scan.next(); more && count < MAX_PHASES; more = scan.next()) {
        if (!scan.has_key(5, "    PNAM"))
            continue;
        const bool complete = read_phase(scan, table[static_cast<std::size_t>(count)], count);
        ++count;
        if (!complete)
            break;
    }
    return count;
}

std::optional<ExpScan> open_exp_file(const std::string& expnam)
{
    ExpScan scan;
    for (const std::string& name : exp_file_candidates(expnam)) {
        scan.file.open(name, std::ios::binary);
        if (scan.file.is_open())
            return scan;
        scan.file.clear();
    }
    return std::nullopt;
}

void zero_cell(StructureInfo& structure)
{
    structure.a = structure.b = structure.c = 0;
    structure.alpha = structure.beta = structure.gamma = 0;
    structure.natoms = 0;
}

int ask_phase(Console& console, int phase_count)
{
    for (;;) {
        print(console.out, "Which phase is the fourier map from (1 - %d): ", phase_count);
        const std::optional<int> answer = read_int_answer(console, "the phase number");
        if (answer && *answer >= 1 && *answer <= phase_count)
            return *answer - 1;
    }
}

int choose_phase(Console& console, int batch, const PhaseTable& table, int phase_count)
{
    if (batch)
        return 0;
    for (int p = 0; p < phase_count; ++p) {
        const Phase& phase = table[static_cast<std::size_t>(p)];
        const float* cell = phase.cell;
        print(console.out, "Phase %d: Phase Name = %s\n", p + 1, phase.name);
        print(console.out, "Cell: %9.4f %9.4f %9.4f %9.4f %9.4f %9.4f\n",
              static_cast<double>(cell[0]), static_cast<double>(cell[1]),
              static_cast<double>(cell[2]), static_cast<double>(cell[3]),
              static_cast<double>(cell[4]), static_cast<double>(cell[5]));
    }
    return phase_count == 1 ? 0 : ask_phase(console, phase_count);
}

void copy_phase(const Phase& phase, StructureInfo& structure)
{
    structure.a = phase.cell[0];
    structure.b = phase.cell[1];
    structure.c = phase.cell[2];
    structure.alpha = phase.cell[3];
    structure.beta = phase.cell[4];
    structure.gamma = phase.cell[5];
    structure.natoms = phase.natoms;
    for (int i = 0; i < phase.natoms; ++i) {
        const PhaseAtom& atom = phase.atoms[i];
        structure.x[i] = atom.x;
        structure.y[i] = atom.y;
        structure.z[i] = atom.z;
        structure.occupancy[i] = atom.occupancy;
        std::memcpy(structure.atom_type[i], atom.type, sizeof atom.type);
        std::memcpy(structure.atom_label[i], atom.label, sizeof atom.label);
    }
}

}  // namespace

void read_exp_file(const std::string& expnam, StructureInfo& structure, int batch,
                   Console& console)
{
    std::optional<ExpScan> scan = open_exp_file(expnam);
    if (!scan) {
        if (!batch) {
            print(console.out, "Can't find %s.\n", to_upper_ascii(expnam + ".exp").c_str());
            print(console.out, "Can't get unit cell information.\n");
            print(console.out, "Setting unit cell to zero.\n");
            print(console.out, "This may make some output formats unreadable.\n");
        }
        zero_cell(structure);
        return;
    }

    // Ten phases of MAXATOMS atoms: one block on the heap, not the stack.
    const auto table = std::make_unique<PhaseTable>();
    const int phase_count = scan_phases(*scan, *table);
    if (!batch)
        print(console.out, "Number of phases found in EXP file: %d\n", phase_count);
    if (phase_count == 0) {
        if (!batch) {
            print(console.out, "No phase information. Setting unit cell to zero.\n");
            print(console.out, "This may make sone output formats unreadable.\n");
        }
        zero_cell(structure);
        return;
    }
    const int chosen = choose_phase(console, batch, *table, phase_count);
    copy_phase((*table)[static_cast<std::size_t>(chosen)], structure);
}
