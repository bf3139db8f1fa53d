#include "readers/exp_file.hpp"
#include "readers/exp_records.hpp"
#include "readers/paths.hpp"

#include "common/printf_text.hpp"
#include "driver/conversation.hpp"
#include "readers/input_file.hpp"
#include "readers/reader_test_support.hpp"
#include "support/exp_fixture.hpp"
#include "support/map_fixture.hpp"
#include "support/run_capture.hpp"
#include "support/scratch_dir.hpp"
#include "support/string_console.hpp"

#include <algorithm>
#include <climits>
#include <cmath>
#include <filesystem>
#include <sstream>

using namespace grix;

namespace {

std::vector<Phase> read_exp_text(const std::string& text)
{
    std::istringstream file(text);
    return read_exp_file(file);
}

// What the phase listing and question show with `answers` typed, and the phase chosen.
struct Choice {
    std::string out;
    std::size_t index = 0;
};

Choice choose(const std::vector<Phase>& phases, const std::string& answers)
{
    StringConsole io(answers);
    const std::size_t index = choose_phase(io.console, phases);
    return {io.out.str(), index};
}

// dir/run.fclc, a map of one point, and unless `exp` is null dir/run.exp holding it.
// Returns the experiment name dir/run.
std::string write_run(const ScratchDir& dir, const char* exp)
{
    const MapHeader header = make_map_header(1, 1, 1);
    write_file_bytes(dir.file("run.fclc"), encode_map_file(header, make_tagged_sections(header)));
    if (exp != nullptr)
        write_file_bytes(dir.file("run.exp"), exp);
    return dir.file("run");
}

FixturePhase garnet_like()
{
    FixturePhase phase{"garnet", {12.18772f, 12.18772f, 12.18772f, 90, 90, 90}, {}, {}, false};
    phase.atoms = {{"Y", 0.125f, 0, 0.25f, 1, "Y1", 24},
                   {"FE", 0, 0, 0, 0.728206f, "FE2", 16},
                   {"O", -0.029366f, 0.053912f, 0.150731f, 1, "O6", 96}};
    return phase;
}

FixturePhase silicon_nitride()
{
    FixturePhase phase{"b-Si3N4 contaminant", {7.60173f, 7.60173f, 2.906304f, 90, 90, 120}, {}, {}, false};
    phase.atoms = {{"SI", 0.77f, 0.175f, 0.25f, 1, "SI1", 6}, {"N", 0.03f, 0.33f, 0.25f, 1, "N2", 6}};
    return phase;
}

TEST(ExpRecords, FieldConversionsBehaveAsScanf)
{
    EXPECT_EQ(scan_word("  b-Si3N4 contaminant"), "b-Si3N4");
    EXPECT_EQ(scan_word(" \t\r\n "), "");
    EXPECT_EQ(scan_word(std::string_view("ab\0cd", 5)), "ab");
    const std::pair<const char*, int> ints[] = {
        {"   42", 42}, {"+7", 7}, {"-3x", -3}, {"abc", 0}, {"", 0},
        {"99999999999", INT_MAX}, {"-99999999999", INT_MIN}};
    for (const auto& [text, value] : ints)
        EXPECT_EQ(scan_int(text), value) << text;

    float values[4] = {9, 9, 9, 9};
    EXPECT_EQ(scan_floats(" 1.5e3 inf +2 nan", values), 4);
    EXPECT_EQ(values[0], 1500.0f);
    EXPECT_TRUE(std::isinf(values[1]));
    EXPECT_EQ(values[2], 2.0f);
    EXPECT_TRUE(std::isnan(values[3]));
    EXPECT_EQ(scan_floats("0.5 -0.25 x 4", values), 2);
    EXPECT_EQ(values[1], -0.25f);
    EXPECT_EQ(values[2], 0.0f);
    EXPECT_EQ(values[3], 0.0f);
}

TEST(ExpRecords, LineEndsAndAShortLastRecord)
{
    const std::string a = exp_record("A"), b = exp_record("B");
    for (const std::string& text : {a + "\n" + b + "\n", a + "\r\n" + b + "\r\n", a + b, a + b.substr(0, 5)}) {
        std::istringstream file(text);
        std::string record;
        ASSERT_TRUE(read_exp_record(record, file));
        EXPECT_EQ(record, a);
        ASSERT_TRUE(read_exp_record(record, file));
        EXPECT_EQ(record, b);  // a record cut short reads as blanks beyond the end
        EXPECT_FALSE(read_exp_record(record, file));
    }
}

// A line end before the 80th column ends the record, which reads as padded with blanks;
// an empty line is an empty record. A CR not followed by LF is part of the record.
TEST(ExpRecords, ShortRecordsEndAtTheirLineEnd)
{
    const std::string full = exp_record("FULL") + "x";  // 80 columns, then a record "x"
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {"A\nB\r\n", {"A", "B"}},
        {"A\n\nB", {"A", "", "B"}},
        {"\r\n\r\n", {"", ""}},
        {std::string(79, 'C') + "\r\nD", {std::string(79, 'C'), "D"}},
        {"A\rB\n\r", {"A\rB", "\r"}},
        {"A\n" + full + "\r\nB\n", {"A", "FULL", "x", "B"}},
    };
    for (const auto& [text, expected] : cases) {
        SCOPED_TRACE(testing::PrintToString(text));
        std::istringstream file(text);
        std::string record;
        for (const std::string& wanted : expected) {
            ASSERT_TRUE(read_exp_record(record, file));
            EXPECT_EQ(record, exp_record(wanted));
        }
        EXPECT_FALSE(read_exp_record(record, file));
    }
}

