// Contour lines of one section of a map at one level, by marching squares.
#pragma once

#include <array>
#include <functional>
#include <vector>

namespace grix {

// A contour line through the section, in grid index units: (i, j) is the point
// value(i, j). A closed path is a loop whose last point joins its first; an open path
// starts and ends at the section's border or at the edge of a region without values.
struct ContourPath {
    std::vector<std::array<double, 2>> points;
    bool closed = false;
};

// The contours of `level` through a section of `columns` x `rows` values stored row by
// row: value(i, j) = values[i + j * columns]. A value equal to the level counts as above
// it; a cell with a corner that is not a finite number holds no line; a saddle cell
// joins the corners that agree with the mean of its four corners. Consecutive points
// that coincide (a path through a grid point at the level) are kept once, and paths
// shrunk to a single point are left out. Open paths come first, in the order of the first
// cell (row by row) that holds one of their two ends, each traced from there; then the
// loops in the order of their first cell. The paths are handed to `take` one at a time,
// until it returns false. Apart from the paths, the memory taken grows with the number
// of cells the contours cross and with the columns, not with the section's points.
void trace_contours(const float* values, int columns, int rows, double level,
                    const std::function<bool(const ContourPath&)>& take);

}  // namespace grix
