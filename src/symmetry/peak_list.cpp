#include "symmetry/peak_list.hpp"

#include "symmetry/cell_atoms.hpp"

#include <cmath>
#include <limits>
#include <map>

namespace grix {
namespace {

using GridKey = std::array<std::int64_t, 3>;

// The images already listed, filed by the grid point nearest to each, so that a new
// peak is compared with those filed at its own and the neighbouring points only.
class ImageIndex {
public:
    explicit ImageIndex(const std::array<double, 3>& steps) : steps_(steps) {}

    void add(const Fractional& image) { filed_[key_of(image)].push_back(image); }

    bool holds_one_near(const Fractional& position) const
    {
        const GridKey key = key_of(position);
        for (std::int64_t dz = -1; dz <= 1; ++dz) {
            for (std::int64_t dy = -1; dy <= 1; ++dy) {
                for (std::int64_t dx = -1; dx <= 1; ++dx) {
                    const auto found = filed_.find(wrap({key[0] + dx, key[1] + dy, key[2] + dz}));
                    if (found == filed_.end())
                        continue;
                    for (const Fractional& image : found->second)
                        if (is_near(image, position))
                            return true;
                }
            }
        }
        return false;
    }

private:
    std::int64_t points(std::size_t axis) const
    {
        return std::max<std::int64_t>(std::llround(1.0 / steps_[axis]), 1);
    }
    GridKey wrap(GridKey key) const
    {
        for (std::size_t i = 0; i < 3; ++i)
            key[i] = ((key[i] % points(i)) + points(i)) % points(i);
        return key;
    }
    GridKey key_of(const Fractional& position) const
    {
        GridKey key{};
        for (std::size_t i = 0; i < 3; ++i)
            key[i] = std::llround(position[i] / steps_[i]);
        return wrap(key);
    }
    bool is_near(const Fractional& a, const Fractional& b) const
    {
        for (std::size_t i = 0; i < 3; ++i) {
            const double difference = std::fabs(a[i] - b[i]);
            if (std::min(difference, 1.0 - difference) >= steps_[i])
                return false;
        }
        return true;
    }

    std::array<double, 3> steps_;
    std::map<GridKey, std::vector<Fractional>> filed_;
};

}  // namespace

std::vector<GridPeak> drop_symmetry_repeats(const std::vector<GridPeak>& peaks,
                                            const SpaceGroup& group,
                                            const std::array<double, 3>& steps,
                                            std::size_t count)
{
    std::vector<GridPeak> kept;
    ImageIndex listed(steps);
    for (const GridPeak& peak : peaks) {
        if (kept.size() == count)
            break;
        if (listed.holds_one_near(peak.position))
            continue;
        kept.push_back(peak);
        for (const Fractional& image : images_in_cell(group, peak.position))
            listed.add(image);
    }
    return kept;
}

NearestAtom find_nearest_atom(const WholeCell& cell, const Fractional& position)
{
    NearestAtom nearest;
    double shortest = std::numeric_limits<double>::infinity();
    for (const CellAtom& atom : cell.atoms) {
        Fractional difference{};
        for (std::size_t i = 0; i < 3; ++i) {
            difference[i] = position[i] - atom.fractional[i];
            difference[i] -= std::round(difference[i]);
        }
        // The nearest lattice point need not be the nearest in fractions in an oblique cell.
        for (int tz = -1; tz <= 1; ++tz) {
            for (int ty = -1; ty <= 1; ++ty) {
                for (int tx = -1; tx <= 1; ++tx) {
                    const Fractional shifted{difference[0] + tx, difference[1] + ty,
                                           difference[2] + tz};
                    const Cartesian cartesian = to_cartesian(cell.geometry, shifted);
                    double squared = 0;
                    for (const double coordinate : cartesian)
                        squared += coordinate * coordinate;
                    if (squared < shortest) {
                        shortest = squared;
                        nearest.atom = &atom;
                    }
                }
            }
        }
    }
    nearest.distance = nearest.atom ? std::sqrt(shortest) : 0;
    return nearest;
}

}  // namespace grix