// Records whose trailing blanks an editor stripped read as the padded ones do, with LF,
// CR LF, or both in one file.
TEST(ExpFile, StrippedTrailingBlanksGiveTheSamePhases)
{
    std::vector<std::string> records = exp_file_records({garnet_like(), silicon_nitride()});
    const std::vector<Phase> padded = read_exp_text(join_records(records));
    ASSERT_EQ(padded.size(), 2u);
    for (std::string& record : records)
        record.erase(record.find_last_not_of(' ') + 1);
    std::string mixed;
    for (std::size_t n = 0; n < records.size(); ++n)
        mixed += records[n] + (n % 3 == 0 ? "\r\n" : "\n");
    for (const std::string& text : {join_records(records, LineEnd::lf),
                                    join_records(records, LineEnd::crlf), mixed}) {
        const std::vector<Phase> phases = read_exp_text(text);
        ASSERT_EQ(phases.size(), padded.size());
        for (std::size_t p = 0; p < phases.size(); ++p) {
            SCOPED_TRACE(p);
            const Phase &got = phases[p], &want = padded[p];
            EXPECT_EQ(got.name, want.name);
            EXPECT_EQ(got.space_group, want.space_group);
            const CellParameters &c = got.cell, &w = want.cell;
            EXPECT_EQ(std::vector({c.a, c.b, c.c, c.alpha, c.beta, c.gamma}),
                      std::vector({w.a, w.b, w.c, w.alpha, w.beta, w.gamma}));
            EXPECT_EQ(got.atom_count, want.atom_count);
            ASSERT_EQ(got.atoms.size(), want.atoms.size());
            for (std::size_t n = 0; n < got.atoms.size(); ++n) {
                EXPECT_EQ(got.atoms[n].label, want.atoms[n].label);
                EXPECT_EQ(got.atoms[n].type, want.atoms[n].type);
                EXPECT_EQ(got.atoms[n].x, want.atoms[n].x);
            }
        }
    }
}

TEST(ExpFile, LineEndsGiveTheSamePhases)
{
    for (LineEnd end : {LineEnd::lf, LineEnd::crlf, LineEnd::none}) {
        const std::vector<Phase> phases =
            read_exp_text(make_exp_file({garnet_like(), silicon_nitride()}, end));
        ASSERT_EQ(phases.size(), 2u);
        const Choice choice = choose(phases, "2\n");
        EXPECT_NE(choice.out.find(
                      "Phase 2: Phase Name = b-Si3N4\n"
                      "Cell:    7.6017    7.6017    2.9063   90.0000   90.0000  120.0000\n"),
                  std::string::npos);
        ASSERT_EQ(choice.index, 1u);
        const Phase& s = phases[1];
        EXPECT_EQ(s.key, "CRS2");
        EXPECT_EQ(s.space_group, "I a 3 d");
        EXPECT_EQ(s.cell.gamma, 120.0f);
        EXPECT_EQ(s.atom_count, 2);
        ASSERT_EQ(s.atoms.size(), 2u);
        EXPECT_EQ(s.atoms[1].type, "N ");  // a one-letter type keeps its blank
        EXPECT_EQ(s.atoms[1].label, "N2         ");
        EXPECT_EQ(s.atoms[1].z, 0.25f);
    }
}

