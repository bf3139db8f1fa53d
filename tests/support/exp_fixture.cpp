#include "support/exp_fixture.hpp"

#include "common/printf_text.hpp"

using grix::printf_text;

namespace {

// Columns 1-4 of a phase's records: CRS1 to CRS9, then letters.
std::string phase_key(std::size_t index)
{
    const char* digits = "123456789ABCDEFGHIJ";
    return std::string("CRS") + digits[index];
}

std::string atom_record(const std::string& key, int number, const FixtureAtom& atom)
{
    // Columns 9-11 hold three digits of the atom number; the reader never looks at them.
    std::string text = printf_text("%s  AT%3dA  %-2s      %10.6f%10.6f%10.6f%10.6f",
                                   key.c_str(), number % 1000, atom.type.c_str(),
                                   static_cast<double>(atom.x), static_cast<double>(atom.y),
                                   static_cast<double>(atom.z),
                                   static_cast<double>(atom.occupancy));
    if (atom.multiplicity > 0)
        text += printf_text("%-8s%4d 000", atom.label.c_str(), atom.multiplicity);
    else
        text += atom.label;
    return text;
}

void append_phase(std::vector<std::string>& records, const std::string& key,
                  const FixturePhase& phase)
{
    const int natom = phase.natom.value_or(static_cast<int>(phase.atoms.size()));
    const float* cell = phase.cell;
    records.push_back(exp_record(key + "    PNAM  " + phase.name));
    if (phase.newer_layout) {
        records.push_back(exp_record(key + "   ABSCO  1229.96   799.59   441.55    54.09"));
        records.push_back(exp_record(key + "   ATYPS    4"));
        records.push_back(exp_record(key + "   F000     27.261   927.945"));
        records.push_back(exp_record(key + "   FRML1SB          8.00O           8.00"));
    }
    records.push_back(exp_record(printf_text("%s   NATOM  %3d", key.c_str(), natom)));
    records.push_back(exp_record(printf_text("%s  ABC   %10.6f%10.6f%10.6f    Y    0",
                                             key.c_str(), static_cast<double>(cell[0]),
                                             static_cast<double>(cell[1]),
                                             static_cast<double>(cell[2]))));
    records.push_back(exp_record(key + "  ABCSIG  0.000650  0.000650  0.000650"));
    records.push_back(exp_record(printf_text("%s  ANGLES%10.4f%10.4f%10.4f", key.c_str(),
                                             static_cast<double>(cell[3]),
                                             static_cast<double>(cell[4]),
                                             static_cast<double>(cell[5]))));
    records.push_back(exp_record(key + "  ANGSIG    0.0000    0.0000    0.0000"));
    for (std::size_t i = 0; i < phase.atoms.size(); ++i) {
        const int number = static_cast<int>(i) + 1;
        records.push_back(exp_record(atom_record(key, number, phase.atoms[i])));
        records.push_back(exp_record(printf_text("%s  AT%3dB  0.007186", key.c_str(),
                                                 number % 1000) +
                                     std::string(52, ' ') + "I  U"));
    }
    records.push_back(exp_record(key + "  CELVOL       1810.416"));
    records.push_back(exp_record(key + "  SG SYM  " + phase.space_group));
}

}  // namespace

std::string exp_record(const std::string& text)
{
    std::string record = text.substr(0, 80);
    record.resize(80, ' ');
    return record;
}

std::vector<FixtureAtom> numbered_atoms(int count)
{
    std::vector<FixtureAtom> atoms;
    for (int i = 0; i < count; ++i) {
        const float f = static_cast<float>(i % 1000) / 1000.0f;
        atoms.push_back({"O", f, 0.5f, 1.0f - f, 1.0f, printf_text("O%d", i + 1), 0});
    }
    return atoms;
}

std::vector<std::string> exp_file_records(const std::vector<FixturePhase>& phases)
{
    std::vector<std::string> records = {
        exp_record("     VERSION    6     Wed Nov 10 14:42:34 2010"),
        exp_record("      DESCR   test experiment"),
        exp_record(" EXPR  NPHAS    1    0    0    0    0    0    0    0    0"),
    };
    for (std::size_t p = 0; p < phases.size(); ++p)
        append_phase(records, phase_key(p), phases[p]);
    records.push_back(exp_record("HST  1  HNAM  Bank 1 test histogram"));
    return records;
}

std::string join_records(const std::vector<std::string>& records, LineEnd end)
{
    const char* ending = end == LineEnd::lf ? "\n" : end == LineEnd::crlf ? "\r\n" : "";
    std::string text;
    for (const std::string& record : records)
        text += record + ending;
    return text;
}

std::string make_exp_file(const std::vector<FixturePhase>& phases, LineEnd end)
{
    return join_records(exp_file_records(phases), end);
}
