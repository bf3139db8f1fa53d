#include "readers/exp_file.hpp"
#include "readers/exp_records.hpp"
#include "readers/paths.hpp"

#include "readers/reader_test_support.hpp"
#include "support/exp_fixture.hpp"
#include "support/scratch_dir.hpp"

#include <climits>
#include <cmath>
#include <filesystem>
#include <memory>
#include <sstream>

namespace {

struct ExpReading {
    std::istringstream in;
    std::ostringstream out, err;
    Console console{in, out, err};
    std::unique_ptr<StructureInfo> structure = std::make_unique<StructureInfo>();

    explicit ExpReading(const std::string& answers = "") : in(answers) {}
    void read(const std::string& expnam, int batch = 0)
    {
        read_exp_file(expnam, *structure, batch, console);
    }
};

// Reads `text` as the experiment file run.exp.
std::unique_ptr<ExpReading> read_exp_text(const std::string& text, int batch = 0,
                                          const std::string& answers = "")
{
    ScratchDir dir;
    write_file_bytes(dir.file("run.exp"), text);
    auto reading = std::make_unique<ExpReading>(answers);
    reading->read(dir.file("run"), batch);
    return reading;
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

std::string label(const StructureInfo& s, int i) { return std::string(s.atom_label[i], 12); }
std::string type(const StructureInfo& s, int i) { return std::string(s.atom_type[i], 3); }

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

TEST(ExpFile, LineEndsGiveTheSamePhases)
{
    const std::vector<FixturePhase> phases = {garnet_like(), silicon_nitride()};
    for (LineEnd end : {LineEnd::lf, LineEnd::crlf, LineEnd::none}) {
        const auto reading = read_exp_text(make_exp_file(phases, end), 0, "2\n");
        const StructureInfo& s = *reading->structure;
        EXPECT_NE(reading->out.str().find("Phase 2: Phase Name = b-Si3N4\n"
                                          "Cell:    7.6017    7.6017    2.9063   90.0000   90.0000  120.0000\n"),
                  std::string::npos);
        EXPECT_EQ(s.gamma, 120.0f);
        ASSERT_EQ(s.natoms, 2);
        EXPECT_EQ(type(s, 1), std::string("N \0", 3));  // a one-letter type keeps its blank
        EXPECT_EQ(label(s, 1), std::string("N2         \0", 12));
        EXPECT_EQ(s.z[1], 0.25f);
    }
}

TEST(ExpFile, ListingQuestionAndChosenPhase)
{
    const std::string text = make_exp_file({garnet_like(), silicon_nitride()});
    const auto reading = read_exp_text(text, 0, "0 3 x 2\n");
    const std::string question = "Which phase is the fourier map from (1 - 2): ";
    EXPECT_EQ(reading->out.str(),
              "Number of phases found in EXP file: 2\n"
              "Phase 1: Phase Name = garnet\n"
              "Cell:   12.1877   12.1877   12.1877   90.0000   90.0000   90.0000\n"
              "Phase 2: Phase Name = b-Si3N4\n"
              "Cell:    7.6017    7.6017    2.9063   90.0000   90.0000  120.0000\n" +
                  question + question + question + question);
    EXPECT_EQ(reading->structure->a, 7.60173f);
    EXPECT_EQ(reading->structure->natoms, 2);

    EXPECT_NE(fatal_message([&] { read_exp_text(text, 0, "5\n"); }).find("End of input"),
              std::string::npos);

    const auto batch = read_exp_text(text, 1);
    EXPECT_EQ(batch->out.str(), "");
    EXPECT_EQ(batch->structure->a, 12.18772f);

    const auto single = read_exp_text(make_exp_file({silicon_nitride()}));
    EXPECT_EQ(single->out.str().find("Which phase"), std::string::npos);
    EXPECT_EQ(single->structure->natoms, 2);
}

TEST(ExpFile, ElevenPhasesOfferTen)
{
    std::vector<FixturePhase> phases(11, silicon_nitride());
    for (int p = 0; p < 11; ++p) {
        phases[static_cast<std::size_t>(p)].name = format("phase%d", p + 1);
        phases[static_cast<std::size_t>(p)].cell[0] = static_cast<float>(p + 1);
    }
    const auto reading = read_exp_text(make_exp_file(phases), 0, "11 10\n");
    const std::string out = reading->out.str();
    EXPECT_NE(out.find("Number of phases found in EXP file: 10\n"), std::string::npos);
    EXPECT_NE(out.find("Phase 10: Phase Name = phase10\n"), std::string::npos);
    EXPECT_EQ(out.find("phase11"), std::string::npos);
    const std::string question = "Which phase is the fourier map from (1 - 10): ";
    EXPECT_EQ(out.substr(out.size() - 2 * question.size()), question + question);
    EXPECT_EQ(reading->structure->a, 10.0f);
}

TEST(ExpFile, AtomLimit)
{
    FixturePhase full = silicon_nitride();
    full.atoms = numbered_atoms(MAXATOMS);
    const auto reading = read_exp_text(make_exp_file({full}), 1);
    const StructureInfo& s = *reading->structure;
    ASSERT_EQ(s.natoms, MAXATOMS);
    EXPECT_EQ(label(s, 999), std::string("O1000      \0", 12));
    EXPECT_EQ(s.x[999], 0.999f);

    FixturePhase over = full;
    over.atoms = numbered_atoms(MAXATOMS + 1);
    const std::string messages = "has 1001 atoms.\nCan't handle more than 1000 atoms.\n"
                                 "Recompile after increasing MAXATOMS.\n";
    EXPECT_EQ(fatal_message([&] { read_exp_text(make_exp_file({over}), 1); }),
              "Error: Phase 0 " + messages);
    EXPECT_EQ(fatal_message([&] { read_exp_text(make_exp_file({full, over}), 0); }),
              "Error: Phase 1 " + messages);
}

TEST(ExpFile, LabelsTypesAndNumbersByColumn)
{
    FixturePhase phase = garnet_like();
    phase.atoms.push_back({"O", 0.1f, 0.2f, 0.3f, 0.5f, "5LABEL78901", 0});  // 11 columns, no multiplicity
    phase.atoms.push_back({"CA", 0.1f, 0.2f, 0.3f, 0.75f, "E3", 1234});
    phase.name = "name with blanks";
    const auto reading = read_exp_text(make_exp_file({phase}), 1);
    const StructureInfo& s = *reading->structure;
    ASSERT_EQ(s.natoms, 5);
    EXPECT_EQ(label(s, 0), std::string("Y1         \0", 12));  // multiplicity 24 under the label
    EXPECT_EQ(label(s, 2), std::string("O6         \0", 12));
    EXPECT_EQ(label(s, 3), std::string("5LABEL78901\0", 12));
    EXPECT_EQ(s.occupancy[3], 0.5f);  // the label in column 63 is not part of the numbers
    EXPECT_EQ(label(s, 4), std::string("E3         \0", 12));
    EXPECT_EQ(s.occupancy[4], 0.75f);
    EXPECT_EQ(s.y[2], 0.053912f);
}

TEST(ExpFile, OtherPhaseRecordsBeforeTheAtomCount)
{
    FixturePhase phase{"H3OSbF6", {10.13996f, 10.13996f, 10.13996f, 90, 90, 90}, {}, {}, true};
    phase.atoms = {{"SB", 0, 0, 0, 1, "Sb", 8}, {"O", 0.25f, 0.25f, 0.25f, 1, "O", 8},
                   {"F", 0.058879f, 0.140879f, 0.3957f, 1, "F", 48}};
    const auto reading = read_exp_text(make_exp_file({phase, silicon_nitride()}), 1);
    const StructureInfo& s = *reading->structure;
    EXPECT_EQ(s.a, 10.13996f);
    ASSERT_EQ(s.natoms, 3);
    EXPECT_EQ(s.z[2], 0.3957f);
}

TEST(ExpFile, AtomCountsOfZeroOrLessStillSearchForTheAtoms)
{
    FixturePhase none = silicon_nitride();
    none.atoms.clear();
    none.natom = -2;
    // The search for the first atom record runs into the next phase's atoms.
    const auto reading = read_exp_text(make_exp_file({none, garnet_like()}), 0);
    EXPECT_NE(reading->out.str().find("Number of phases found in EXP file: 1\n"), std::string::npos);
    EXPECT_EQ(reading->structure->natoms, -2);
    EXPECT_EQ(reading->structure->gamma, 120.0f);
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
        const auto reading = read_exp_text(text, 1);
        EXPECT_EQ(reading->structure->a, c.a) << c.kept;
        EXPECT_EQ(reading->structure->gamma, c.gamma) << c.kept;
        EXPECT_EQ(reading->structure->natoms, c.natoms) << c.kept;
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
    const auto reading = read_exp_text(join_records(records), 0);
    EXPECT_NE(reading->out.str().find("Phase 1: Phase Name = \nCell:   12.5000    0.0000    0.0000"),
              std::string::npos);
}

TEST(ExpFile, NonFatalFailuresZeroTheCellOnly)
{
    const std::string missing_lines = "Can't get unit cell information.\nSetting unit cell to zero.\n"
                                      "This may make some output formats unreadable.\n";
    ScratchDir dir;
    for (int batch : {0, 1}) {
        ExpReading reading;
        reading.structure->a = reading.structure->natoms = 5;
        reading.structure->x[0] = 0.5f;
        reading.read(dir.file("Run1"), batch);
        // The message names the whole name upper-cased, directory included.
        EXPECT_EQ(reading.out.str(), batch ? "" : "Can't find " +
                  to_upper_ascii(dir.file("Run1.exp")) + ".\n" + missing_lines);
        EXPECT_EQ(reading.structure->a, 0.0f);
        EXPECT_EQ(reading.structure->natoms, 0);
        EXPECT_EQ(reading.structure->x[0], 0.5f);

        const auto empty = read_exp_text("", batch);
        EXPECT_EQ(empty->out.str(), batch ? "" : "Number of phases found in EXP file: 0\n"
                  "No phase information. Setting unit cell to zero.\n"
                  "This may make sone output formats unreadable.\n");
    }
}

TEST(ExpFile, UpperCaseNamesAndMixedCaseDirectories)
{
    ScratchDir dir;
    std::filesystem::create_directory(dir.file("Data"));
    for (const char* stored : {"Data/Run1.exp", "Data/RUN1.EXP"}) {
        write_file_bytes(dir.file(stored), make_exp_file({garnet_like()}));
        ExpReading reading;
        reading.read(dir.file("Data/Run1"), 1);
        EXPECT_EQ(reading.structure->natoms, 3) << stored;
        std::filesystem::remove(dir.file(stored));
    }
}

}  // namespace
