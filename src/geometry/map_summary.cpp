#include "geometry/map_summary.hpp"

#include "geometry/grid.hpp"

#include <algorithm>
#include <cmath>

namespace grix {

ValueStatistics summarise_values(const FourierMap& map)
{
    const MapHeader& header = map.header;
    const std::size_t count =
        static_cast<std::size_t>(std::max(header.nxyzt[0], 0)) *
        static_cast<std::size_t>(std::max(header.nxyzt[1], 0));
    ValueStatistics statistics;
    double sum = 0;
    auto each_value = [&](auto&& take) {
        for (const MapSection& section : map.sections)
            for (std::size_t n = 0; n < std::min(count, section.values.size()); ++n)
                take(static_cast<double>(section.values[n]));
    };
    each_value([&](double value) {
        if (!std::isfinite(value)) {
            ++statistics.not_finite;
            return;
        }
        statistics.minimum = statistics.finite == 0 ? value : std::min(statistics.minimum, value);
        statistics.maximum = statistics.finite == 0 ? value : std::max(statistics.maximum, value);
        sum += value;
        ++statistics.finite;
    });
    if (statistics.finite == 0)
        return statistics;
    statistics.mean = sum / static_cast<double>(statistics.finite);
    // A second pass about the mean: the sum of squares less the squared sum would lose
    // the spread of a map whose values sit far from 0.
    double squares = 0;
    each_value([&](double value) {
        if (std::isfinite(value))
            squares += (value - statistics.mean) * (value - statistics.mean);
    });
    statistics.rms = std::sqrt(squares / static_cast<double>(statistics.finite));
    return statistics;
}

std::array<DirectionExtent, 3> map_extent(const MapHeader& header)
{
    std::array<DirectionExtent, 3> extent;
    for (std::size_t d = 0; d < 3; ++d) {
        DirectionExtent& direction = extent[d];
        if (header.msect >= 1 && header.msect <= 3)
            direction.axis = direction_axes(header.msect)[d];
        const double intervals = header.nxyzi[d];
        direction.first = header.nxyzo[d] / intervals;
        direction.last = (static_cast<double>(header.nxyzo[d]) + header.nxyzt[d] - 1) / intervals;
        direction.whole_period = header.nxyzi[d] > 0 && header.nxyzt[d] >= header.nxyzi[d];
    }
    return extent;
}

double covered_fraction(const MapHeader& header)
{
    double fraction = 1;
    for (std::size_t d = 0; d < 3; ++d) {
        if (header.nxyzi[d] <= 0)
            return 0;
        fraction *= std::clamp(static_cast<double>(header.nxyzt[d]) / header.nxyzi[d], 0.0, 1.0);
    }
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
