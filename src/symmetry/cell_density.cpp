#include "symmetry/cell_density.hpp"

#include "common/printf_text.hpp"
#include "common/fatal.hpp"
#include "geometry/grid.hpp"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <limits>
#include <optional>
#include <system_error>
#include <thread>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace grix {
namespace {

constexpr std::size_t HUGE_PAGE = std::size_t{2} << 20;

// Arrays of at least a huge page start on one; smaller ones as new gives them.
std::size_t alignment_of(std::size_t bytes)
{
    return bytes >= HUGE_PAGE ? HUGE_PAGE : __STDCPP_DEFAULT_NEW_ALIGNMENT__;
}

using Index3 = std::array<std::int64_t, 3>;
using IntRotation = std::array<std::array<int, 3>, 3>;

constexpr std::int64_t MAX_CELL_POINTS = std::int64_t{1} << 32;

// A grid coordinate this close to a whole number is taken as on the grid.
constexpr double ON_GRID = 1e-6;

std::int64_t modulo(std::int64_t value, std::int64_t modulus)
{
    const std::int64_t remainder = value % modulus;
    return remainder < 0 ? remainder + modulus : remainder;
}

// The map's geometry seen along the fractional axes x, y, z.
struct AxisGrid {
    Index3 points_per_cell;        // divisions of the axis's direction
    Index3 origin;                 // grid index of the map's first point
    Index3 extent;                 // map points
    std::array<int, 3> direction;  // map direction along the axis: 0 across, 1 down, 2 section
    std::size_t row_length;
    std::size_t section_length;
    const float* values;
    // A step along the axis through the values, sections included.
    Index3 value_stride;

    // The value at map indices given per axis, each within the extent.
    float at(const Index3& index) const
    {
        return values[static_cast<std::size_t>(index[0] * value_stride[0] +
                                               index[1] * value_stride[1] +
                                               index[2] * value_stride[2])];
    }

    std::int64_t cell_points() const
    {
        return points_per_cell[0] * points_per_cell[1] * points_per_cell[2];
    }
    std::int64_t map_points() const { return extent[0] * extent[1] * extent[2]; }

    Index3 cell_point(std::int64_t index) const
    {
        const Index3& n = points_per_cell;
        return {index % n[0], index / n[0] % n[1], index / (n[0] * n[1])};
    }

    std::int64_t cell_index(const Index3& point) const
    {
        const Index3& n = points_per_cell;
        return point[0] + n[0] * (point[1] + n[1] * point[2]);
    }
};

AxisGrid view_by_axis(const FourierMap& fourier)
{
    const MapGeometry& geometry = fourier.geometry;
    const std::array<int, 3>& axes = geometry.axes();
    // Refuses a cell too large to complete.
    const std::array<int, 3> points_per_cell = count_cell_points(geometry);
    AxisGrid map{};
    for (std::size_t d = 0; d < 3; ++d) {
        const auto axis = static_cast<std::size_t>(axes[d]);
        map.points_per_cell[axis] = points_per_cell[axis];
        map.origin[axis] = geometry.origin[d];
        map.extent[axis] = geometry.points[d];
        map.direction[axis] = static_cast<int>(d);
    }
    map.row_length = static_cast<std::size_t>(geometry.points[0]);
    map.section_length = fourier.values.stride();
    map.values = fourier.section(0);
    for (int axis = 0; axis < 3; ++axis) {
        const int d = map.direction[axis];
        map.value_stride[axis] = d == 0   ? 1
                                 : d == 1 ? geometry.points[0]
                                          : static_cast<std::int64_t>(map.section_length);
    }
    return map;
}

// Which cell points hold a value, one bit each, and how many do not yet.
class Coverage {
public:
    explicit Coverage(std::int64_t points)
        : bits_(static_cast<std::size_t>((points + 63) / 64), 0), missing_(points)
    {
        if (points % 64 != 0)  // the last word's bits beyond the cell count as covered
            bits_.back() = ~std::uint64_t{0} << (points % 64);
    }

