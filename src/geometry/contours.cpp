#include "geometry/contours.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <limits>
#include <stdexcept>
#include <utility>

namespace grix {
namespace {

// Edge and segment ids. A section holds fewer than 2^31 points (the map file counts them
// in 32 bits), so both its 2 x points edges and its at most 2 segments per cell are
// numbered in 32 bits, which halves the memory of a busy level.
using Id = std::uint32_t;
constexpr Id NONE = std::numeric_limits<Id>::max();
constexpr std::size_t MAX_POINTS = std::numeric_limits<std::int32_t>::max();

// The section and the level. Edge ids: the edge from (i, j) to (i + 1, j) is
// j * columns + i, the edge from (i, j) to (i, j + 1) is that plus columns * rows.
// Every crossing point belongs to one edge, so segments are joined by edge and never by
// comparing coordinates.
struct Section {
    const float* values;
    std::size_t columns;
    std::size_t rows;
    double level;

    double value(std::size_t i, std::size_t j) const { return values[i + j * columns]; }
    Id across_edge(std::size_t i, std::size_t j) const
    {
        return static_cast<Id>(j * columns + i);
    }
    Id down_edge(std::size_t i, std::size_t j) const
    {
        return static_cast<Id>(columns * rows + j * columns + i);
    }
};

// A piece of contour through one cell, from the crossing on edge[0] to that on edge[1];
// next[e] is the other segment ending on edge[e] (an edge holds at most two, one from
// each cell beside it), NONE where a line ends.
struct Segment {
    Id edge[2];
    Id next[2];
};

// The segments of one level, joined while the cells are scanned row by row: a segment
// meets another only on a side its cell shares with the cell below or to the left, so
// only the segments on the sides of the row below and of the cell to the left are
// remembered, and the memory taken grows with the contours, not with the section.
class Segments {
public:
    explicit Segments(std::size_t columns) : below_(columns, NONE), above_(columns, NONE) {}

    // In the order of their cells, row by row; a deque grows without copying.
    std::deque<Segment> list;

    void next_row()
    {
        below_.swap(above_);
        std::fill(above_.begin(), above_.end(), NONE);
        right_ = NONE;
    }

    // The segment on the right side of the cell before is on the left side of the next.
    void next_cell()
    {
        left_ = right_;
        right_ = NONE;
    }

    // A segment of cell i of the current row from its side `from` to its side `to`
    // (0 bottom, 1 right, 2 top, 3 left), where the level crosses edges[from], edges[to].
    void add(std::size_t i, const Id (&edges)[4], int from, int to)
    {
        const auto index = static_cast<Id>(list.size());
        list.push_back({{edges[from], edges[to]}, {NONE, NONE}});
        for (const int end : {0, 1}) {
            switch (end == 0 ? from : to) {
            case 0: join(index, end, below_[i]); break;
            case 1: right_ = index; break;
            case 2: above_[i] = index; break;
            default: join(index, end, left_);
            }
        }
    }

private:
    void join(Id index, int end, Id other)
    {
        if (other == NONE)
            return;
        Segment& segment = list[index];
        Segment& partner = list[other];
        segment.next[end] = other;
        partner.next[partner.edge[0] == segment.edge[end] ? 0 : 1] = index;
    }

