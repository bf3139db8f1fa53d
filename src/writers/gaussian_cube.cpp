#include "writers/gaussian_cube.hpp"

#include "common/text.hpp"
#include "writers/whole_cell_text.hpp"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace grix {

namespace {

// The cube format measures every length in Bohr; a positive grid count says so.
constexpr double BOHR_ANGSTROM = 0.529177210903;

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
// gives oblique voxels.
std::string header_text(const WholeCell& cell, std::string_view title)
{
    std::string text = one_line(title) + '\n';
    text += "grix: GSAS Fourier map over one unit cell, density per cubic Angstrom as in the"
            " map; OUTER LOOP: X, MIDDLE LOOP: Y, INNER LOOP: Z\n";
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

// The Z runs of a piece of the walk, gathered Z plane by Z plane: the runs' values at one
// Z lie a Y row apart in the cell, so they are read together, not each a plane apart.
// Every value is taken in gather_runs, the one place the densities are read.
void gather_runs(const WholeCell& cell, const GridWalk& walk, const WalkPiece& piece,
                 std::vector<float>& runs)
{
    const auto nx = static_cast<std::size_t>(cell.points[0]);
    const std::size_t plane = nx * static_cast<std::size_t>(cell.points[1]);
    std::vector<std::size_t> starts;  // of each run in the plane
    for (WalkPiece at = piece; starts.size() < static_cast<std::size_t>(piece.rows);
         next_row(walk, at))
        starts.push_back(static_cast<std::size_t>(at.plane) +
                         nx * static_cast<std::size_t>(at.row));
    const auto width = static_cast<std::size_t>(piece.last - piece.first);
    runs.resize(starts.size() * width);
    for (std::size_t z = 0; z < width; ++z) {
        const float* values =
            cell.values.data() + plane * static_cast<std::size_t>(piece.first + z);
        for (std::size_t r = 0; r < starts.size(); ++r)
            runs[r * width + z] = values[starts[r]];
    }
}

// X slowest, Y, then Z fastest: the values of each Z run six to a line, the run ending
// its last line. The walk's planes are X, its rows Y, its points Z.
void emit_values(const WholeCell& cell, int threads, const TextSink& sink)
{
    GridWalk walk;
    walk.planes = cell.points[0];
    walk.rows = cell.points[1];
    walk.points = cell.points[2];
    emit_grid_walk(walk, threads, [&](const WalkPiece& piece, std::string& text) {
        std::vector<float> runs;
        gather_runs(cell, walk, piece, runs);
        const std::int64_t width = piece.last - piece.first;
        for (std::int64_t r = 0; r < piece.rows; ++r)
            append_value_lines(text, runs.data() + r * width, piece.first, piece.last,
                               walk.points);
    }, sink);
}

void emit_cube(const WholeCell& cell, std::string_view title, int threads,
               const TextSink& sink)
{
    check_value_count(cell);
    TextPieces pieces(sink);
    pieces.append(header_text(cell, title));
    pieces.append(atom_text(cell));
    pieces.flush();
    emit_values(cell, threads, sink);
}

}  // namespace

void emit_gaussian_cube(const WholeCell& cell, std::string_view title, const TextSink& sink)
{
    emit_cube(cell, title, 1, sink);
}

void write_gaussian_cube(const Conversion& conversion, OutputFile& file)
{
    emit_cube(*conversion.whole_cell, map_title(conversion.map.header), conversion.threads,
              [&](std::string_view text) { write_output(file, text); });
}

}  // namespace grix
