#include "driver/peak_table.hpp"

#include "driver/console.hpp"
#include "symmetry/peak_list.hpp"

namespace grix {
namespace {

void print_rows(std::ostream& out, const char* kind, const std::vector<GridPeak>& peaks,
                double rms, const WholeCell& cell)
{
    for (const GridPeak& peak : peaks) {
        print_to(out, "%-4s %11.4f %7.2f %8.5f %8.5f %8.5f", kind, peak.height,
                 peak.height / rms, peak.position[0], peak.position[1], peak.position[2]);
        const NearestAtom nearest = find_nearest_atom(cell, peak.position);
        if (nearest.atom)
            print_to(out, " %-8s %8.3f", nearest.atom->label.c_str(), nearest.distance);
        else
            print_to(out, " %-8s %8s", "-", "-");
        print_to(out, " %s\n", peak.on_edge ? "yes" : "no");
    }
}

}  // namespace

void print_peak_table(std::ostream& out, const std::vector<GridPeak>& maxima,
                      const std::vector<GridPeak>& minima, double rms, const WholeCell& cell)
{
    print_to(out, "kind      height   sigma        x        y        z atom     distance edge\n");
    print_rows(out, "max", maxima, rms, cell);
    print_rows(out, "min", minima, rms, cell);
}

}  // namespace grix
