#include "readers/map_file.hpp"

#include "common/byte_order.hpp"
#include "common/fatal.hpp"
#include "common/printf_text.hpp"
#include "common/two_halves.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <cmath>
#include <cstdint>
#include <new>

namespace grix {
namespace {

// Record 1: phase (66), title (66), maptyp (4), seven cell reals; the zero padding
// after them runs up to the record length.
constexpr std::size_t FIRST_RECORD_FIELDS = 164;

// Per msect (1, 2, 3): the fractional axis of the across, down and section directions.
constexpr std::array<std::array<int, 3>, 3> DIRECTION_AXES = {{
    {1, 2, 0},  // across y, down z, section x
    {2, 0, 1},  // across z, down x, section y
    {0, 1, 2},  // across x, down y, section z
}};

void copy_text(char* field, const unsigned char* bytes, std::size_t width)
{
    std::copy(bytes, bytes + width, field);
    field[width] = '\0';
}

// The 4-byte word at `offset`, 0 past the end of the file.
std::uint32_t word_at(const FileBytes& bytes, std::size_t offset)
{
    return offset + 4 <= bytes.size ? decode_le32(bytes.data + offset) : 0;
}

// The first record's texts and cell; what lies past the end of the file reads as 0. A
// file too short for them holds no grid words either, which the search for record 2
// reports.
void read_first_record(const FileBytes& bytes, MapHeader& header)
{
    unsigned char fields[FIRST_RECORD_FIELDS] = {};
    std::copy_n(bytes.data, std::min(bytes.size, FIRST_RECORD_FIELDS), fields);
    copy_text(header.phase, fields, 66);
    copy_text(header.title, fields + 66, 66);
    copy_text(header.maptyp, fields + 132, 4);
    for (int i = 0; i < 7; ++i)
        header.cell[i] = decode_float32(fields + 136 + 4 * i);
}

// The record length is not stated: the first record is padded with zero words, and
// the first non-zero word, nxyzi[0], opens the second record. A record length beyond
// int is taken as no data, as is a file that ends first.
std::size_t find_record_size(const FileBytes& bytes)
{
    constexpr std::size_t LONGEST_RECORD = INT_MAX;
    for (std::size_t offset = FIRST_RECORD_FIELDS;
         offset + 4 <= bytes.size && offset <= LONGEST_RECORD; offset += 4) {
        if (decode_le32(bytes.data + offset) != 0)
            return offset;
    }
    throw FatalError("Error reading Fourier map file; no data found.\n");
}

// The grid words of record 2: nxyzi, nxyzo, nxyzt, msect, nrho, rmax, rmin, srho. Words
// past the end of the file stay 0; the soundness checks refuse such a file after the dump
// has shown what was read.
void read_second_record(const FileBytes& bytes, std::size_t record_size, MapHeader& header)
{
    auto word = [&](int n) {
        return word_at(bytes, record_size + 4 * static_cast<std::size_t>(n));
    };
    std::int32_t* triples[] = {header.nxyzi, header.nxyzo, header.nxyzt};
    for (int t = 0; t < 3; ++t)
        for (int d = 0; d < 3; ++d)
            triples[t][d] = static_cast<std::int32_t>(word(3 * t + d));
    header.msect = static_cast<std::int32_t>(word(9));
    header.nrho = static_cast<std::int32_t>(word(10));
    header.rmax = std::bit_cast<float>(word(11));
    header.rmin = std::bit_cast<float>(word(12));
    header.srho = std::bit_cast<float>(word(13));
}

// Everything later stages trust about the grid, checked before any value is taken: a
// hostile header may not claim more values than the file's bytes hold, and every
// section must hold its full across x down points.
void check_header(const MapFileStart& file)
{
    const MapHeader& header = file.header;
    const char* name = file.file.name.c_str();
    // A second record cut short leaves its missing words 0: say so, rather than refuse
    // the values that were never read.
    const std::size_t sections_start = 2 * file.record_size;
    if (file.bytes.size < sections_start)
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
    const std::uint64_t available_words = (file.bytes.size - sections_start) / 4;
    const std::uint64_t needed_words =
        static_cast<std::uint64_t>(nxyzt[2] - 1) * (static_cast<std::uint64_t>(header.nrho) + 2) +
        static_cast<std::uint64_t>(header.nrho);
    if (needed_words > available_words)
        throw FatalError(printf_text("Error reading Fourier map file %s; the file is too short for "
                                "%d sections of %d values.\n", name, nxyzt[2], header.nrho));
}

// The sections' grid values where they lie: each section's nrho values are followed by
// two tail words, and the values beyond the grid up to nrho are passed over. The bytes
// are little-endian words; a host of the other order turns them in place.
MapValues take_values(MapFileStart& file, const MapGeometry& geometry)
{
    const std::size_t points = geometry.section_points();
    const auto sections = static_cast<std::size_t>(geometry.points[2]);
    const std::size_t stride = static_cast<std::size_t>(file.header.nrho) + 2;
    // The record size is a whole number of words, so the values lie on a 4-byte boundary.
    auto* first = reinterpret_cast<float*>(file.bytes.data + 2 * file.record_size);
    if constexpr (std::endian::native != std::endian::little) {
        for (std::size_t k = 0; k < sections; ++k) {
            float* section = first + k * stride;
            for (std::size_t i = 0; i < points; ++i)
                section[i] = decode_float32(reinterpret_cast<unsigned char*>(section + i));
        }
    }
    return MapValues(file.bytes.storage, first, points, sections, stride);
}

// How many values of sections [first, end) are NaN or infinite. A value is either when
// its exponent bits are all set; tested on the bits, without a branch, the loop runs on
// whole vectors of values.
std::uint64_t count_non_finite_in(const MapValues& values, std::size_t first, std::size_t end)
{
    constexpr std::uint32_t EXPONENT = 0x7f800000;
    std::uint64_t count = 0;
    for (std::size_t k = first; k < end; ++k) {
        const float* section = values.section(k);
        std::uint32_t in_section = 0;
        for (std::size_t i = 0; i < values.section_points(); ++i)
            in_section += (std::bit_cast<std::uint32_t>(section[i]) & EXPONENT) == EXPONENT;
        count += in_section;
    }
    return count;
}

}  // namespace

MapFileStart read_map_header(InputFile file)
{
    MapFileStart start;
    start.file = std::move(file);
    try {
        // Turned in place on a host of the other byte order.
        start.bytes = take_file_bytes(start.file, std::endian::native != std::endian::little);
    } catch (const std::bad_alloc&) {
        throw FatalError("Error allocating memory for Fourier sections.\n");
    }
    read_first_record(start.bytes, start.header);
    start.record_size = find_record_size(start.bytes);
    read_second_record(start.bytes, start.record_size, start.header);
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
    check_header(file);
    // A file cut short since its bytes were taken would read as zeros where it was cut.
    if (!keeps_its_length(file.file, file.bytes))
        throw FatalError(printf_text("Error reading Fourier map file %s; it ended early, "
                                     "changed while it was read.\n",
                                     file.file.name.c_str()));
    FourierMap map{file.header, lay_map_geometry(file.header), {}};
    map.values = take_values(file, map.geometry);
    return map;
}

std::uint64_t count_non_finite_values(const FourierMap& map)
{
    const MapValues& values = map.values;
    const auto [first, second] = work_in_two_halves(
        values.sections(), values.size() >= VALUES_WORTH_A_THREAD,
        [&values](std::size_t begin, std::size_t end) { return count_non_finite_in(values, begin, end); });
    return first + second;
}

}  // namespace grix
