#include "writers/ccp4_map.hpp"

#include "common/byte_order.hpp"
#include "common/fatal.hpp"
#include "common/printf_text.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace grix {
namespace {

constexpr std::size_t CCP4_HEADER_BYTES = 1024;
constexpr std::size_t CCP4_LABEL_BYTES = 80;
constexpr int CCP4_MODE_REAL32 = 2;
constexpr int CCP4_SPACE_GROUP_P1 = 1;
constexpr int CCP4_UNUSED_WORDS = 28;  // words 25 to 52

// Crystal axis (1 = X, 2 = Y, 3 = Z) along which the across, down and section
// directions run, for msect 1, 2 and 3. A CCP4 map's columns, rows and sections are
// the map's across, down and section directions, so its data need no reordering.
constexpr int AXIS_OF_DIRECTION[3][3] = {{2, 3, 1}, {3, 1, 2}, {1, 2, 3}};

struct DensityStats {
    float min = 0;
    float max = 0;
    float mean = 0;
    float rms = 0;  // root-mean-square deviation from the mean
};

// The points of section k that the map uses, in memory order (across fastest).
std::pair<const float*, const float*> section_points(const MapHeader& header,
                                                     const MapSections& sections, int k)
{
    const std::ptrdiff_t across = std::max(header.nxyzt[0], 0);
    const std::ptrdiff_t down = std::max(header.nxyzt[1], 0);
    const float* first = sections[static_cast<std::size_t>(k)].values.data();
    return {first, first + across * down};
}

// Range, mean and spread of the densities written; all zero for a grid without points.
DensityStats measure_densities(const MapHeader& header, const MapSections& sections)
{
    DensityStats stats;
    if (header.nxyzt[0] <= 0 || header.nxyzt[1] <= 0 || header.nxyzt[2] <= 0)
        return stats;
    stats.min = stats.max = sections.front().values.front();
    double sum = 0;
    double count = 0;
    for (int k = 0; k < header.nxyzt[2]; ++k) {
        const auto [first, last] = section_points(header, sections, k);
        for (const float* value = first; value != last; ++value) {
            stats.min = std::min(stats.min, *value);
            stats.max = std::max(stats.max, *value);
            sum += *value;
        }
        count += static_cast<double>(last - first);
    }
    const double mean = sum / count;
    double squares = 0;
    for (int k = 0; k < header.nxyzt[2]; ++k) {
        const auto [first, last] = section_points(header, sections, k);
        for (const float* value = first; value != last; ++value)
            squares += (*value - mean) * (*value - mean);
    }
    stats.mean = static_cast<float>(mean);
    stats.rms = static_cast<float>(std::sqrt(squares / count));
    return stats;
}

// "grix: " and the map's title, blank-padded to one 80-character label.
std::string make_label(const MapHeader& header)
{
    std::string label = "grix: ";
    label.append(header.title, strnlen(header.title, sizeof header.title));
    label.resize(CCP4_LABEL_BYTES, ' ');
    return label;
}

std::string encode_header(const CellParameters& cell, const MapHeader& header,
                          const DensityStats& stats)
{
    const int* axis = AXIS_OF_DIRECTION[header.msect - 1];
    int intervals[3] = {};
    for (int d = 0; d < 3; ++d)
        intervals[axis[d] - 1] = header.nxyzi[d];

    std::string bytes;
    for (int d = 0; d < 3; ++d)
        append_int32(bytes, header.nxyzt[d]);
    append_int32(bytes, CCP4_MODE_REAL32);
    for (int d = 0; d < 3; ++d)
        append_int32(bytes, header.nxyzo[d]);
    for (int value : intervals)
        append_int32(bytes, value);
    for (float value : {cell.a, cell.b, cell.c, cell.alpha, cell.beta, cell.gamma})
        append_float32(bytes, value);
    for (int d = 0; d < 3; ++d)
        append_int32(bytes, axis[d]);
    for (float value : {stats.min, stats.max, stats.mean})
        append_float32(bytes, value);
    append_int32(bytes, CCP4_SPACE_GROUP_P1);
    append_int32(bytes, 0);  // no symmetry records follow the header
    bytes.append(4 * CCP4_UNUSED_WORDS, '\0');
    bytes += "MAP ";
    bytes += std::string{'\x44', '\x41', '\0', '\0'};  // machine stamp: little-endian reals
    append_float32(bytes, stats.rms);
    append_int32(bytes, 1);  // one label
    bytes += make_label(header);
    bytes.resize(CCP4_HEADER_BYTES, '\0');
    return bytes;
}

// The sections as held in memory: across fastest, then down, then section.
void write_densities(OutputFile& file, const MapHeader& header, const MapSections& sections)
{
    std::string bytes;
    for (int k = 0; k < header.nxyzt[2]; ++k) {
        const auto [first, last] = section_points(header, sections, k);
        for (const float* value = first; value != last; ++value)
            append_float32(bytes, *value);
        write_when_full(file, bytes);
    }
    write_output(file, bytes);
}

}  // namespace

// A map whose axes cannot be named, or whose cell has no volume, would be unusable. The
// cell is put to the orthogonalisation's own volume test, so it is refused with the same
// report as for the resampling formats.
void check_ccp4_map(const Conversion& conversion)
{
    const std::int32_t msect = conversion.map.header.msect;
    if (msect < 1 || msect > 3)
        throw FatalError(printf_text(
            "Can't write a CCP4 map: unknown section direction %d (msect must be 1, 2 or 3).\n",
            msect));
    orthogonalise_cell(conversion.phase.cell);
}

void write_ccp4_map(const Conversion& conversion, OutputFile& file)
{
    const FourierMap& map = conversion.map;
    write_output(file, encode_header(conversion.phase.cell, map.header,
                                     measure_densities(map.header, map.sections)));
    write_densities(file, map.header, map.sections);
}

}  // namespace grix
