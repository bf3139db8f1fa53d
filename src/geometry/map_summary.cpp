#include "geometry/map_summary.hpp"

#include <algorithm>
#include <cmath>
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

}  // namespace

ValueStatistics summarise_values(SectionedValues runs)
{
    ValueStatistics statistics = sum_in_order(runs);
    if (statistics.finite > 0)
        statistics.rms = root_mean(sum_squares_in_order(runs, statistics.mean), statistics.finite);
    return statistics;
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