    bool covered(std::int64_t index) const
    {
        return (bits_[static_cast<std::size_t>(index / 64)] >> (index % 64) & 1) != 0;
    }

    void cover(std::int64_t index)
    {
        mark(index);
        --missing_;
    }

    // Covers a point without counting it, for threads covering stretches of their own
    // (whole words); count_marked then counts them.
    void mark(std::int64_t index)
    {
        bits_[static_cast<std::size_t>(index / 64)] |= std::uint64_t{1} << (index % 64);
    }
    void count_marked(std::int64_t points) { missing_ -= points; }

    std::int64_t missing() const { return missing_; }

    // Calls fill(index) in order for each point of [begin, end) not covered when its
    // word is reached; fill may cover points.
    template <class Fill>
    void for_each_missing(std::int64_t begin, std::int64_t end, Fill fill) const
    {
        if (begin >= end)
            return;
        const auto first = static_cast<std::size_t>(begin / 64);
        const auto last = static_cast<std::size_t>((end - 1) / 64);
        for (std::size_t word = first; word <= last; ++word) {
            std::uint64_t open = ~bits_[word];
            if (word == first)
                open &= ~std::uint64_t{0} << (begin % 64);
            if (word == last && end % 64 != 0)
                open &= ~(~std::uint64_t{0} << (end % 64));
            for (; open != 0; open &= open - 1)
                fill(static_cast<std::int64_t>(word * 64) + std::countr_zero(open));
        }
    }
    template <class Fill>
    void for_each_missing(Fill fill) const
    {
        for_each_missing(0, static_cast<std::int64_t>(bits_.size()) * 64, fill);
    }

private:
    std::vector<std::uint64_t> bits_;
    std::int64_t missing_;
};

// The inverse of a rotation of determinant +-1; nullopt for any other.
std::optional<IntRotation> invert(const IntRotation& r)
{
    IntRotation inverse{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            inverse[j][i] = r[(i + 1) % 3][(j + 1) % 3] * r[(i + 2) % 3][(j + 2) % 3] -
                            r[(i + 1) % 3][(j + 2) % 3] * r[(i + 2) % 3][(j + 1) % 3];
    const int determinant =
        r[0][0] * inverse[0][0] + r[0][1] * inverse[1][0] + r[0][2] * inverse[2][0];
    if (determinant != 1 && determinant != -1)
        return std::nullopt;
    for (auto& row : inverse)
        for (int& value : row)
            value *= determinant;
    return inverse;
}

// An operator on whole grid indices, n' = matrix n + shift, when it carries grid points
// onto grid points: r_ij cell_i / cell_j whole, and each translation a whole number of
// grid steps.
struct GridOp {
    std::array<Index3, 3> matrix;
    std::array<Index3, 3> inverse;
    Index3 shift;
};

std::optional<std::array<Index3, 3>> on_grid(const IntRotation& r, const Index3& cell)
{
    std::array<Index3, 3> matrix{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            if (r[i][j] * cell[i] % cell[j] != 0)
                return std::nullopt;
            matrix[i][j] = r[i][j] * cell[i] / cell[j];
        }
    return matrix;
}

std::optional<GridOp> grid_op(const SymmetryOp& op, const IntRotation& inverse, const Index3& cell)
{
    const std::optional<std::array<Index3, 3>> matrix = on_grid(op.rotation, cell);
    const std::optional<std::array<Index3, 3>> back = on_grid(inverse, cell);
    if (!matrix || !back)
        return std::nullopt;
    GridOp grid{*matrix, *back, {}};
    for (int i = 0; i < 3; ++i) {
        const double steps = op.translation[i] * static_cast<double>(cell[i]);
        if (std::fabs(steps - std::round(steps)) > ON_GRID)
            return std::nullopt;
        grid.shift[i] = modulo(std::llround(steps), cell[i]);
    }
    return grid;
}

void advance(Index3& point, const Index3& step, const Index3& cell)
{
    for (int i = 0; i < 3; ++i) {
        point[i] += step[i];
        if (point[i] >= cell[i])
            point[i] -= cell[i];
    }
}

// Map to cell: each row of the map handed to `place_row(first, step, values, count)`
// with the cell point of its first point and the cell step from point to point; the
// walk ends early when place_row returns true.
template <class PlaceRow>
void carry_map_rows(const AxisGrid& map, const GridOp& op, PlaceRow place_row)
{
    // The cell point of map point (0, 0, 0), and its moves per step along each map direction.
    Index3 start{};
    std::array<Index3, 3> step{};
    for (int i = 0; i < 3; ++i) {
        start[i] = op.shift[i];
        for (int j = 0; j < 3; ++j) {
            start[i] += op.matrix[i][j] * modulo(map.origin[j], map.points_per_cell[j]);
            step[map.direction[j]][i] = modulo(op.matrix[i][j], map.points_per_cell[i]);
        }
        start[i] = modulo(start[i], map.points_per_cell[i]);
    }
    std::array<std::int64_t, 3> count{};
    for (int axis = 0; axis < 3; ++axis)
        count[map.direction[axis]] = map.extent[axis];
    Index3 section = start;
    for (std::int64_t k = 0; k < count[2]; ++k, advance(section, step[2], map.points_per_cell)) {
        const float* values = map.values + static_cast<std::size_t>(k) * map.section_length;
        Index3 row = section;
        for (std::int64_t j = 0; j < count[1]; ++j, advance(row, step[1], map.points_per_cell))
            if (place_row(row, step[0], values + static_cast<std::size_t>(j) * map.row_length,
                          count[0]))
                return;
    }
}

// Map to cell for a map smaller than the part of the cell still open.
void fill_from_map(const AxisGrid& map, const GridOp& op, CellDensity& density,
                   Coverage& coverage)
{
    carry_map_rows(map, op, [&](Index3 point, const Index3& step, const float* values,
                                std::int64_t count) {
        for (std::int64_t i = 0; i < count; ++i) {
            const std::int64_t index = map.cell_index(point);
            advance(point, step, map.points_per_cell);
            if (coverage.covered(index))
                continue;
            density.values[static_cast<std::size_t>(index)] = values[i];
            coverage.cover(index);
            if (coverage.missing() == 0)
                return true;
        }
        return false;
    });
}

// A map of one period along every axis, under the first operator of the grid: each map
// point lands on a cell point of its own, so every point is written once, with no
// coverage to keep. A row running along x, one step a point, is copied as the run to the
// cell's face and the rest from x = 0.
void fill_whole_cell(const AxisGrid& map, const GridOp& op, CellDensity& density)
{
    float* cell = density.values.data();
    carry_map_rows(map, op, [&](Index3 point, const Index3& step, const float* values,
                                std::int64_t count) {
        if (step == Index3{1, 0, 0}) {  // count is then the cell's points along x
            const std::int64_t to_face = count - point[0];
            float* const run = cell + map.cell_index(point);
            std::copy_n(values, to_face, run);
            std::copy_n(values + to_face, point[0], run - point[0]);
            return false;
        }
        for (std::int64_t i = 0; i < count; ++i) {
            cell[static_cast<std::size_t>(map.cell_index(point))] = values[i];
            advance(point, step, map.points_per_cell);
        }
        return false;
    });
}

// Threads beyond this gain nothing on the cell's memory.
constexpr int MAX_THREADS = 8;

// Stretches of the cell per thread: the open points, and so the work, lie unevenly
// along the cell, and threads that take the next stretch as they finish one end
// together.
constexpr int STRETCHES_PER_THREAD = 32;

// Calls fill(begin, end) on stretches [begin, end) of the cell's points, each a whole
// number of coverage words, on threads of their own and the calling thread, each taking
// the next stretch left, and counts the points the calls mark. Where the system gives no
// more threads, those running fill the rest.
template <class Fill>
void fill_in_parallel(const AxisGrid& map, Coverage& coverage, Fill fill)
{
    const std::int64_t points = map.cell_points();
    const int threads =
        std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, MAX_THREADS);
    const std::int64_t words = (points + 63) / 64;
    const std::int64_t stretches = std::int64_t{threads} * STRETCHES_PER_THREAD;
    std::atomic<std::int64_t> next{0};
    std::vector<std::int64_t> marked(static_cast<std::size_t>(threads), 0);
    auto fill_stretches = [&](int t) {
        for (std::int64_t s = next++; s < stretches; s = next++) {
            const std::int64_t begin = words * s / stretches * 64;
            const std::int64_t end = std::min(words * (s + 1) / stretches * 64, points);
            marked[static_cast<std::size_t>(t)] += fill(begin, end);
        }
    };
    std::vector<std::thread> workers;
    workers.reserve(static_cast<std::size_t>(threads));  // no throw once threads run
    for (int t = 1; t < threads; ++t) {
        try {
            workers.emplace_back(fill_stretches, t);
        } catch (const std::system_error&) {
            break;
        }
    }
    fill_stretches(0);
    for (std::thread& worker : workers)
        worker.join();
    for (const std::int64_t count : marked)
        coverage.count_marked(count);
}

// `grid` moved `count` steps of `step` (both within [0, period)) and reduced into the
// period: one step a compare, more a division. Below 2^64 throughout, as count and
// step are below a period, and a period squared is at most 2^64 (a cell has at most
// 2^32 points).
std::int64_t step_within(std::int64_t grid, std::int64_t step, std::int64_t count,
                         std::int64_t period)
{
    if (count != 1)
        return static_cast<std::int64_t>(
            (static_cast<std::uint64_t>(grid) +
             static_cast<std::uint64_t>(count) * static_cast<std::uint64_t>(step)) %
            static_cast<std::uint64_t>(period));
    grid += step;
    return grid >= period ? grid - period : grid;
}

// Cell to map: each open cell point of [begin, end) taken back to the map point it
// comes from; returns the points marked. Along a cell row the source moves by whole
// grid steps, so it is worked out once a row and stepped from open point to open point.
std::int64_t fill_from_cell(const AxisGrid& map, const GridOp& op, CellDensity& density,
                            Coverage& coverage, std::int64_t begin, std::int64_t end)
{
    const Index3& n = map.points_per_cell;
    Index3 along_row{};  // the source's move per cell step along x
    for (int a = 0; a < 3; ++a)
        along_row[a] = modulo(op.inverse[a][0], n[a]);
    std::int64_t marked = 0;
    for (std::int64_t row_index = begin / n[0]; row_index * n[0] < end; ++row_index) {
        const std::int64_t index = row_index * n[0];
        const Index3 start = map.cell_point(index);
        Index3 source{};  // of the point at x = stepped_to
        bool outside = false;  // along an axis the row does not move along
        for (int a = 0; a < 3; ++a) {
            std::int64_t grid = 0;
            for (int b = 0; b < 3; ++b)
                grid += op.inverse[a][b] * (start[b] - op.shift[b]);
            source[a] = modulo(grid - map.origin[a], n[a]);
            outside = outside || (along_row[a] == 0 && source[a] >= map.extent[a]);
        }
        if (outside)
            continue;
        std::int64_t stepped_to = 0;
        coverage.for_each_missing(
            std::max(begin, index), std::min(end, index + n[0]), [&](std::int64_t point) {
                const std::int64_t x = point - index;
                bool inside = true;
                for (int a = 0; a < 3; ++a) {
                    source[a] = step_within(source[a], along_row[a], x - stepped_to, n[a]);
                    inside = inside && source[a] < map.extent[a];
                }
                stepped_to = x;
                if (!inside)
                    return;
                density.values[static_cast<std::size_t>(point)] = map.at(source);
                coverage.mark(point);
                ++marked;
            });
    }
    return marked;
}

// The nearest whole number, halves away from zero, exactly as std::round gives it, for
// numbers far below 2^52, without a call into the library.
double nearest_whole(double value)
{
    double whole = static_cast<double>(static_cast<std::int64_t>(value));
    const double rest = value - whole;  // exact
    // Selections rather than branches: along a row the rest changes from point to point.
    whole += rest >= 0.5 ? 1.0 : 0.0;
    whole -= rest <= -0.5 ? 1.0 : 0.0;
    return std::copysign(whole, value);
}

// Where the open points of a cell row come from under an operator off the grid, along one
// axis of the map: in map grid steps from the map's first point, reduced into one period,
// taken onto a grid plane when within ON_GRID of it. The fractional coordinate is summed
// from per-index tables of the same products the plain form computes, in its order, so
// every coordinate is the same double. An axis the row does not move along is worked out
// once per row; one the row moves along by whole grid steps from a start on the grid
// (every term a whole number of steps) is stepped in integers.
class SourceAxis {
public:
    SourceAxis(const AxisGrid& map, const SymmetryOp& op, const IntRotation& inverse, int axis)
        : period_(static_cast<double>(map.points_per_cell[axis])),
          reciprocal_(1 / period_),
          origin_(static_cast<double>(map.origin[axis])),
          last_(map.extent[axis] - 1),
          along_row_(inverse[axis][0] != 0)
    {
        const Index3& n = map.points_per_cell;
        double translation_steps = 0;
        bool whole = n[axis] <= MAX_WHOLE_PERIOD;
        for (int b = 0; b < 3; ++b) {
            terms_[b].resize(static_cast<std::size_t>(n[b]));
            for (std::int64_t p = 0; p < n[b]; ++p) {
                const double at = static_cast<double>(p) / static_cast<double>(n[b]);
                terms_[b][static_cast<std::size_t>(p)] =
                    inverse[axis][b] * (at - op.translation[b]);
            }
            whole = whole && inverse[axis][b] * n[axis] % n[b] == 0;
            translation_steps += inverse[axis][b] * op.translation[b] * period_;
        }
        if (whole && std::fabs(translation_steps - std::round(translation_steps)) <= WHOLE_STEPS)
            whole_step_ = modulo(inverse[axis][0] * n[axis] / n[0], n[axis]);
    }

