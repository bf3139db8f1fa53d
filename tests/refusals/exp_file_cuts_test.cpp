#include "readers/exp_file.hpp"

#include "common/printf_text.hpp"
#include "support/exp_fixture.hpp"

#include <sstream>

#include <gtest/gtest.h>

using namespace grix;

namespace {

// What the reader must take from the first `kept` records of a file: the phases whose
// name records are there, and for the last of them what its kept records hold.
struct Expected {
    int phases = 0;
    float a = 0, gamma = 0;
    int natoms = 0;
};

Expected expect_from(const std::vector<std::string>& records, std::size_t kept,
                     const std::vector<FixturePhase>& phases)
{
    Expected expected;
    for (std::size_t r = 0; r < kept; ++r) {
        const std::string& record = records[r];
        const std::string_view key = std::string_view(record).substr(4, 8);
        if (key == "    PNAM") {
            expected = {expected.phases + 1, 0, 0, 0};
            continue;
        }
        if (expected.phases == 0)
            continue;
        const FixturePhase& phase = phases[static_cast<std::size_t>(expected.phases - 1)];
        if (key.substr(0, 6) == "  ABC ")
            expected.a = phase.cell[0];
        else if (key == "  ANGLES")
            expected.gamma = phase.cell[5];
        else if (key.substr(0, 4) == "  AT" && record[11] == 'A')
            ++expected.natoms;
    }
    return expected;
}

// A two-phase file cut after every record, with each line end, and (for CR LF) also
// between the CR and the LF: every phase found is kept, the file's end leaves what was
// not found in the last one 0 and counts only the atoms that were there.
TEST(ExpFileRefusals, CutAfterEveryRecord)
{
    FixturePhase first;
    first.name = "first";
    first.atoms = numbered_atoms(3);
    first.newer_layout = true;
    FixturePhase second;
    second.name = "second";
    second.cell[0] = 7.5f;
    second.cell[5] = 120;
    second.atoms = numbered_atoms(2);
    const std::vector<FixturePhase> phases = {first, second};
    const std::vector<std::string> records = exp_file_records(phases);

    for (const LineEnd end : {LineEnd::lf, LineEnd::crlf, LineEnd::none}) {
        for (std::size_t kept = 0; kept <= records.size(); ++kept) {
            const auto last = records.begin() + static_cast<std::ptrdiff_t>(kept);
            const std::string text = join_records({records.begin(), last}, end);
            std::vector<std::string> cuts = {text};
            if (end == LineEnd::crlf && kept > 0)
                cuts.push_back(text.substr(0, text.size() - 1));
            for (const std::string& cut : cuts) {
                SCOPED_TRACE(printf_text("%zu records, %zu bytes", kept, cut.size()));
                const Expected expected = expect_from(records, kept, phases);
                std::istringstream file(cut);
                const std::vector<Phase> read = read_exp_file(file);
                ASSERT_EQ(read.size(), static_cast<std::size_t>(expected.phases));
                if (read.empty())
                    continue;
                const Phase& newest = read.back();
                EXPECT_EQ(newest.cell.a, expected.a);
                EXPECT_EQ(newest.cell.gamma, expected.gamma);
                EXPECT_EQ(newest.atom_count, expected.natoms);
                EXPECT_EQ(newest.atoms.size(), static_cast<std::size_t>(expected.natoms));
            }
        }
    }
}

}  // namespace
