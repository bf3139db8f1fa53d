#include "readers/exp_file.hpp"

#include "common/fatal.hpp"
#include "common/printf_text.hpp"
#include "common/trim.hpp"
#include "readers/exp_records.hpp"

#include <algorithm>
#include <cctype>
#include <istream>

namespace grix {
namespace {

// Phases beyond this many are ignored.
constexpr int MAX_PHASES = 10;

// The open file and the record last read from it.
struct ExpScan {
    std::istream& file;
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

// A text field as a fixed slot of `size` bytes holds it: cut at a zero byte, and to
// the slot's size less its terminating zero.
std::string slot_text(std::string_view text, std::size_t size)
{
    return std::string(text.substr(0, std::min(text.find('\0'), size - 1)));
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

Atom read_atom(const std::string& record)
{
    Atom atom;
    atom.type = slot_text(record_columns(record, 15, 16), 3);
    std::string label(record_columns(record, 63, 73));
    if (holds_multiplicity(record_columns(record, 71, 74)))
        label.replace(8, 3, "   ");
    atom.label = slot_text(label, 12);
    // Only columns 23-62 hold the numbers: a label that starts with a digit or a sign
    // in column 63 must not run into the occupancy.
    float numbers[4];
    scan_floats(record_columns(record, 23, 62), numbers);
    atom.x = numbers[0];
    atom.y = numbers[1];
    atom.z = numbers[2];
    atom.occupancy = numbers[3];
    return atom;
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
    throw FatalError(printf_text("Error: Phase %d has %d atoms.\n", phase_index, count) +
                     printf_text("Can't handle more than %d atoms.\n", MAXATOMS) +
                     "Recompile after increasing MAXATOMS.\n");
}

// Reads the phase whose name record is current. Returns false when the file ended
// inside it: what was not found stays 0, and a positive atom count becomes the number
// of atoms actually read. A count of 0 or less is kept as read.
bool read_phase(ExpScan& scan, Phase& phase, int phase_index)
{
    phase.name = slot_text(scan_word(scan.from_column(15)), 80);
    phase.key = record_columns(scan.record, 1, 4);
    const std::string& phase_key = phase.key;
    do {
        if (!scan.next())
            return false;
    } while (is_other_phase_record(scan, phase_key));

    // The count's field starts in column 13: a count of four digits begins there.
    const int count = scan_int(scan.from_column(13));
    if (count > MAXATOMS)
        refuse_atom_count(phase_index, count);
    phase.atom_count = std::min(count, 0);

    if (!scan.next())
        return false;
    // The fourth word after the cell edges is not used.
    float numbers[3];
    scan_floats(scan.from_column(13), numbers);
    phase.cell.a = numbers[0];
    phase.cell.b = numbers[1];
    phase.cell.c = numbers[2];
    if (!find_record(scan, 7, "ANGLES"))
        return false;
    scan_floats(scan.from_column(13), numbers);
    phase.cell.alpha = numbers[0];
    phase.cell.beta = numbers[1];
    phase.cell.gamma = numbers[2];

    // The "AT" record is looked for whatever the count, even for no atoms.
    if (!find_record(scan, 7, "AT"))
        return false;
    for (int i = 0; i < count; ++i) {
        phase.atoms.push_back(read_atom(scan.record));
        phase.atom_count = i + 1;
        // Each atom has two records; the second holds nothing used here.
        if (!scan.next() || !scan.next())
            return false;
    }
    return true;
}

// The phases in file order, at most MAX_PHASES. The record that stands after a
// phase has been read is passed over without a look for a phase name.
std::vector<Phase> scan_phases(ExpScan& scan)
{
    std::vector<Phase> phases;
    for (bool more = scan.next(); more && phases.size() < MAX_PHASES; more = scan.next()) {
        if (!scan.has_key(5, "    PNAM"))
            continue;
        phases.emplace_back();
        const bool complete =
            read_phase(scan, phases.back(), static_cast<int>(phases.size()) - 1);
        if (!complete)
            break;
    }
    return phases;
}

// Each phase's "SG SYM" record, wherever it stands in the file.
void find_space_groups(ExpScan& scan, std::vector<Phase>& phases)
{
    while (scan.next()) {
        if (!scan.has_key(7, "SG SYM"))
            continue;
        const std::string_view key = record_columns(scan.record, 1, 4);
        for (Phase& phase : phases) {
            if (phase.key == key)
                phase.space_group = trim_space(scan.from_column(15));
        }
    }
}

}  // namespace

std::vector<Phase> read_exp_file(std::istream& file)
{
    ExpScan scan{file, {}};
    std::vector<Phase> phases = scan_phases(scan);
    file.clear();
    file.seekg(0);
    find_space_groups(scan, phases);
    return phases;
}

}  // namespace grix
