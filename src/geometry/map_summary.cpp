#include "geometry/map_summary.hpp"

#include <algorithm>
#include <cmath>

namespace grix {

ValueStatistics summarise_values(SectionedValues runs)
{
    // Every value in order, run after run.
    auto each_value = [&runs](auto&& take) {
        for (std::size_t k = 0; k < runs.sections; ++k)
            for (const float single : runs.section(k))
                take(single);
    };
    ValueStatistics statistics;
    double sum = 0;
    double squares_about_zero = 0;
    each_value([&](float single) {
        const double value = single;
        if (!std::isfinite(value)) {
            ++statistics.not_finite;
            return;
        }
        statistics.minimum = statistics.finite == 0 ? value : std::min(statistics.minimum, value);
        statistics.maximum = statistics.finite == 0 ? value : std::max(statistics.maximum, value);
        sum += value;
        squares_about_zero += value * value;
        ++statistics.finite;
    });
    if (statistics.finite == 0)
        return statistics;
    const auto finite = static_cast<double>(statistics.finite);
    statistics.mean = sum / finite;
    statistics.rms_about_zero = std::sqrt(squares_about_zero / finite);
    // A second pass about the mean: the sum of squares less the squared sum would lose
    // the spread of a map whose values sit far from 0.
    double squares = 0;
    each_value([&](float single) {
        const double value = single;
        if (std::isfinite(value))
            squares += (value - statistics.mean) * (value - statistics.mean);
    });
    statistics.rms = std::sqrt(squares / finite);
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
