#include "symmetry/whole_cell.hpp"

#include "common/trim.hpp"
#include "geometry/cell.hpp"
#include "symmetry/cell_atoms.hpp"
#include "symmetry/cell_density.hpp"
#include "symmetry/space_group.hpp"


namespace grix {
namespace {

// Every image inside the cell of every atom of the phase, in the phase's order.
std::vector<CellAtom> place_atoms_in_cell(const Phase& phase, const SpaceGroup& group)
{
    std::vector<CellAtom> atoms;
    for (const Atom& atom : phase.atoms) {
        const std::string element = element_of_atom_type(atom.type);
        const std::string label(trim_space(atom.label));
        for (const Fractional& image : images_in_cell(group, {atom.x, atom.y, atom.z}))
            atoms.push_back({label, element, atomic_number(element), image});
    }
    return atoms;
}

}  // namespace

SectionedValues WholeCell::density() const
{
    if (map_sections.first != nullptr)
        return map_sections;
    const std::size_t plane =
        static_cast<std::size_t>(points[0]) * static_cast<std::size_t>(points[1]);
    return {values.data(), plane, static_cast<std::size_t>(points[2]), plane};
}

WholeCell build_whole_cell(const FourierMap& map, const Phase& phase, const SpaceGroup& group,
                           bool with_density)
{
    WholeCell cell;
    cell.geometry = orthogonalise_cell(phase.cell);
    cell.atoms = place_atoms_in_cell(phase, group);
    if (with_density) {
        // A map that already is the whole cell in its own order is read where it lies.
        if (const std::optional<SectionedValues> sections = sections_as_cell(map, group)) {
            cell.points = {map.geometry.points[0], map.geometry.points[1], map.geometry.points[2]};
            cell.map_sections = *sections;
            return cell;
        }
        CellDensity density = complete_cell(map, group);
        cell.points = density.points;
        cell.values = std::move(density.values);
        cell.unreached = density.unreached;
    }
    return cell;
}

}  // namespace grix
