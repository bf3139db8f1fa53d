#include "readers/exp_file.hpp"

#include "common/fatal.hpp"
#include "support/exp_fixture.hpp"
#include "support/scratch_dir.hpp"

#include <memory>
#include <sstream>

#include <gtest/gtest.h>

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
// between the CR and the LF: every phase found is listed, the file's end leaves what
// was not found 0 and counts only the atoms that were there.
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

    const ScratchDir dir;
    const std::string name = dir.file("run");
    for (const LineEnd end : {LineEnd::lf, LineEnd::crlf, LineEnd::none}) {
        for (std::size_t kept = 0; kept <= records.size(); ++kept) {
            const auto last = records.begin() + static_cast<std::ptrdiff_t>(kept);
            const std::string text = join_records({records.begin(), last}, end);
            std::vector<std::string> cuts = {text};
            if (end == LineEnd::crlf && kept > 0)
                cuts.push_back(text.substr(0, text.size() - 1));
            for (const std::string& cut : cuts) {
                SCOPED_TRACE(format("%zu records, %zu bytes", kept, cut.size()));
                write_file_bytes(name + ".exp", cut);
                const Expected expected = expect_from(records, kept, phases);
                std::istringstream in(expected.phases > 1 ? "2\n" : "");
                std::ostringstream out, err;
                Console console{in, out, err};
                const auto structure = std::make_unique<StructureInfo>();
                read_exp_file(name, *structure, 0, console);
                EXPECT_NE(out.str().find(format("Number of phases found in EXP file: %d\n",
                                                expected.phases)),
                          std::string::npos);
                EXPECT_EQ(structure->a, expected.a);
                EXPECT_EQ(structure->gamma, expected.gamma);
                EXPECT_EQ(structure->natoms, expected.natoms);
            }
        }
    }
}

}  // namespace