    bool along_row() const { return along_row_; }
    bool stepped() const { return along_row_ && whole_step_.has_value(); }

    // The reduced grid coordinate of cell point (x, y, z).
    double coordinate(std::size_t x, std::size_t y, std::size_t z) const
    {
        double fractional = 0;
        fractional += terms_[0][x];
        fractional += terms_[1][y];
        fractional += terms_[2][z];
        double grid = fractional * period_ - origin_;
        grid -= period_ * floor_quotient(grid);
        const double whole = nearest_whole(grid);
        if (std::fabs(grid - whole) < ON_GRID)
            grid = whole < period_ ? whole : 0;
        return grid;
    }

    bool beyond_map(double grid) const { return grid > static_cast<double>(last_); }
    bool beyond_map(std::int64_t grid) const { return grid > last_; }

    // The whole grid coordinate `count` points further along a row, for a stepped axis:
    // what as many single steps, each reduced into the period, give.
    std::int64_t step(std::int64_t grid, std::int64_t count) const
    {
        return step_within(grid, *whole_step_, count, static_cast<std::int64_t>(period_));
    }

private:
    // Coordinates within this of a whole step in every term stay within ON_GRID of a grid
    // plane after the double sums of up to a million steps a period, so the plain form
    // takes them onto the plane too.
    static constexpr double WHOLE_STEPS = 1e-9;
    static constexpr std::int64_t MAX_WHOLE_PERIOD = std::int64_t{1} << 20;

