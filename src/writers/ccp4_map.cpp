#include "writers/ccp4_map.hpp"

#include "common/byte_order.hpp"
#include "common/fatal.hpp"
#include "common/printf_text.hpp"
#include "geometry/grid.hpp"
#include "geometry/map_summary.hpp"
#include "symmetry/whole_cell.hpp"
#include "writers/whole_cell_text.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <future>
#include <span>
#include <system_error>
#include <vector>

namespace grix {
namespace {

constexpr std::size_t CCP4_HEADER_BYTES = 1024;
constexpr std::size_t CCP4_LABEL_BYTES = 80;
constexpr int CCP4_MODE_REAL32 = 2;
constexpr int CCP4_EXTRA_WORDS = 28;  // words 25 to 52
constexpr int CCP4_NVERSION_WORD = 28;
constexpr int CCP4_NVERSION_2014 = 20140;

// What the header says of the grid, and the densities in the order the file holds them.
struct Ccp4Grid {
    std::int32_t counts[3];     // columns, rows, sections
    std::int32_t starts[3];
    std::int32_t intervals[3];  // along X, Y, Z
    std::int32_t axes[3];       // crystal axis of the columns, rows, sections
    SectionedValues values;
};

// The map on its own grid: each section's points that the map uses, across fastest. A
// CCP4 map's columns, rows and sections are the map's across, down and section
// directions, so its data need no reordering.
Ccp4Grid describe_map_grid(const FourierMap& map)
{
    Ccp4Grid grid{};
    const MapGeometry& geometry = map.geometry;
    const std::array<int, 3>& axes = geometry.axes();
    for (std::size_t d = 0; d < 3; ++d) {
        grid.counts[d] = geometry.points[d];
        grid.starts[d] = geometry.origin[d];
        grid.intervals[axes[d]] = geometry.divisions[d];
        grid.axes[d] = axes[d] + 1;  // 1 = X, 2 = Y, 3 = Z
    }
    grid.values = map.values.all();
    return grid;
}

// The whole cell from its origin, one period along each axis, X fastest.
Ccp4Grid describe_cell_grid(const WholeCell& cell)
{
    Ccp4Grid grid{};
    for (int d = 0; d < 3; ++d) {
        grid.counts[d] = grid.intervals[d] = cell.points[static_cast<std::size_t>(d)];
        grid.axes[d] = d + 1;
    }
    grid.values = cell.density();
    return grid;
}

// "grix: " and the map's title, blank-padded to one 80-character label.
std::string make_label(const MapHeader& header)
{
    std::string label = "grix: ";
    label.append(header.title, strnlen(header.title, sizeof header.title));
    label.resize(CCP4_LABEL_BYTES, ' ');
    return label;
}

// The header, with the range, mean and spread of the finite densities written: NaN or an
// infinity would swamp them.
std::string encode_header(const Conversion& conversion, const Ccp4Grid& grid,
                          const SingleValueStatistics& stats)
{
    const CellParameters& cell = conversion.phase.cell;
    std::string bytes;
    for (std::int32_t count : grid.counts)
        append_int32(bytes, count);
    append_int32(bytes, CCP4_MODE_REAL32);
    for (std::int32_t start : grid.starts)
        append_int32(bytes, start);
    for (std::int32_t intervals : grid.intervals)
        append_int32(bytes, intervals);
    for (float value : {cell.a, cell.b, cell.c, cell.alpha, cell.beta, cell.gamma})
        append_float32(bytes, value);
    for (std::int32_t axis : grid.axes)
        append_int32(bytes, axis);
    for (float value : {stats.minimum, stats.maximum, stats.mean})
        append_float32(bytes, value);
    append_int32(bytes, conversion.space_group_number);
    append_int32(bytes, 0);  // no symmetry records follow the header
    for (int word = 25; word < 25 + CCP4_EXTRA_WORDS; ++word)
        append_int32(bytes, word == CCP4_NVERSION_WORD ? CCP4_NVERSION_2014 : 0);
    bytes += "MAP ";
    bytes += std::string{'\x44', '\x41', '\0', '\0'};  // machine stamp: little-endian reals
    append_float32(bytes, stats.rms);
    append_int32(bytes, 1);  // one label
    bytes += make_label(conversion.map.header);
    bytes.resize(CCP4_HEADER_BYTES, '\0');
    return bytes;
}

// Each run of values handed on whole, as the file's bytes.
void write_values(const Ccp4Grid& grid, OutputSink& sink)
{
    for (std::size_t k = 0; k < grid.values.sections; ++k)
        write_le32_floats(sink, grid.values.section(k));
}

// The header's statistics take as long as handing on the values. Where the header can
// be written again they are measured on a second thread while the values go out after
// a header of the same length, which the true one then replaces.
void write_ccp4_grid(const Conversion& conversion, const Ccp4Grid& grid, OutputSink& sink)
{
    std::future<SingleValueStatistics> measured;
    if (sink.can_rewrite()) {
        try {
            measured = std::async(std::launch::async, summarise_values_single, grid.values);
        } catch (const std::system_error&) {
            // no thread to spare: measured first, on this one
        }
    }
    if (!measured.valid()) {
        sink.append(encode_header(conversion, grid, summarise_values_single(grid.values)));
        write_values(grid, sink);
        return;
    }
    sink.append(encode_header(conversion, grid, SingleValueStatistics{}));
    write_values(grid, sink);
    sink.rewrite(0, encode_header(conversion, grid, measured.get()));
}

}  // namespace

// A map whose axes cannot be named, or whose cell has no volume, would be unusable. The
// cell is put to the orthogonalisation's own volume test, so it is refused with the same
// report as for the resampling formats.
void check_ccp4_map(const FourierMap& map, const CellParameters& cell)
{
    if (!map.geometry.knows_axes())
        throw FatalError(printf_text(
            "Can't write a CCP4 map: unknown section direction %d (msect must be 1, 2 or 3).\n",
            map.header.msect));
    check_cell_volume(cell);
}

void write_ccp4_map(const Conversion& conversion, OutputSink& sink)
{
    write_ccp4_grid(conversion, describe_map_grid(conversion.map), sink);
}

void write_ccp4_cell(const WholeCellConversion& conversion, OutputSink& sink)
{
    check_value_count(conversion.whole_cell);
    write_ccp4_grid(conversion, describe_cell_grid(conversion.whole_cell), sink);
}

}  // namespace grix
