// What the text formats of the whole cell share: the density's lines, formatted a piece
// at a time so that a file of tens of millions of values never sits in memory at once;
// titles kept on one line.
#pragma once

#include "symmetry/whole_cell.hpp"
#include "writers/conversion.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace grix {

// Densities per line in both formats.
inline constexpr std::size_t VALUES_PER_LINE = 6;

// The length of the text of values first to last - 1 of a row of `points` values: each
// "%13.5E" (a blank before every value, as the formats' readers split on blanks, and six
// significant digits), VALUES_PER_LINE to a line, the row ending its last line. No
// float's field takes more than 13 characters (one digit, five decimals, a two-digit
// exponent and a sign), so each value takes 13 and each line its line feed besides. A
// row cut anywhere into stretches gives its whole text, stretches joined.
std::size_t value_lines_length(std::int64_t first, std::int64_t last, std::int64_t points);

// That text written at `out`, `values` holding value `first` on: exactly
// value_lines_length characters and nothing beyond them.
void write_value_lines(char* out, const float* values, std::int64_t first,
                       std::int64_t last, std::int64_t points);

// "FCLC map: " and the map file's title, for the first line of a file.
std::string map_title(const MapHeader& header);

// `text` with every control character (a line end among them) made a blank, for a title
// that must stay on its own line.
std::string one_line(std::string_view text);

// The whole-cell formats' refusals before their output is opened: a cell without volume
// (as the orthogonalisation reports it) or a map whose axes cannot be named.
void check_whole_cell(const FourierMap& map, const CellParameters& cell);

// Refuses a cell without grid points along an axis, or whose value count is not the
// product of its grid points: the writers index the values by the points.
void check_value_count(const WholeCell& cell);

}  // namespace grix
