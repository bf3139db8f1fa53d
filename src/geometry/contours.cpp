#include "geometry/contours.hpp"

#include <cmath>
#include <cstddef>
#include <limits>
#include <utility>

namespace grix {
namespace {

constexpr std::size_t NONE = std::numeric_limits<std::size_t>::max();

// The section and the level. Edge ids: the edge from (i, j) to (i + 1, j) is
// j * columns + i, the edge from (i, j) to (i, j + 1) is that plus columns * rows.
// Every crossing point belongs to one edge, so segments are joined by edge id and
// never by comparing coordinates.
struct Section {
    const float* values;
    std::size_t columns;
    std::size_t rows;
    double level;

    double value(std::size_t i, std::size_t j) const { return values[i + j * columns]; }
    std::size_t across_edge(std::size_t i, std::size_t j) const { return j * columns + i; }
    std::size_t down_edge(std::size_t i, std::size_t j) const
    {
        return columns * rows + j * columns + i;
    }
};

// The segments of one level and, per edge, the up to two segments that end on it.
struct Segments {
    std::vector<std::array<std::size_t, 2>> ends;
    std::vector<std::array<std::size_t, 2>> at_edge;
};

void add_segment(Segments& segments, std::size_t from, std::size_t to)
{
    const std::size_t index = segments.ends.size();
    segments.ends.push_back({from, to});
    for (std::size_t edge : {from, to}) {
        auto& slots = segments.at_edge[edge];
        slots[slots[0] == NONE ? 0 : 1] = index;
    }
}

// The cell with lower corner (i, j). Corners 0 to 3 run (i, j), (i + 1, j),
// (i + 1, j + 1), (i, j + 1); edge k joins corner k to corner k + 1 (mod 4).
void add_cell_segments(const Section& section, std::size_t i, std::size_t j,
                       Segments& segments)
{
    const double corner[4] = {section.value(i, j), section.value(i + 1, j),
                              section.value(i + 1, j + 1), section.value(i, j + 1)};
    bool above[4];
    for (int c = 0; c < 4; ++c) {
        if (!std::isfinite(corner[c]))
            return;
        above[c] = corner[c] >= section.level;
    }
    const std::size_t edge[4] = {section.across_edge(i, j), section.down_edge(i + 1, j),
                                 section.across_edge(i, j + 1), section.down_edge(i, j)};
    const bool saddle = above[0] == above[2] && above[1] == above[3] && above[0] != above[1];
    if (saddle) {
        // The corners on the side of the cell's mean are joined through the centre;
        // each of the other two is cut off by its own segment.
        const double mean = (corner[0] + corner[1] + corner[2] + corner[3]) / 4;
        const bool centre_above = mean >= section.level;
        for (int c = 0; c < 4; ++c)
            if (above[c] != centre_above)
                add_segment(segments, edge[(c + 3) % 4], edge[c]);
        return;
    }
    std::size_t crossed[2];
    int count = 0;
    for (int k = 0; k < 4; ++k)
        if (above[k] != above[(k + 1) % 4])
            crossed[count++] = edge[k];
    if (count == 2)
        add_segment(segments, crossed[0], crossed[1]);
}

// Where the level crosses the edge, by linear interpolation between its two ends.
std::array<double, 2> locate_crossing(const Section& section, std::size_t edge)
{
    const std::size_t points = section.columns * section.rows;
    const bool down = edge >= points;
    const std::size_t n = down ? edge - points : edge;
    const std::size_t i = n % section.columns;
    const std::size_t j = n / section.columns;
    const double from = section.value(i, j);
    const double to = down ? section.value(i, j + 1) : section.value(i + 1, j);
    const double t = (section.level - from) / (to - from);
    const double x = static_cast<double>(i);
    const double y = static_cast<double>(j);
    return down ? std::array<double, 2>{x, y + t} : std::array<double, 2>{x + t, y};
}

// Follows the segments from `start`, an end of `segment`, until the path comes back
// to `start` (a loop) or reaches an edge with no further segment.
ContourPath follow_path(const Section& section, const Segments& segments,
                        std::vector<char>& used, std::size_t segment, std::size_t start)
{
    ContourPath path;
    path.points.push_back(locate_crossing(section, start));
    std::size_t edge = start;
    while (true) {
        used[segment] = 1;
        const auto& ends = segments.ends[segment];
        edge = ends[0] == edge ? ends[1] : ends[0];
        if (edge == start) {
            path.closed = true;
            break;
        }
        path.points.push_back(locate_crossing(section, edge));
        const auto& slots = segments.at_edge[edge];
        const std::size_t next = slots[0] == segment ? slots[1] : slots[0];
        if (next == NONE || used[next])
            break;
        segment = next;
    }
    return path;
}

// Removes the repeats that segments through a grid point at the level leave behind.
void drop_repeated_points(ContourPath& path)
{
    auto& points = path.points;
    std::size_t kept = 0;
    for (const auto& point : points)
        if (kept == 0 || point != points[kept - 1])
            points[kept++] = point;
    points.resize(kept);
    while (path.closed && points.size() > 1 && points.back() == points.front())
        points.pop_back();
}

}  // namespace

std::vector<ContourPath> trace_contours(const float* values, int columns, int rows,
                                        double level)
{
    std::vector<ContourPath> paths;
    if (columns < 2 || rows < 2 || !std::isfinite(level))
        return paths;
    const Section section{values, static_cast<std::size_t>(columns),
                          static_cast<std::size_t>(rows), level};
    Segments segments;
    segments.at_edge.assign(2 * section.columns * section.rows, {NONE, NONE});
    for (std::size_t j = 0; j + 1 < section.rows; ++j)
        for (std::size_t i = 0; i + 1 < section.columns; ++i)
            add_cell_segments(section, i, j, segments);

    std::vector<char> used(segments.ends.size(), 0);
    auto keep = [&](ContourPath path) {
        drop_repeated_points(path);
        if (path.points.size() > 1)
            paths.push_back(std::move(path));
    };
    // Open paths first, each from one of its two single-segment ends, then the loops.
    for (std::size_t s = 0; s < segments.ends.size(); ++s)
        for (std::size_t edge : segments.ends[s])
            if (!used[s] && segments.at_edge[edge][1] == NONE)
                keep(follow_path(section, segments, used, s, edge));
    for (std::size_t s = 0; s < segments.ends.size(); ++s)
        if (!used[s])
            keep(follow_path(section, segments, used, s, segments.ends[s][0]));
    return paths;
}

}  // namespace grix
