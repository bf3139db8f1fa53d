#include "symmetry/whole_cell.hpp"

#include "symmetry/cell_atoms.hpp"
#include "symmetry/cell_density.hpp"
#include "symmetry/space_group.hpp"

#include <cmath>
#include <numbers>

namespace grix {
namespace {

// The orthogonalisation in double with the exact degree, for the viewers' formats:
// X along a, Y in the a-b plane, Z along c*.
std::array<std::array<double, 3>, 3> orthogonal_axes(const CellParameters& cell)
{
    const double radian = std::numbers::pi / 180;
    const double ca = std::cos(cell.alpha * radian), cb = std::cos(cell.beta * radian);
    const double cg = std::cos(cell.gamma * radian), sg = std::sin(cell.gamma * radian);
    const double a = cell.a, b = cell.b, c = cell.c;
    const double cy = c * (ca - cb * cg) / sg;
    const double cz = std::sqrt(std::max(c * c - c * cb * c * cb - cy * cy, 0.0));
    return {{{a, b * cg, c * cb}, {0, b * sg, cy}, {0, 0, cz}}};
}

std::string trim_blanks(const std::string& text)
{
    const std::size_t first = text.find_first_not_of(' ');
    return first == std::string::npos ? "" : text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

std::vector<CellAtom> place_atoms_in_cell(const Phase& phase, const SpaceGroup& group)
{
    std::vector<CellAtom> atoms;
    for (const Atom& atom : phase.atoms) {
        const std::string element = element_of_atom_type(atom.type);
        const std::string label = trim_blanks(atom.label);
        for (const Fractional& image : images_in_cell(group, {atom.x, atom.y, atom.z}))
            atoms.push_back({label, element, atomic_number(element), image});
    }
    return atoms;
}

WholeCell build_whole_cell(const FourierMap& map, const Phase& phase, const SpaceGroup& group,
                           bool with_density)
{
    const CellParameters& p = phase.cell;
    WholeCell cell;
    cell.parameters = {p.a, p.b, p.c, p.alpha, p.beta, p.gamma};
    cell.frac_to_cart = orthogonal_axes(p);
    cell.atoms = place_atoms_in_cell(phase, group);
    if (with_density) {
        CellDensity density = complete_cell(map.header, map.sections, group);
        cell.points = density.points;
        cell.values = std::move(density.values);
        cell.unreached = density.unreached;
    }
    return cell;
}

}  // namespace grix