    // floor(grid / period) as the rounded division gives it: by the reciprocal, whose
    // product lies within a few units in the last place of the quotient (below 1e-9 for
    // quotients under 2^20), except where that is so near a whole number that the two
    // could fall on either side of it.
    double floor_quotient(double grid) const
    {
        const double quotient = grid * reciprocal_;
        if (!(std::fabs(quotient) < 1048576.0))
            return std::floor(grid / period_);
        double whole = static_cast<double>(static_cast<std::int64_t>(quotient));
        whole -= whole > quotient ? 1.0 : 0.0;
        const double rest = quotient - whole;
        if (rest < 1e-9 || rest > 1 - 1e-9)
            return std::floor(grid / period_);
        return whole;
    }

    std::array<std::vector<double>, 3> terms_;  // inverse[axis][b] * (p / n_b - t_b) per b, p
    double period_, reciprocal_, origin_;
    std::int64_t last_;  // the map's last grid index along the axis
    bool along_row_;
    std::optional<std::int64_t> whole_step_;  // grid steps per cell step along x
};

// The trilinear blend of the map cell around a point given in map indices per axis (each
// from 0, or -0, to the extent's last index); along an axis where the point lies on a
// grid plane, that plane alone. The corners are summed in the order of their number
// (bit a for the upper plane along axis a), each factor multiplied up along x, y, z,
// from 0 and 1: the axes on a plane give factors of 1, whose products are exact and
// are left out.
float interpolate(const AxisGrid& map, const std::array<double, 3>& position)
{
    // Per axis off a plane, in the order x, y, z: the lower and upper planes' factors and
    // the step to the upper plane. Weights off a plane are at least ON_GRID from 0 and 1.
    std::array<double, 3> lower{}, upper{};
    std::array<std::int64_t, 3> step{};
    int spread = 0;
    std::int64_t low_value = 0;
    for (int a = 0; a < 3; ++a) {
        const auto low = static_cast<std::int64_t>(position[a]);  // the floor: not negative
        const double weight = position[a] - static_cast<double>(low);
        low_value += low * map.value_stride[a];
        if (weight != 0) {
            lower[static_cast<std::size_t>(spread)] = 1 - weight;
            upper[static_cast<std::size_t>(spread)] = weight;
            step[static_cast<std::size_t>(spread)] = map.value_stride[a];
            ++spread;
        }
    }
    const float* v = map.values + low_value;
    double sum = 0;
    switch (spread) {
    case 0:
        sum += v[0];
        break;
    case 1:
        sum += lower[0] * v[0];
        sum += upper[0] * v[step[0]];
        break;
    case 2:
        sum += lower[0] * lower[1] * v[0];
        sum += upper[0] * lower[1] * v[step[0]];
        sum += lower[0] * upper[1] * v[step[1]];
        sum += upper[0] * upper[1] * v[step[0] + step[1]];
        break;
    default:
        for (int corner = 0; corner < 8; ++corner) {
            double factor = 1;
            std::int64_t at = 0;
            for (std::size_t a = 0; a < 3; ++a) {
                const bool up = (corner >> a & 1) != 0;
                factor *= up ? upper[a] : lower[a];
                at += up ? step[a] : 0;
            }
            sum += factor * v[at];
        }
    }
    return static_cast<float>(sum);
}

// Cell to map for an operator off the grid: the point each open cell point of [begin,
// end) comes from, interpolated; row by row along x, so that the divisions and the
// coordinates that do not change along a row are done once a row. Returns the points
// marked.
std::int64_t fill_interpolated(const AxisGrid& map, const std::array<SourceAxis, 3>& axes,
                               CellDensity& density, Coverage& coverage, std::int64_t begin,
                               std::int64_t end)
{
    const Index3& n = map.points_per_cell;
    std::int64_t marked = 0;
    for (std::int64_t row_index = begin / n[0]; row_index * n[0] < end; ++row_index) {
        const std::int64_t index = row_index * n[0];
        const auto row = static_cast<std::size_t>(row_index % n[1]);
        const auto plane = static_cast<std::size_t>(row_index / n[1]);
        std::array<double, 3> position{};
        std::array<std::int64_t, 3> stepped{};
        bool outside = false;
        for (int a = 0; a < 3; ++a) {
            if (!axes[a].along_row()) {
                position[a] = axes[a].coordinate(0, row, plane);
                outside = outside || axes[a].beyond_map(position[a]);
            } else if (axes[a].stepped()) {
                stepped[a] = static_cast<std::int64_t>(axes[a].coordinate(0, row, plane));
            }
        }
        if (outside)
            continue;
        // Only the open points are visited: on later operators most are covered.
        const std::int64_t first = std::max(begin, index);
        const std::int64_t last = std::min(end, index + n[0]);
        std::int64_t stepped_to = 0;  // the x the stepped coordinates are at
        coverage.for_each_missing(first, last, [&](std::int64_t point) {
            const std::int64_t x = point - index;
            for (int a = 0; a < 3; ++a)
                if (axes[a].stepped())
                    stepped[a] = axes[a].step(stepped[a], x - stepped_to);
            stepped_to = x;
            bool inside = true;
            for (int a = 0; a < 3 && inside; ++a) {
                if (axes[a].stepped()) {
                    inside = !axes[a].beyond_map(stepped[a]);
                    position[a] = static_cast<double>(stepped[a]);
                } else if (axes[a].along_row()) {
                    position[a] = axes[a].coordinate(static_cast<std::size_t>(x), row, plane);
                    inside = !axes[a].beyond_map(position[a]);
                }
            }
            if (inside) {
                density.values[static_cast<std::size_t>(point)] = interpolate(map, position);
                coverage.mark(point);
                ++marked;
            }
        });
    }
    return marked;
}

}  // namespace