// The count, the listing and the question of an interactive run, and the phase chosen
// there or, in batch mode, the first one.
TEST(ExpFile, ListingQuestionAndChosenPhase)
{
    const ScratchDir dir;
    const std::string text = make_exp_file({garnet_like(), silicon_nitride()});
    const std::string expnam = write_run(dir, text.c_str());
    const RunResult run =
        run_grix({}, expnam + "\nfclc\nascii\n0 3 x 2\n" + dir.file("out.txt") + "\n0\n");
    EXPECT_EQ(run.status, 0);
    const std::string question = "Which phase is the fourier map from (1 - 2): ";
    EXPECT_NE(run.out.find("Number of phases found in EXP file: 2\n"
                           "Phase 1: Phase Name = garnet\n"
                           "Cell:   12.1877   12.1877   12.1877   90.0000   90.0000   90.0000\n"
                           "Phase 2: Phase Name = b-Si3N4\n"
                           "Cell:    7.6017    7.6017    2.9063   90.0000   90.0000  120.0000\n" +
                           question + question + question + question +
                           "\nEnter output file name: "),
              std::string::npos)
        << run.out;
    const std::string chosen = read_file_bytes(dir.file("out.txt"));
    EXPECT_TRUE(chosen.starts_with("Unit cell: 7.601730 ")) << chosen;
    EXPECT_NE(chosen.find("\nNumber of atoms: 2\n"), std::string::npos);

    const std::vector<Phase> phases = read_exp_text(text);
    EXPECT_NE(fatal_message([&] { choose(phases, "5\n"); }).find("End of input"),
              std::string::npos);

    const RunResult batch = run_grix({"-ascii", "0", expnam});
    EXPECT_EQ(batch.status, 0);
    EXPECT_EQ(batch.out, "");
    EXPECT_TRUE(read_file_bytes(expnam + ".txt").starts_with("Unit cell: 12.187720 "));

    const Choice single = choose(read_exp_text(make_exp_file({silicon_nitride()})), "");
    EXPECT_EQ(single.out.find("Which phase"), std::string::npos);
    EXPECT_EQ(single.index, 0u);
}

TEST(ExpFile, ElevenPhasesOfferTen)
{
    std::vector<FixturePhase> phases(11, silicon_nitride());
    for (int p = 0; p < 11; ++p) {
        phases[static_cast<std::size_t>(p)].name = printf_text("phase%d", p + 1);
        phases[static_cast<std::size_t>(p)].cell[0] = static_cast<float>(p + 1);
    }
    const std::vector<Phase> read = read_exp_text(make_exp_file(phases));
    ASSERT_EQ(read.size(), 10u);
    const Choice choice = choose(read, "11 10\n");
    EXPECT_NE(choice.out.find("Phase 10: Phase Name = phase10\n"), std::string::npos);
    EXPECT_EQ(choice.out.find("phase11"), std::string::npos);
    const std::string question = "Which phase is the fourier map from (1 - 10): ";
    EXPECT_EQ(choice.out.substr(choice.out.size() - 2 * question.size()), question + question);
    EXPECT_EQ(read[choice.index].cell.a, 10.0f);
}

