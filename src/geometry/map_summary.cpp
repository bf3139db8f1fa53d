#include "geometry/map_summary.hpp"

#include "common/two_halves.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace grix {
namespace {

// Every value in order, run after run.
template <class Take>
void for_each_value(SectionedValues runs, Take&& take)
{
    for (std::size_t k = 0; k < runs.sections; ++k)
        for (const float single : runs.section(k))
            take(single);
}

// Everything but the spread about the mean, in one pass in the values' order. The
// pass is as long as its chain of dependent additions: nothing else waits on a branch.
// A value left out adds +0, which leaves a sum unchanged (a sum of +0 and values never
// is -0), and an infinity in place of one moves neither end of the range.
ValueStatistics sum_in_order(SectionedValues runs)
{
    constexpr double INFINITE = std::numeric_limits<double>::infinity();
    double sum = 0;
    double squares_about_zero = 0;
    double minimum = INFINITE, maximum = -INFINITE;
    std::int64_t finite = 0;
    for_each_value(runs, [&](float single) {
        const double value = single;
        const bool counts = std::isfinite(value);
        const double term = counts ? value : 0.0;
        sum += term;
        squares_about_zero += term * term;
        minimum = std::min(minimum, counts ? value : INFINITE);
        maximum = std::max(maximum, counts ? value : -INFINITE);
        finite += counts;
    });
    ValueStatistics statistics;
    statistics.finite = finite;
    statistics.not_finite = static_cast<std::int64_t>(runs.size()) - finite;
    if (finite == 0)
        return statistics;
    const auto count = static_cast<double>(finite);
    statistics.minimum = minimum;
    statistics.maximum = maximum;
    statistics.mean = sum / count;
    statistics.rms_about_zero = std::sqrt(squares_about_zero / count);
    return statistics;
}

// The squares about the mean summed in the values' order: a second pass, since the sum
// of squares less the squared sum would lose the spread of a map whose values sit far
// from 0.
double sum_squares_in_order(SectionedValues runs, double mean)
{
    double squares = 0;
    for_each_value(runs, [&](float single) {
        const double value = single;
        if (std::isfinite(value))
            squares += (value - mean) * (value - mean);
    });
    return squares;
}

double root_mean(double squares, std::int64_t count)
{
    return std::sqrt(squares / static_cast<double>(count));
}

using DoublePair = double __attribute__((vector_size(16)));
using FloatPair = float __attribute__((vector_size(8)));

DoublePair square_about(const float* at, DoublePair mean)
{
    FloatPair pair;
    std::memcpy(&pair, at, sizeof pair);
    const DoublePair deviation = __builtin_convertvector(pair, DoublePair) - mean;
    return deviation * deviation;
}

// The sum of `count` squares about the mean from `at`, on eight lanes. Each term is the
// double the ordered pass adds; only the order of the additions differs.
double sum_squares_on_lanes(const float* at, std::size_t count, double mean)
{
    const DoublePair centre = {mean, mean};
    DoublePair lanes[4] = {};
    std::size_t k = 0;
    for (; k + 8 <= count; k += 8)
        for (std::size_t lane = 0; lane < 4; ++lane)
            lanes[lane] += square_about(at + k + 2 * lane, centre);
    double sum = 0;
    for (; k < count; ++k)
        sum += (at[k] - mean) * (at[k] - mean);
    const DoublePair pairs = (lanes[0] + lanes[1]) + (lanes[2] + lanes[3]);
    return sum + (pairs[0] + pairs[1]);
}

// Where the ordered sum of squares about the mean of values that are all finite must
// lie, found without adding them in order. Every term is >= 0 and its own double in both
// sums, so each ordered addition rounds by at most u (half the epsilon) of the partial
// sum it makes: the ordered sum is off the exact one by at most u times the sum over
// the terms of each term times the number of partial sums it is in. Blocks summed on
// lanes bound that from above, each block's sum times the terms from its start on; the
// sum of the blocks is itself off by at most u times the additions any term takes part
// in, about a block's length plus the blocks.
struct SumBounds {
    double low, high;
};

constexpr std::size_t BLOCK = 4096;

struct BlockSums {
    double sum = 0;
    double weighted = 0;  // each block's sum times the terms from its start to the end
    std::size_t blocks = 0;
};

BlockSums sum_blocks(SectionedValues runs, std::size_t first, std::size_t end, double mean)
{
    BlockSums sums;
    auto remaining = static_cast<double>((runs.sections - first) * runs.section_points);
    for (std::size_t s = first; s < end; ++s) {
        const std::span<const float> section = runs.section(s);
        for (std::size_t k = 0; k < section.size(); k += BLOCK) {
            const std::size_t length = std::min(BLOCK, section.size() - k);
            const double block = sum_squares_on_lanes(section.data() + k, length, mean);
            sums.sum += block;
            sums.weighted += remaining * block;
            remaining -= static_cast<double>(length);
            ++sums.blocks;
        }
    }
    return sums;
}

SumBounds bound_squares_about(SectionedValues runs, double mean)
{
    constexpr double u = std::numeric_limits<double>::epsilon() / 2;
    const auto [first, second] = work_in_two_halves(
        runs.sections, runs.size() >= VALUES_WORTH_A_THREAD,
        [&](std::size_t begin, std::size_t end) { return sum_blocks(runs, begin, end, mean); });
    const double sum = first.sum + second.sum;
    // 1 % over the bounds covers their own rounding; the three extra u * sum cover the
    // halves' addition, a compiler that fuses the ordered pass's multiply and add, and
    // low and high's own rounding.
    const double additions = static_cast<double>(BLOCK + first.blocks + second.blocks + 3);
    const double radius = 1.01 * u * (first.weighted + second.weighted + additions * sum);
    return {sum - radius, sum + radius};
}

}  // namespace