template <class T>
T* UninitialisedAllocator<T>::allocate(std::size_t count)
{
    if (count > std::numeric_limits<std::size_t>::max() / sizeof(T) - HUGE_PAGE)
        throw std::bad_array_new_length();
    const std::size_t bytes = count * sizeof(T);
    const std::size_t alignment = alignment_of(bytes);
    void* memory = ::operator new(bytes, std::align_val_t{alignment});
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    if (alignment == HUGE_PAGE)  // only advice: ignored where unsupported
        madvise(memory, bytes / HUGE_PAGE * HUGE_PAGE, MADV_HUGEPAGE);
#endif
    return static_cast<T*>(memory);
}

template <class T>
void UninitialisedAllocator<T>::deallocate(T* values, std::size_t count) noexcept
{
    ::operator delete(values, std::align_val_t{alignment_of(count * sizeof(T))});
}

template struct UninitialisedAllocator<float>;

std::array<int, 3> count_cell_points(const MapGeometry& geometry)
{
    const std::array<int, 3>& axes = geometry.axes();
    Index3 points{};
    for (std::size_t d = 0; d < 3; ++d)
        points[static_cast<std::size_t>(axes[d])] = geometry.divisions[d];
    // Below 2^62; only the third factor can take the count beyond 64 bits.
    const std::int64_t across_cell = points[0] * points[1];
    const bool countable = across_cell <= std::numeric_limits<std::int64_t>::max() / points[2];
    if (countable)
        check_output_grid_size(static_cast<std::uint64_t>(across_cell * points[2]), geometry);
    if (!countable || across_cell * points[2] > MAX_CELL_POINTS)
        throw FatalError(printf_text("Error: a cell of %lld x %lld x %lld grid points is too "
                                     "large to complete.\n",
                                     static_cast<long long>(points[0]),
                                     static_cast<long long>(points[1]),
                                     static_cast<long long>(points[2])));
    return {static_cast<int>(points[0]), static_cast<int>(points[1]),
            static_cast<int>(points[2])};
}

