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

WholeCell build_whole_cell(const FourierMap& map, const Phase& phase, const SpaceGroup& group,
                           bool with_density)
{
    WholeCell cell;
    cell.geometry = orthogonalise_cell(phase.cell);
    cell.atoms = place_atoms_in_cell(phase, group);
    if (with_density) {
        CellDensity density = complete_cell(map, group);
        cell.points = density.points;
        cell.values = std::move(density.values);
        cell.unreached = density.unreached;
    }
    return cell;
}

}  // namespace grix