TEST(ExpFile, AtomLimit)
{
    FixturePhase full = silicon_nitride();
    full.atoms = numbered_atoms(MAXATOMS);
    const std::vector<Phase> read = read_exp_text(make_exp_file({full}));
    ASSERT_EQ(read.at(0).atoms.size(), static_cast<std::size_t>(MAXATOMS));
    EXPECT_EQ(read[0].atom_count, MAXATOMS);
    EXPECT_EQ(read[0].atoms[999].label, "O1000      ");
    EXPECT_EQ(read[0].atoms[999].x, 0.999f);

    FixturePhase over = full;
    over.atoms = numbered_atoms(MAXATOMS + 1);
    const std::string messages = "has 1001 atoms.\nCan't handle more than 1000 atoms.\n"
                                 "Recompile after increasing MAXATOMS.\n";
    EXPECT_EQ(fatal_message([&] { read_exp_text(make_exp_file({over})); }),
              "Error: Phase 0 " + messages);
    EXPECT_EQ(fatal_message([&] { read_exp_text(make_exp_file({full, over})); }),
              "Error: Phase 1 " + messages);
}

TEST(ExpFile, LabelsTypesAndNumbersByColumn)
{
    FixturePhase phase = garnet_like();
    phase.atoms.push_back({"O", 0.1f, 0.2f, 0.3f, 0.5f, "5LABEL78901", 0});  // 11 columns, no multiplicity
    phase.atoms.push_back({"CA", 0.1f, 0.2f, 0.3f, 0.75f, "E3", 1234});
    phase.name = "name with blanks";
    const std::vector<Phase> read = read_exp_text(make_exp_file({phase}));
    ASSERT_EQ(read.size(), 1u);
    const std::vector<Atom>& atoms = read[0].atoms;
    ASSERT_EQ(atoms.size(), 5u);
    EXPECT_EQ(read[0].name, "name");
    EXPECT_EQ(atoms[0].label, "Y1         ");  // multiplicity 24 under the label
    EXPECT_EQ(atoms[1].type, "FE");
    EXPECT_EQ(atoms[2].label, "O6         ");
    EXPECT_EQ(atoms[3].label, "5LABEL78901");
    EXPECT_EQ(atoms[3].occupancy, 0.5f);  // the label in column 63 is not part of the numbers
    EXPECT_EQ(atoms[4].label, "E3         ");
    EXPECT_EQ(atoms[4].occupancy, 0.75f);
    EXPECT_EQ(atoms[2].y, 0.053912f);
}

TEST(ExpFile, OtherPhaseRecordsBeforeTheAtomCount)
{
    FixturePhase phase{"H3OSbF6", {10.13996f, 10.13996f, 10.13996f, 90, 90, 90}, {}, {}, true};
    phase.atoms = {{"SB", 0, 0, 0, 1, "Sb", 8}, {"O", 0.25f, 0.25f, 0.25f, 1, "O", 8},
                   {"F", 0.058879f, 0.140879f, 0.3957f, 1, "F", 48}};
    const std::vector<Phase> read = read_exp_text(make_exp_file({phase, silicon_nitride()}));
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read[0].cell.a, 10.13996f);
    ASSERT_EQ(read[0].atoms.size(), 3u);
    EXPECT_EQ(read[0].atoms[2].z, 0.3957f);
}

TEST(ExpFile, AtomCountsOfZeroOrLessStillSearchForTheAtoms)
{
    FixturePhase none = silicon_nitride();
    none.atoms.clear();
    none.natom = -2;
    // The search for the first atom record runs into the next phase's atoms.
    const std::vector<Phase> read = read_exp_text(make_exp_file({none, garnet_like()}));
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0].atom_count, -2);
    EXPECT_TRUE(read[0].atoms.empty());
    EXPECT_EQ(read[0].cell.gamma, 120.0f);
}

TEST(ExpFile, FileEndsInsideAPhase)
{
    FixturePhase phase = garnet_like();
    const std::vector<std::string> records = exp_file_records({phase});
    const auto record_of = [&](const std::string& start) {
        return static_cast<std::size_t>(std::find_if(records.begin(), records.end(), [&](const std::string& r) {
                   return r.rfind(start, 0) == 0;
               }) - records.begin());
    };
    struct Case {
        std::size_t kept;  // records kept
        float a, gamma;
        int natoms;
    };
    const Case cases[] = {
        {record_of("CRS1  ABC "), 0, 0, 0},
        {record_of("CRS1  ANGLES"), 12.18772f, 0, 0},
        {record_of("CRS1  AT  1A"), 12.18772f, 90, 0},
        {record_of("CRS1  AT  2A") + 1, 12.18772f, 90, 2},  // no line end after the last
        {record_of("CRS1  AT  3B") + 1, 12.18772f, 90, 3},
    };
    for (const Case& c : cases) {
        const std::vector<std::string> kept(records.begin(), records.begin() + static_cast<long>(c.kept));
        std::string text = join_records(kept, LineEnd::lf);
        text.pop_back();
        const std::vector<Phase> read = read_exp_text(text);
        ASSERT_EQ(read.size(), 1u) << c.kept;
        EXPECT_EQ(read[0].cell.a, c.a) << c.kept;
        EXPECT_EQ(read[0].cell.gamma, c.gamma) << c.kept;
        EXPECT_EQ(read[0].atom_count, c.natoms) << c.kept;
        EXPECT_EQ(read[0].atoms.size(), static_cast<std::size_t>(c.natoms)) << c.kept;
    }
}

