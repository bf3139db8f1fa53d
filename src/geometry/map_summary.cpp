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

// The first pass's figures, and the ordered sums they came from.
struct FirstPass {
    ValueStatistics statistics;  // all but the spread about the mean
    double sum = 0;
    double squares_about_zero = 0;
};

// Everything but the spread about the mean, in one pass in the values' order. The
// pass is as long as its chain of dependent additions: nothing else waits on a branch.
// A value left out adds +0, which leaves a sum unchanged (a sum of +0 and values never
// is -0), and an infinity in place of one moves neither end of the range.
FirstPass sum_in_order(SectionedValues runs)
{
    constexpr double INFINITE = std::numeric_limits<double>::infinity();
    FirstPass pass;
    double minimum = INFINITE, maximum = -INFINITE;
    std::int64_t finite = 0;
    for_each_value(runs, [&](float single) {
        const double value = single;
        const bool counts = std::isfinite(value);
        const double term = counts ? value : 0.0;
        pass.sum += term;
        pass.squares_about_zero += term * term;
        minimum = std::min(minimum, counts ? value : INFINITE);
        maximum = std::max(maximum, counts ? value : -INFINITE);
        finite += counts;
    });
    ValueStatistics& statistics = pass.statistics;
    statistics.finite = finite;
    statistics.not_finite = static_cast<std::int64_t>(runs.size()) - finite;
    if (finite == 0)
        return pass;
    const auto count = static_cast<double>(finite);
    statistics.minimum = minimum;
    statistics.maximum = maximum;
    statistics.mean = pass.sum / count;
    statistics.rms_about_zero = std::sqrt(pass.squares_about_zero / count);
    return pass;
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

struct SumBounds {
    double low, high;
};

// Where the second pass's ordered sum of squares about the mean m must lie, from the
// first pass's sums alone, with u half the epsilon and n the finite values. Exactly,
// sum (x - m)^2 = sum x^2 - 2 m sum x + n m^2. An ordered sum of n terms is off the
// exact one by at most n u times the sum of the terms' sizes: the squares of floats are
// exact doubles, and the sizes of the x sum to at most sqrt(n sum x^2). The second pass
// rounds each term by at most 3 u and adds them, all >= 0, within n u of their sum. A
// map far from 0 for its spread leaves a wide interval: the ordered pass settles it.
SumBounds bound_squares_about_mean(const FirstPass& pass)
{
    constexpr double u = std::numeric_limits<double>::epsilon() / 2;
    const auto n = static_cast<double>(pass.statistics.finite);
    const double m = pass.statistics.mean;
    const double squares = pass.squares_about_zero;
    const double estimate = squares - 2 * m * pass.sum + n * m * m;
    // 1 % over each bound covers the bounds' own rounding.
    const double off_sums = 1.01 * n * u * (squares + 2 * std::fabs(m) * std::sqrt(n * squares));
    const double off_estimate = 8 * u * (squares + 2 * std::fabs(m * pass.sum) + n * m * m);
    const double second_pass = 1.01 * (n + 3) * u + 4 * u;
    const double radius = off_sums + off_estimate;
    return {(estimate - radius) * (1 - second_pass), (estimate + radius) * (1 + second_pass)};
}

}  // namespace

ValueStatistics summarise_values(SectionedValues runs)
{
    ValueStatistics statistics = sum_in_order(runs).statistics;
    if (statistics.finite > 0)
        statistics.rms = root_mean(sum_squares_in_order(runs, statistics.mean), statistics.finite);
    return statistics;
}

SingleValueStatistics summarise_values_single(SectionedValues runs)
{
    const FirstPass pass = sum_in_order(runs);
    const ValueStatistics& statistics = pass.statistics;
    SingleValueStatistics single{static_cast<float>(statistics.minimum),
                                 static_cast<float>(statistics.maximum),
                                 static_cast<float>(statistics.mean), 0};
    if (statistics.finite == 0)
        return single;
    const auto single_rms = [&](double squares) {
        return static_cast<float>(root_mean(squares, statistics.finite));
    };
    // The rms rounds the same from anywhere between the bounds (each step is monotonic):
    // then it is the second pass's float, without the pass. Otherwise the pass runs.
    const SumBounds bounds = bound_squares_about_mean(pass);
    if (bounds.low > 0 && single_rms(bounds.low) == single_rms(bounds.high)) {
        single.rms = single_rms(bounds.low);
        return single;
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
