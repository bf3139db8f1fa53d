#include "readers/map_file.hpp"

#include "common/byte_order.hpp"
#include "common/fatal.hpp"
#include "common/printf_text.hpp"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <new>
#include <vector>

namespace grix {
namespace {

// Record 1: phase (66), title (66), maptyp (4), seven cell reals; the zero padding
// after them runs up to the record length.
constexpr std::streamoff FIRST_RECORD_FIELDS = 164;
// Record 2: nxyzi, nxyzo, nxyzt, msect, nrho, rmax, rmin, srho.
constexpr int SECOND_RECORD_WORDS = 14;

// Per msect (1, 2, 3): the fractional axis of the across, down and section directions.
constexpr std::array<std::array<int, 3>, 3> DIRECTION_AXES = {{
    {1, 2, 0},  // across y, down z, section x
    {2, 0, 1},  // across z, down x, section y
    {0, 1, 2},  // across x, down y, section z
}};

// Reads up to `size` bytes; returns how many arrived.
std::streamsize read_bytes(std::ifstream& file, void* data, std::streamsize size)
{
    file.read(static_cast<char*>(data), size);
    return file.gcount();
}

void copy_text(char* field, const unsigned char* bytes, std::size_t width)
{
    std::copy(bytes, bytes + width, field);
    field[width] = '\0';
}

// The first record's texts and cell. A file too short for them holds no grid words
// either, which the search for record 2 reports.
void read_first_record(MapFileStart& file, MapHeader& header)
{
    unsigned char bytes[FIRST_RECORD_FIELDS] = {};
    read_bytes(file.stream, bytes, FIRST_RECORD_FIELDS);
    copy_text(header.phase, bytes, 66);
    copy_text(header.title, bytes + 66, 66);
    copy_text(header.maptyp, bytes + 132, 4);
    for (int i = 0; i < 7; ++i)
        header.cell[i] = decode_float32(bytes + 136 + 4 * i);
}

// The record length is not stated: the first record is padded with zero words, and
// the first non-zero word, nxyzi[0], opens the second record. A record length beyond
// int is taken as no data, as is a file that ends first.
std::streamoff find_record_size(MapFileStart& file)
{
    constexpr std::streamoff LONGEST_RECORD = INT_MAX;
    constexpr std::streamsize CHUNK = 1 << 16;
    static_assert(CHUNK % 4 == 0, "words must not straddle chunks");
    std::vector<unsigned char> chunk(CHUNK);
    std::streamoff offset = FIRST_RECORD_FIELDS;
    file.stream.clear();
    file.stream.seekg(offset);
    for (;;) {
        const std::streamsize got = read_bytes(file.stream, chunk.data(), CHUNK);
        for (std::streamsize at = 0; at + 4 <= got && offset <= LONGEST_RECORD; at += 4, offset += 4) {
            if (decode_le32(chunk.data() + at) != 0)
                return offset;
        }
        if (got < CHUNK || offset > LONGEST_RECORD)
            throw FatalError("Error reading Fourier map file; no data found.\n");
    }
}

// The grid words of record 2. Words past the end of the file stay 0; the soundness
// checks refuse such a file after the dump has shown what was read.
void read_second_record(MapFileStart& file, std::streamoff record_size, MapHeader& header)
{
    unsigned char bytes[4 * SECOND_RECORD_WORDS] = {};
    file.stream.clear();
    file.stream.seekg(record_size);
    read_bytes(file.stream, bytes, sizeof bytes);
    std::int32_t* triples[] = {header.nxyzi, header.nxyzo, header.nxyzt};
    for (int t = 0; t < 3; ++t)
        for (int d = 0; d < 3; ++d)
            triples[t][d] = decode_int32(bytes + 4 * (3 * t + d));
    header.msect = decode_int32(bytes + 36);
    header.nrho = decode_int32(bytes + 40);
    header.rmax = decode_float32(bytes + 44);
    header.rmin = decode_float32(bytes + 48);
    header.srho = decode_float32(bytes + 52);
}

// Everything later stages trust about the grid, checked before any section memory is
// taken: a hostile header may not claim more memory than the file's bytes justify, and
// every section must hold its full across x down points.
void check_header(const MapFileStart& file, const MapHeader& header, std::streamoff record_size)
{
    const char* name = file.name.c_str();
    // A second record cut short leaves its missing words 0: say so, rather than refuse
    // the values that were never read.
    const std::streamoff sections_start = 2 * record_size;
    if (file.size < sections_start)
        throw FatalError(printf_text("Error reading Fourier map file %s; the file ends inside its "
                                "second record.\n", name));
    const std::int32_t* nxyzt = header.nxyzt;
    if (nxyzt[0] < 0 || nxyzt[1] < 0 || nxyzt[2] < 0)
        throw FatalError(printf_text("Error reading Fourier map file %s; negative grid size "
                                "nxyzt = %d %d %d.\n", name, nxyzt[0], nxyzt[1], nxyzt[2]));
    // A grid without points along a direction, or without intervals per cell, places no
    // point anywhere: every format would write an empty or meaningless grid.
    if (nxyzt[0] == 0 || nxyzt[1] == 0 || nxyzt[2] == 0)
        throw FatalError(printf_text("Error reading Fourier map file %s; no grid points along "
                                "a direction, nxyzt = %d %d %d.\n",
                                name, nxyzt[0], nxyzt[1], nxyzt[2]));
    const std::int32_t* nxyzi = header.nxyzi;
    if (nxyzi[0] < 1 || nxyzi[1] < 1 || nxyzi[2] < 1)
        throw FatalError(printf_text("Error reading Fourier map file %s; grid intervals per cell "
                                "below 1, nxyzi = %d %d %d.\n",
                                name, nxyzi[0], nxyzi[1], nxyzi[2]));
    const long long points = static_cast<long long>(nxyzt[0]) * nxyzt[1];
    if (header.nrho < points)
        throw FatalError(printf_text("Error reading Fourier map file %s; nrho = %d is less than "
                                "the %lld points of a section.\n", name, header.nrho, points));
    // Every section's values, and the two tail words of all but the last, counted in
    // words so the product cannot overflow.
    const auto available_words = static_cast<std::uint64_t>(file.size - sections_start) / 4;
    const std::uint64_t needed_words =
        static_cast<std::uint64_t>(nxyzt[2] - 1) * (static_cast<std::uint64_t>(header.nrho) + 2) +
        static_cast<std::uint64_t>(header.nrho);
    if (needed_words > available_words)
        throw FatalError(printf_text("Error reading Fourier map file %s; the file is too short for "
                                "%d sections of %d values.\n", name, nxyzt[2], header.nrho));
}

MapValues allocate_values(const MapGeometry& geometry)
{
    try {
        return MapValues(geometry.total_points());
    } catch (const std::bad_alloc&) {
        throw FatalError("Error allocating memory for Fourier sections.\n");
    }
}

// Each section's grid values arrive with one bulk read into their place in the block and
// are then decoded in place; the values beyond the grid up to nrho and the two tail words
// after them are skipped.
void read_values(MapFileStart& file, const MapHeader& header, MapValues& values)
{
    const std::size_t points =
        static_cast<std::size_t>(header.nxyzt[0]) * static_cast<std::size_t>(header.nxyzt[1]);
    const auto skipped = static_cast<std::streamoff>(
        4 * (static_cast<std::uint64_t>(header.nrho) - points + 2));
    file.stream.clear();
    file.stream.seekg(2 * file.record_size);
    for (std::size_t k = 0; k < static_cast<std::size_t>(header.nxyzt[2]); ++k) {
        float* section = values.data() + k * points;
        const auto wanted = static_cast<std::streamsize>(4 * points);
        // The size was checked: a file that comes up short changed while it was read.
        if (read_bytes(file.stream, section, wanted) != wanted)
            throw FatalError(printf_text("Error reading Fourier map file %s; it ended early, "
                                         "changed while it was read.\n",
                                         file.name.c_str()));
        auto* bytes = reinterpret_cast<unsigned char*>(section);
        for (std::size_t i = 0; i < points; ++i)
            section[i] = decode_float32(bytes + 4 * i);
        file.stream.seekg(skipped, std::ios::cur);
    }
}

}  // namespace

MapFileStart read_map_header(InputFile file)
{
    MapFileStart start;
    start.name = std::move(file.name);
    start.stream = std::move(file.stream);
    // A file whose size cannot be told (a directory, say) reads as empty.
    start.stream.seekg(0, std::ios::end);
    start.size = std::max<std::streamoff>(start.stream.tellg(), 0);
    start.stream.clear();
    start.stream.seekg(0);
    read_first_record(start, start.header);
    start.record_size = find_record_size(start);
    read_second_record(start, start.record_size, start.header);
    return start;
}

MapGeometry lay_map_geometry(const MapHeader& header)
{
    MapGeometry geometry;
    if (header.msect >= 1 && header.msect <= 3)
        geometry.axis = DIRECTION_AXES[static_cast<std::size_t>(header.msect - 1)];
    for (std::size_t d = 0; d < 3; ++d) {
        geometry.divisions[d] = header.nxyzi[d];
        geometry.origin[d] = header.nxyzo[d];
        geometry.points[d] = header.nxyzt[d];
    }
    return geometry;
}

FourierMap read_map_sections(MapFileStart& file)
{
    check_header(file, file.header, file.record_size);
    FourierMap map{file.header, lay_map_geometry(file.header), {}};
    map.values = allocate_values(map.geometry);
    read_values(file, map.header, map.values);
    return map;
}

std::uint64_t count_non_finite_values(const FourierMap& map)
{
    const float* values = map.values.data();
    return static_cast<std::uint64_t>(std::count_if(
        values, values + map.values.size(), [](float value) { return !std::isfinite(value); }));
}

}  // namespace grix