ValueStatistics summarise_values(SectionedValues runs)
{
    ValueStatistics statistics = sum_in_order(runs);
    if (statistics.finite > 0)
        statistics.rms = root_mean(sum_squares_in_order(runs, statistics.mean), statistics.finite);
    return statistics;
}

SingleValueStatistics summarise_values_single(SectionedValues runs)
{
    const ValueStatistics statistics = sum_in_order(runs);
    SingleValueStatistics single{static_cast<float>(statistics.minimum),
                                 static_cast<float>(statistics.maximum),
                                 static_cast<float>(statistics.mean), 0};
    if (statistics.finite == 0)
        return single;
    const auto single_rms = [&](double squares) {
        return static_cast<float>(root_mean(squares, statistics.finite));
    };
    // The rms rounds the same from anywhere between the bounds (each step is monotonic):
    // then it is the ordered pass's float. Otherwise, and around a NaN or an infinity,
    // the ordered pass itself.
    if (statistics.not_finite == 0) {
        const SumBounds bounds = bound_squares_about(runs, statistics.mean);
        if (single_rms(bounds.low) == single_rms(bounds.high)) {
            single.rms = single_rms(bounds.low);
            return single;
        }
    }
    single.rms = single_rms(sum_squares_in_order(runs, statistics.mean));
    return single;
}

std::array<DirectionExtent, 3> map_extent(const MapGeometry& geometry)
{
    std::array<DirectionExtent, 3> extent;
    for (std::size_t d = 0; d < 3; ++d) {
        DirectionExtent& direction = extent[d];
        direction.axis = geometry.axis[d];
        const double intervals = geometry.divisions[d];
        direction.first = geometry.origin[d] / intervals;
        direction.last =
            (static_cast<double>(geometry.origin[d]) + geometry.points[d] - 1) / intervals;
        direction.whole_period = geometry.points[d] >= geometry.divisions[d];
    }
    return extent;
}

double covered_fraction(const MapGeometry& geometry)
{
    double fraction = 1;
    for (std::size_t d = 0; d < 3; ++d)
        fraction *=
            std::min(static_cast<double>(geometry.points[d]) / geometry.divisions[d], 1.0);
    return fraction;
}

bool cell_matches_map(const MapHeader& header, const CellParameters& cell)
{
    const double phase[6] = {cell.a, cell.b, cell.c, cell.alpha, cell.beta, cell.gamma};
    for (std::size_t n = 0; n < 6; ++n) {
        const double allowed = n < 3 ? 0.001 * std::fabs(phase[n]) : 0.05;
        if (std::fabs(header.cell[n] - phase[n]) > allowed)
            return false;
    }
    return true;
}

}  // namespace grix
