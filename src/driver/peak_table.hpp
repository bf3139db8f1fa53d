// What "-peaks" prints: a table with one header line and a row per peak, its columns
// separated by blanks for a spreadsheet or awk.
#pragma once

#include "geometry/peaks.hpp"
#include "symmetry/whole_cell.hpp"

#include <iosfwd>
#include <vector>

namespace grix {

// The maxima, then the minima: height, height over `rms`, fractional x y z, the
// nearest atom of `cell` and its distance in Angstrom ("-" without atoms), and whether
// the peak lies on the edge of a partial map.
void print_peak_table(std::ostream& out, const std::vector<GridPeak>& maxima,
                      const std::vector<GridPeak>& minima, double rms, const WholeCell& cell);

}  // namespace grix