namespace {

// What complete_cell takes for the first operator on the grid, fill_whole_cell's, when
// every operator before it is on the grid or cannot be inverted.
std::optional<GridOp> first_grid_op(const AxisGrid& map, const SpaceGroup& group)
{
    for (const SymmetryOp& op : group.ops)
        if (const std::optional<IntRotation> inverse = invert(op.rotation))
            if (std::optional<GridOp> grid = grid_op(op, *inverse, map.points_per_cell))
                return grid;
    return std::nullopt;
}

}  // namespace

std::optional<SectionedValues> sections_as_cell(const FourierMap& fourier, const SpaceGroup& group)
{
    const AxisGrid map = view_by_axis(fourier);
    const MapGeometry& geometry = fourier.geometry;
    if (geometry.axis != std::array<int, 3>{0, 1, 2} || map.extent != map.points_per_cell)
        return std::nullopt;
    for (int axis = 0; axis < 3; ++axis)
        if (modulo(map.origin[axis], map.points_per_cell[axis]) != 0)
            return std::nullopt;
    const std::optional<GridOp> first = first_grid_op(map, group);
    const std::array<Index3, 3> identity{Index3{1, 0, 0}, Index3{0, 1, 0}, Index3{0, 0, 1}};
    if (!first || first->matrix != identity || first->shift != Index3{})
        return std::nullopt;
    return SectionedValues(fourier.section(0), geometry.section_points(),
                           static_cast<std::size_t>(geometry.points[2]), fourier.values.stride());
}

