#include "writers/gaussian_cube.hpp"

#include "common/text.hpp"
#include "writers/whole_cell_text.hpp"

#include <algorithm>
#include <array>
#include <cstddef>
#include <string>

namespace grix {

namespace {

// The cube format measures every length in Bohr; a positive grid count says so. Its
// densities are per cubic bohr, the map's per cubic Angstrom times the bohr's volume.
constexpr double BOHR_ANGSTROM = 0.529177210903;
constexpr double BOHR_CUBED = BOHR_ANGSTROM * BOHR_ANGSTROM * BOHR_ANGSTROM;

// A count and three lengths in Bohr: "%5d%12.6f%12.6f%12.6f", the cube's header line.
void append_count_and_vector(std::string& text, long long count,
                             const std::array<double, 3>& angstrom)
{
    append_int(text, count, 5);
    for (const double length : angstrom)
        append_fixed(text, length / BOHR_ANGSTROM, 12, 6);
    text += '\n';
}

// Two comment lines, the atom count with the origin, then each axis's point count with
// the step between its points: the cell edge divided by the points, so an oblique cell
// gives oblique voxels. Readers take the second comment line, when it holds "OUTER
// LOOP", for the loop order and nothing else, so it says that alone.
std::string header_text(const WholeCell& cell, std::string_view title)
{
    std::string text = one_line(title);
    text += "; grix: GSAS Fourier map over one unit cell, density in electrons per cubic"
            " bohr\n";
    text += "OUTER LOOP: X, MIDDLE LOOP: Y, INNER LOOP: Z\n";
    append_count_and_vector(text, static_cast<long long>(cell.atoms.size()), {0, 0, 0});
    for (int axis = 0; axis < 3; ++axis) {
        std::array<double, 3> step = cell_edge(cell, axis);
        const int points = cell.points[static_cast<std::size_t>(axis)];
        for (double& component : step)
            component /= points;
        append_count_and_vector(text, points, step);
    }
    return text;
}

// Each atom as its atomic number, its nuclear charge and its position in Bohr. An atom
// of unknown element keeps atomic number 0, the cube's dummy atom: viewers read the
// file and show the atom as unknown rather than refusing it or naming a wrong element.
std::string atom_text(const WholeCell& cell)
{
    std::string text;
    for (const CellAtom& atom : cell.atoms) {
        append_int(text, atom.atomic_number, 5);
        append_fixed(text, atom.atomic_number, 12, 6);
        for (const double angstrom : to_cartesian(cell, atom.fractional))
            append_fixed(text, angstrom / BOHR_ANGSTROM, 12, 6);
        text += '\n';
    }
    return text;
}

// X slowest, Y, then Z fastest: the values of each Z run six to a line, the run ending
// its last line. Each value is converted to e/bohr^3 in double and rounded once.
void emit_values(const WholeCell& cell, TextPieces& pieces)
{
    const auto [nx, ny, nz] = cell.points;
    const auto z_stride = static_cast<std::size_t>(nx) * static_cast<std::size_t>(ny);
    for (int ix = 0; ix < nx; ++ix) {
        for (int iy = 0; iy < ny; ++iy) {
            const float* run = cell.values.data() + ix + static_cast<std::size_t>(nx) * iy;
            for (int iz = 0; iz < nz;) {
                const auto count = std::min<std::size_t>(VALUES_PER_LINE,
                                                         static_cast<std::size_t>(nz - iz));
                float line[VALUES_PER_LINE];
                for (std::size_t n = 0; n < count; ++n, ++iz)
                    line[n] = static_cast<float>(run[z_stride * static_cast<std::size_t>(iz)] *
                                                 BOHR_CUBED);
                append_value_line(pieces, line, count);
            }
        }
    }
}

}  // namespace

void emit_gaussian_cube(const WholeCell& cell, std::string_view title,
                        const std::function<void(std::string_view)>& sink)
{
    check_value_count(cell);
    TextPieces pieces(sink);
    pieces.append(header_text(cell, title));
    pieces.append(atom_text(cell));
    emit_values(cell, pieces);
    pieces.flush();
}

void write_gaussian_cube(const Conversion& conversion, OutputFile& file)
{
    emit_gaussian_cube(*conversion.whole_cell, map_title(conversion.map.header),
                       [&](std::string_view text) { write_output(file, text); });
}

}  // namespace grix
