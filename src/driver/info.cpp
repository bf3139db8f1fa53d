#include "driver/info.hpp"

#include "common/trim.hpp"
#include "driver/console.hpp"
#include "geometry/map_summary.hpp"

#include <string_view>

namespace grix {
namespace {

constexpr const char* DIRECTION_NAMES[3] = {"across", "down", "sections"};
constexpr char AXIS_NAMES[] = "xyz";

// A header text up to its zero byte, without the blanks that pad its field.
std::string header_text(const char* field, std::size_t size)
{
    return std::string(trim_space(std::string_view(field, strnlen(field, size))));
}

void print_header(std::ostream& out, const MapInfo& info)
{
    const MapHeader& header = info.map.header;
    print_to(out, "Map file        %s\n", info.map_file.c_str());
    print_to(out, "Map type        %s\n", header_text(header.maptyp, sizeof header.maptyp).c_str());
    print_to(out, "Title           %s\n", header_text(header.title, sizeof header.title).c_str());
    print_to(out, "Phase text      %s\n", header_text(header.phase, sizeof header.phase).c_str());
    print_to(out, "Cell            %.4f %.4f %.4f %.3f %.3f %.3f\n", double{header.cell[0]},
             double{header.cell[1]}, double{header.cell[2]}, double{header.cell[3]},
             double{header.cell[4]}, double{header.cell[5]});
}

void print_grid(std::ostream& out, const MapGeometry& geometry)
{
    const std::array<DirectionExtent, 3> extent = map_extent(geometry);
    print_to(out, "\nGrid            axis  divisions  points  origin     from       to  cell\n");
    for (std::size_t d = 0; d < 3; ++d) {
        const DirectionExtent& direction = extent[d];
        print_to(out, "  %-13s %4c %10d %7d %7d %8.4f %8.4f  %s\n", DIRECTION_NAMES[d],
                 direction.axis < 0 ? '?' : AXIS_NAMES[direction.axis], geometry.divisions[d],
                 geometry.points[d], geometry.origin[d], direction.first, direction.last,
                 direction.whole_period ? "whole" : "part");
    }
    const double fraction = covered_fraction(geometry);
    if (fraction == 1)
        print_to(out, "Covers          the whole cell\n");
    else
        print_to(out, "Covers          %.4g %% of the cell\n", 100 * fraction);
}

void print_values(std::ostream& out, const FourierMap& map)
{
    const ValueStatistics values = summarise_values(map.values.all());
    print_to(out, "\nValues          %lld points\n",
             static_cast<long long>(values.finite + values.not_finite));
    print_to(out, "  minimum       %.6g\n", values.minimum);
    print_to(out, "  maximum       %.6g\n", values.maximum);
    print_to(out, "  mean          %.6g\n", values.mean);
    print_to(out, "  rms           %.6g (about the mean)\n", values.rms);
    if (values.not_finite > 0)
        print_to(out, "  not finite    %lld, left out of the above\n",
                 static_cast<long long>(values.not_finite));
}

void print_phases(std::ostream& out, const MapInfo& info)
{
    if (!info.exp_file) {
        print_to(out, "\nExperiment file none found\n");
        return;
    }
    print_to(out, "\nExperiment file %s\n", info.exp_file->c_str());
    print_to(out, "  %5s  %-16s %9s %9s %9s %8s %7s %7s %6s  %s\n", "phase", "name", "a", "b",
             "c", "alpha", "beta", "gamma", "atoms", "space group");
    for (std::size_t p = 0; p < info.phases.size(); ++p) {
        const Phase& phase = info.phases[p];
        const CellParameters& cell = phase.cell;
        print_to(out, "  %5zu  %-16s %9.4f %9.4f %9.4f %8.3f %7.3f %7.3f %6d  %s\n", p + 1,
                 std::string(trim_space(phase.name)).c_str(), double{cell.a}, double{cell.b},
                 double{cell.c}, double{cell.alpha}, double{cell.beta}, double{cell.gamma},
                 phase.atom_count, phase.space_group.c_str());
    }
    if (info.phases.empty())
        print_to(out, "  no phase\n");
}

void print_choice(std::ostream& out, const MapInfo& info)
{
    if (info.chosen == 0) {
        print_to(out, "\nA conversion takes no phase: the map's own cell, no atoms.\n");
        return;
    }
    const Phase& phase = info.phases[info.chosen - 1];
    print_to(out, "\nA conversion takes phase %zu; the map's cell %s it.\n", info.chosen,
             cell_matches_map(info.map.header, phase.cell) ? "matches" : "differs from");
}

}  // namespace

void print_map_info(std::ostream& out, const MapInfo& info)
{
    print_header(out, info);
    print_grid(out, info.map.geometry);
    print_values(out, info.map);
    print_phases(out, info);
    print_choice(out, info);
}

}  // namespace grix
