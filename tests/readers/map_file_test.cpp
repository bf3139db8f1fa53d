#include "readers/map_file.hpp"

#include "readers/reader_test_support.hpp"
#include "support/map_fixture.hpp"
#include "support/scratch_dir.hpp"

#include "common/printf_text.hpp"
#include "support/run_capture.hpp"

#include <cerrno>
#include <algorithm>
#include <filesystem>
#include <limits>
#include <thread>

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

using namespace grix;

namespace {

// The map holds each written section's grid values, and neither the values beyond the
// grid up to nrho nor the tail words.
void expect_same_sections(const FourierMap& read, const MapSections& written)
{
    const std::size_t points = read.geometry.section_points();
    ASSERT_EQ(read.values.size(), written.size() * points);
    for (std::size_t k = 0; k < written.size(); ++k) {
        const auto first = written[k].values.begin();
        const std::vector<float> grid(first, first + static_cast<std::ptrdiff_t>(points));
        EXPECT_EQ(std::vector<float>(read.section(k), read.section(k) + points), grid)
            << "section " << k;
    }
}

TEST(MapFile, FoundUnderEachNameFormAndWholeNameFormsFirst)
{
    for (const char* stored : {"Data/run1.fclc", "Data/RUN1.FCLC", "Data/run1.fcl", "Data/RUN1.FCL"}) {
        ScratchDir dir;
        std::filesystem::create_directory(dir.file("Data"));
        const MapHeader header = make_map_header(2, 3, 4);
        write_file_bytes(dir.file(stored), encode_map_file(header, make_tagged_sections(header)));
        MapReading reading;
        reading.read(dir.file("Data/Run1.exp"));
        EXPECT_EQ(reading.name, dir.file(stored));
        EXPECT_EQ(reading.map.geometry.points[2], 4) << stored;
    }

    // data/run1.fcl is the third name tried; Data/run1.fclc only comes after all four.
    ScratchDir dir;
    for (const char* sub : {"data", "Data"})
        std::filesystem::create_directory(dir.file(sub));
    const MapHeader lower = make_map_header(2, 2, 1);
    const MapHeader mixed = make_map_header(2, 2, 5);
    write_file_bytes(dir.file("data/run1.fcl"), encode_map_file(lower, make_tagged_sections(lower)));
    write_file_bytes(dir.file("Data/run1.fclc"), encode_map_file(mixed, make_tagged_sections(mixed)));
    MapReading reading;
    reading.read(dir.file("Data/Run1"));
    EXPECT_EQ(reading.map.geometry.points[2], 1);

    // Every name is tried, and each failure kept with its reason.
    const std::vector<std::string> names = map_file_candidates(dir.file("Data/none"), "FCLC");
    std::vector<FailedOpen> failures;
    EXPECT_FALSE(open_first(names, failures));
    ASSERT_EQ(failures.size(), names.size());
    for (std::size_t n = 0; n < names.size(); ++n) {
        EXPECT_EQ(failures[n].name, names[n]);
        EXPECT_EQ(failures[n].error, ENOENT);
    }
}

TEST(MapFile, RecordSizeFromTheZeroPaddingAndSectionsWithTails)
{
    for (int record_size : {512, 164}) {
        ScratchDir dir;
        MapHeader header = make_map_header(3, 2, 4, 2);
        header.nrho += 3;  // values beyond the grid points are skipped, sections stay aligned
        MapSections sections = make_tagged_sections(header);
        for (MapSection& section : sections)
            section.values.back() = -7.5f;
        write_file_bytes(dir.file("run.fclc"), encode_map_file(header, sections, record_size));
        MapReading reading;
        reading.read(dir.file("run"));
        EXPECT_NE(reading.dump.find(printf_text("\nrecord_size = %d\n", record_size)),
                  std::string::npos);
        EXPECT_EQ(reading.map.header.nrho, 9);
        EXPECT_EQ(reading.map.header.msect, 2);
        EXPECT_EQ(reading.map.header.rmin, -1.0f);
        expect_same_sections(reading.map, sections);
    }
}

#if !defined(_WIN32)
// A map that comes through a pipe, which can be neither mapped nor told its size, is
// read whole, over many reads.
TEST(MapFile, ReadWholeThroughAPipe)
{
    ScratchDir dir;
    const MapHeader header = make_map_header(40, 30, 20);
    const MapSections sections = make_tagged_sections(header);
    ASSERT_EQ(mkfifo(dir.file("run.fclc").c_str(), 0600), 0);
    std::thread writer(
        [&] { write_file_bytes(dir.file("run.fclc"), encode_map_file(header, sections)); });
    MapReading reading;
    reading.read(dir.file("run"));
    writer.join();
    expect_same_sections(reading.map, sections);
}
#endif

TEST(MapFile, NoSectionsRefusedAndMissingLastTail)
{
    ScratchDir dir;
    const MapHeader empty = make_map_header(3, 2, 0);
    write_file_bytes(dir.file("run.fclc"), encode_map_file(empty, {}));
    MapReading reading;
    EXPECT_EQ(fatal_message([&] { reading.read(dir.file("run")); }),
              "Error reading Fourier map file " + dir.file("run.fclc") +
                  "; no grid points along a direction, nxyzt = 3 2 0.\n");

    const MapHeader header = make_map_header(3, 2, 2);
    MapSections sections = make_tagged_sections(header);
    std::string bytes = encode_map_file(header, sections);
    bytes.resize(bytes.size() - 8);
    write_file_bytes(dir.file("cut.fclc"), bytes);
    MapReading cut;
    cut.read(dir.file("cut"));
    expect_same_sections(cut.map, sections);
}

TEST(MapFile, NoDataFound)
{
    const MapHeader header = make_map_header(2, 2, 1);
    const std::string first_record = encode_map_file(header, {}).substr(0, 164);
    for (const std::string& bytes : {std::string(), first_record.substr(0, 100), first_record,
                                     first_record + std::string(3, '\1'),
                                     first_record + std::string(70000, '\0')}) {
        ScratchDir dir;
        write_file_bytes(dir.file("run.fclc"), bytes);
        MapReading reading;
        EXPECT_EQ(fatal_message([&] { reading.read(dir.file("run")); }),
                  "Error reading Fourier map file; no data found.\n")
            << bytes.size() << " bytes";
    }
}

// "-v" alone: an interactive run that shows the header after the format question.
TEST(MapFile, HeaderDump)
{
    ScratchDir dir;
    const MapHeader header = make_map_header(3, 2, 1);
    write_file_bytes(dir.file("run.fclc"),
                     encode_map_file(header, make_tagged_sections(header), 256));
    const RunResult result =
        run_grix({"-v"}, dir.file("run") + "\nfclc\nwingx\n" + dir.file("out.map") + "\n");
    EXPECT_EQ(result.status, 0);
    // The 66-column texts keep their trailing blanks.
    const std::string dump =
        "title = test map" + std::string(58, ' ') + "\n"
        "phase = test phase" + std::string(56, ' ') + "\n"
        "maptyp = FCLC\n"
        "cell: 10.000000 10.000000 10.000000 90.000000 90.000000 90.000000 1000.000000 \n"
        "record_size = 256\n"
        "nxyzi: 20 20 20 \n"
        "nxyzo: 0 0 0 \n"
        "nxyzt: 3 2 1 \n"
        "msect = 3\n"
        "nrho = 6\n"
        "rmax = 1.000000, rmin = -1.000000, srho = 0.500000\n";
    EXPECT_NE(result.out.find("Type: \n" + dump + "Can't find "), std::string::npos)
        << result.out;
}

TEST(MapFile, UnsoundHeadersRefusedBeforeAnyMemoryIsTaken)
{
    struct Case {
        const char* what;
        int nxyzt[3];
        int nrho;
        long long cut_bytes;  // taken off the end of the file
        const char* message_part;
    };
    const Case cases[] = {
        {"negative across", {-1, 2, 2}, 6, 0, "negative grid size"},
        {"negative sections", {3, 2, -5}, 6, 0, "negative grid size"},
        {"no rows", {3, 0, 2}, 0, 0, "; no grid points along a direction, nxyzt = 3 0 2.\n"},
        {"negative nrho", {3, 2, 2}, -1, 0, "nrho = -1 is less"},
        {"nrho below the points", {3, 2, 2}, 5, 0, "nrho = 5 is less"},
        {"points beyond int", {65536, 65536, 1}, 0, 0, "4294967296 points"},
        {"billions of sections", {3, 2, 2000000000}, 6, 0, "too short"},
        {"huge sections", {3, 2, 1}, 2000000000, 0, "too short"},
        {"last values cut", {3, 2, 2}, 6, 9, "too short"},
        {"ends inside record 2", {3, 2, 2}, 6, 2 * 512 + 2 * 32 - 600, "second record"},
    };
    for (const Case& c : cases) {
        ScratchDir dir;
        MapHeader header = make_map_header(3, 2, 2);
        std::string bytes = encode_map_file(header, make_tagged_sections(header));
        std::copy(c.nxyzt, c.nxyzt + 3, header.nxyzt);
        header.nrho = c.nrho;
        bytes.replace(0, 1024, encode_map_file(header, {}));
        bytes.resize(bytes.size() - static_cast<std::size_t>(c.cut_bytes));
        write_file_bytes(dir.file("run.fclc"), bytes);
        MapReading reading;
        const std::string message = fatal_message([&] { reading.read(dir.file("run")); });
        EXPECT_EQ(message.rfind("Error reading Fourier map file " + dir.file("run.fclc") + "; ", 0), 0u)
            << c.what << ": " << message;
        EXPECT_NE(message.find(c.message_part), std::string::npos) << c.what << ": " << message;
        // The dump still shows what was read.
        EXPECT_NE(reading.dump.find(printf_text("\nnxyzt: %d %d %d \n", c.nxyzt[0], c.nxyzt[1],
                                                c.nxyzt[2])), std::string::npos) << c.what;
    }
}

}  // namespace

// Small maps are counted on one thread, large ones in two halves: a value in either half,
// at either end of it, is counted once.
TEST(MapFile, NonFiniteValuesCountedInEverySection)
{
    for (const std::size_t points : {6, 1 << 18}) {
        FourierMap map;
        map.values = MapValues(points, 5);
        for (std::size_t k = 0; k < 5; ++k)
            std::fill_n(map.values.section(k), points, 1.5f);
        map.values.section(0)[0] = std::numeric_limits<float>::quiet_NaN();
        map.values.section(1)[points - 1] = std::numeric_limits<float>::infinity();
        map.values.section(2)[0] = -std::numeric_limits<float>::infinity();
        map.values.section(4)[points - 1] = std::numeric_limits<float>::quiet_NaN();
        map.values.section(3)[1] = std::numeric_limits<float>::max();
        EXPECT_EQ(count_non_finite_values(map), 4u) << points;
    }
}