TEST(ExpFile, FieldsThatDoNotConvertAreZero)
{
    std::vector<std::string> records = exp_file_records({garnet_like()});
    for (std::string& record : records) {
        if (record.rfind("CRS1    PNAM", 0) == 0)
            record = exp_record("CRS1    PNAM");
        if (record.rfind("CRS1  ABC ", 0) == 0)
            record = exp_record("CRS1  ABC   12.5 abc 3");
    }
    const Choice choice = choose(read_exp_text(join_records(records)), "");
    EXPECT_NE(choice.out.find("Phase 1: Phase Name = \nCell:   12.5000    0.0000    0.0000"),
              std::string::npos);
}

// A missing or phaseless experiment file is said on standard output in interactive mode
// only; the run goes on with a zero cell and no atoms.
TEST(ExpFile, NonFatalFailuresTakeTheMapsCellWithoutAtoms)
{
    const std::string missing_lines = "Can't get unit cell information.\n"
                                      "Setting unit cell to zero.\n"
                                      "This may make some output formats unreadable.\n";
    const std::string empty_lines = "Number of phases found in EXP file: 0\n"
                                    "No phase information. Setting unit cell to zero.\n"
                                    "This may make sone output formats unreadable.\n";
    // The messages keep their words, but the map's own cell is used.
    const std::string zero_dump = "Unit cell: 10.000000 10.000000 10.000000 90.000000 "
                                  "90.000000 90.000000\nNumber of atoms: 0\nNumber of sections: 1\n";
    for (const char* exp : {static_cast<const char*>(nullptr), ""}) {
        ScratchDir dir;
        const std::string expnam = write_run(dir, exp);
        // The message names the whole name upper-cased, directory included.
        const std::string said = exp ? empty_lines
                                     : "Can't find " + to_upper_ascii(expnam + ".exp") + ".\n" +
                                           missing_lines;
        const RunResult asked =
            run_grix({}, expnam + "\nfclc\nascii\n" + dir.file("out.txt") + "\n0\n");
        EXPECT_EQ(asked.status, 0);
        EXPECT_NE(asked.out.find("Type: \n" + said + "\nEnter output file name: "),
                  std::string::npos)
            << asked.out;
        EXPECT_TRUE(read_file_bytes(dir.file("out.txt")).starts_with(zero_dump));

        const RunResult batch = run_grix({"-a", "0", expnam});
        EXPECT_EQ(batch.status, 0);
        EXPECT_EQ(batch.out, "");
        EXPECT_TRUE(read_file_bytes(expnam + ".txt").starts_with(zero_dump));
    }
}

TEST(ExpFile, UpperCaseNamesAndMixedCaseDirectories)
{
    ScratchDir dir;
    std::filesystem::create_directory(dir.file("Data"));
    for (const char* stored : {"Data/Run1.exp", "Data/RUN1.EXP"}) {
        write_file_bytes(dir.file(stored), make_exp_file({garnet_like()}));
        std::vector<FailedOpen> failures;
        std::optional<InputFile> file =
            open_first(exp_file_candidates(dir.file("Data/Run1")), failures);
        ASSERT_TRUE(file) << stored;
        EXPECT_EQ(file->name, dir.file(stored));
        std::istringstream text(read_whole_file(*file));
        EXPECT_EQ(read_exp_file(text).at(0).atoms.size(), 3u) << stored;
        std::filesystem::remove(dir.file(stored));
    }
}

}  // namespace