CellDensity complete_cell(const FourierMap& fourier, const SpaceGroup& group)
{
    const AxisGrid map = view_by_axis(fourier);
    CellDensity density{{static_cast<int>(map.points_per_cell[0]),
                         static_cast<int>(map.points_per_cell[1]),
                         static_cast<int>(map.points_per_cell[2])},
                        {},
                        0};
    // Every point is written below, by an operator or as 0.
    density.values.resize(static_cast<std::size_t>(map.cell_points()));
    Coverage coverage(map.cell_points());
    std::vector<std::pair<const SymmetryOp*, IntRotation>> off_grid;
    for (const SymmetryOp& op : group.ops) {
        const std::optional<IntRotation> inverse = invert(op.rotation);
        if (!inverse || coverage.missing() == 0)
            continue;
        const std::optional<GridOp> grid = grid_op(op, *inverse, map.points_per_cell);
        if (!grid) {
            off_grid.emplace_back(&op, *inverse);
        } else if (map.extent == map.points_per_cell &&
                   coverage.missing() == map.cell_points()) {
            fill_whole_cell(map, *grid, density);
            return density;
        } else if (map.map_points() <= coverage.missing()) {
            fill_from_map(map, *grid, density, coverage);
        } else {
            fill_in_parallel(map, coverage, [&](std::int64_t begin, std::int64_t end) {
                return fill_from_cell(map, *grid, density, coverage, begin, end);
            });
        }
    }
    for (const auto& [op, inverse] : off_grid) {
        if (coverage.missing() == 0)
            break;
        const std::array<SourceAxis, 3> axes{SourceAxis(map, *op, inverse, 0),
                                             SourceAxis(map, *op, inverse, 1),
                                             SourceAxis(map, *op, inverse, 2)};
        fill_in_parallel(map, coverage, [&](std::int64_t begin, std::int64_t end) {
            return fill_interpolated(map, axes, density, coverage, begin, end);
        });
    }
    density.unreached = coverage.missing();
    coverage.for_each_missing([&](std::int64_t index) {
        density.values[static_cast<std::size_t>(index)] = 0.0f;
    });
    return density;
}

}  // namespace grix