    std::vector<Id> below_;  // per cell of the row: the segment on its bottom side
    std::vector<Id> above_;  // per cell of the row: the segment on its top side
    Id left_ = NONE;         // on the current cell's left side
    Id right_ = NONE;        // on its right side, once added
};

// The classes of a point: below the level, at or above it, or not a finite number.
enum : unsigned char { BELOW = 0, ABOVE = 1, MISSING = 2 };

void classify_row(const Section& section, std::size_t j, std::vector<unsigned char>& classes)
{
    for (std::size_t i = 0; i < section.columns; ++i) {
        const double value = section.value(i, j);
        classes[i] = !std::isfinite(value) ? MISSING : value >= section.level ? ABOVE : BELOW;
    }
}

// The cell with lower corner (i, j), its corners all finite and on both sides of the
// level. Corners 0 to 3 run (i, j), (i + 1, j), (i + 1, j + 1), (i, j + 1); side k joins
// corner k to corner k + 1 (mod 4).
void add_cell_segments(const Section& section, std::size_t i, std::size_t j,
                       const unsigned char (&classes)[4], Segments& segments)
{
    bool above[4];
    for (int c = 0; c < 4; ++c)
        above[c] = classes[c] == ABOVE;
    const Id edge[4] = {section.across_edge(i, j), section.down_edge(i + 1, j),
                        section.across_edge(i, j + 1), section.down_edge(i, j)};
    const bool saddle = above[0] == above[2] && above[1] == above[3] && above[0] != above[1];
    if (saddle) {
        // The corners on the side of the cell's mean are joined through the centre;
        // each of the other two is cut off by its own segment.
        const double corner[4] = {section.value(i, j), section.value(i + 1, j),
                                  section.value(i + 1, j + 1), section.value(i, j + 1)};
        const double mean = (corner[0] + corner[1] + corner[2] + corner[3]) / 4;
        const bool centre_above = mean >= section.level;
        for (int c = 0; c < 4; ++c)
            if (above[c] != centre_above)
                segments.add(i, edge, (c + 3) % 4, c);
        return;
    }
    int crossed[2];
    int count = 0;
    for (int k = 0; k < 4; ++k)
        if (above[k] != above[(k + 1) % 4])
            crossed[count++] = k;
    if (count == 2)
        segments.add(i, edge, crossed[0], crossed[1]);
}

// Every segment of the level, each point classed once per row rather than once per cell.
std::deque<Segment> find_segments(const Section& section)
{
    Segments segments(section.columns);
    std::vector<unsigned char> lower(section.columns), upper(section.columns);
    classify_row(section, 0, upper);
    for (std::size_t j = 0; j + 1 < section.rows; ++j) {
        lower.swap(upper);
        classify_row(section, j + 1, upper);
        segments.next_row();
        for (std::size_t i = 0; i + 1 < section.columns; ++i) {
            segments.next_cell();
            const unsigned char classes[4] = {lower[i], lower[i + 1], upper[i + 1], upper[i]};
            const int any = classes[0] | classes[1] | classes[2] | classes[3];
            const int all = classes[0] & classes[1] & classes[2] & classes[3];
            // A cell with a corner that is not a number holds no line, nor one whose
            // corners all lie on one side.
            if ((any & MISSING) == 0 && any != all)
                add_cell_segments(section, i, j, classes, segments);
        }
    }
    return std::move(segments.list);
}

// Where the level crosses the edge, by linear interpolation between its two ends.
std::array<double, 2> locate_crossing(const Section& section, Id edge)
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

// Follows the segments from end `start` of `segment` until the path comes back to that
// edge (a loop) or reaches an edge with no further segment.
ContourPath follow_path(const Section& section, const std::deque<Segment>& segments,
                        std::vector<char>& used, std::size_t segment, int start)
{
    ContourPath path;
    const Id first = segments[segment].edge[start];
    path.points.push_back(locate_crossing(section, first));
    int in = start;
    while (true) {
        used[segment] = 1;
        const Segment& here = segments[segment];
        const int out = 1 - in;
        const Id edge = here.edge[out];
        if (edge == first) {
            path.closed = true;
            break;
        }
        path.points.push_back(locate_crossing(section, edge));
        const Id next = here.next[out];
        if (next == NONE || used[next])
            break;
        in = segments[next].edge[0] == edge ? 0 : 1;
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

void trace_contours(const float* values, int columns, int rows, double level,
                    const std::function<bool(const ContourPath&)>& take)
{
    if (columns < 2 || rows < 2 || !std::isfinite(level))
        return;
    if (static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows) > MAX_POINTS)
        throw std::length_error("contours of a section of 2^31 points or more");
    const Section section{values, static_cast<std::size_t>(columns),
                          static_cast<std::size_t>(rows), level};
    const std::deque<Segment> segments = find_segments(section);
    std::vector<char> used(segments.size(), 0);
    auto hand_over = [&](std::size_t s, int start) {
        ContourPath path = follow_path(section, segments, used, s, start);
        drop_repeated_points(path);
        return path.points.size() < 2 || take(path);
    };
    // Open paths first, each from one of its two single-segment ends, then the loops.
    for (std::size_t s = 0; s < segments.size(); ++s)
        for (const int end : {0, 1})
            if (!used[s] && segments[s].next[end] == NONE && !hand_over(s, end))
                return;
    for (std::size_t s = 0; s < segments.size(); ++s)
        if (!used[s] && !hand_over(s, 0))
            return;
}

}  // namespace grix
