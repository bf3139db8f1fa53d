#include "writers/xsf_grid.hpp"

#include "common/text.hpp"
#include "writers/grid_walk.hpp"
#include "writers/whole_cell_text.hpp"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace grix {

namespace {

void append_vector(std::string& text, const std::array<double, 3>& vector)
{
    for (const double component : vector)
        append_fixed(text, component, 15, 9);
    text += '\n';
}

void append_cell_edges(std::string& text, const WholeCell& cell)
{
    for (int axis = 0; axis < 3; ++axis)
        append_vector(text, cell_edge(cell.geometry, axis));
}

// The title as a comment (as a block name it would be misread when empty or starting
// with '#'), then the periodic crystal, its cell edges and its atoms as atomic number
// and Cartesian position (Angstrom). An atom of unknown element keeps atomic number 0,
// the format's dummy atom X: viewers read the file and show the atom as unknown rather
// than refusing it or naming a wrong element.
std::string structure_text(const WholeCell& cell, std::string_view title)
{
    std::string text = "# " + one_line(title) + "\nCRYSTAL\nPRIMVEC\n";
    append_cell_edges(text, cell);
    text += "PRIMCOORD\n";
    append_int(text, static_cast<long long>(cell.atoms.size()), 0);
    text += " 1\n";
    for (const CellAtom& atom : cell.atoms) {
        append_int(text, atom.atomic_number, 3);
        append_vector(text, to_cartesian(cell.geometry, atom.fractional));
    }
    return text;
}

// The grid block: one more point per axis than the periodic grid, from the origin of
// the cell to its far faces, which the format's general grid includes.
std::string grid_header_text(const WholeCell& cell)
{
    std::string text = "BEGIN_BLOCK_DATAGRID_3D\ngrix_map\nBEGIN_DATAGRID_3D_density\n";
    for (const int points : cell.points)
        append_int(text, points + 1, 6);
    text += '\n';
    append_vector(text, {0, 0, 0});
    append_cell_edges(text, cell);
    return text;
}

// X fastest, then Y, then Z, each X row ending its last line; the closing planes
// (point n = points) repeat the values of point 0 along every axis. The walk's planes are
// Z, its rows Y, its points X, each one more than the cell has.
void emit_values(const WholeCell& cell, int threads, OutputSink& sink)
{
    // Plain names, not a structured binding: the lambda below captures them.
    const int nx = cell.points[0], ny = cell.points[1], nz = cell.points[2];
    const SectionedValues density = cell.density();
    GridWalk walk;
    walk.planes = nz + 1;
    walk.rows = ny + 1;
    walk.points = nx + 1;
    const auto length_of = [&](const WalkPiece& piece) {
        return static_cast<std::size_t>(piece.rows) *
               value_lines_length(piece.first, piece.last, walk.points);
    };
    write_grid_walk(sink, walk, threads, length_of, [&](const WalkPiece& piece, char* out) {
        const std::int64_t inside = std::min<std::int64_t>(piece.last, nx);
        const std::size_t inside_length = value_lines_length(piece.first, inside, walk.points);
        const std::size_t closing_length = value_lines_length(nx, walk.points, walk.points);
        WalkPiece at = piece;
        for (std::int64_t r = 0; r < piece.rows; ++r, next_row(walk, at)) {
            const float* row = density.section(static_cast<std::size_t>(at.plane % nz)).data() +
                               static_cast<std::size_t>(nx) * static_cast<std::size_t>(at.row % ny);
            write_value_lines(out, row + piece.first, piece.first, inside, walk.points);
            out += inside_length;
            if (piece.last == walk.points) {
                write_value_lines(out, row, nx, walk.points, walk.points);
                out += closing_length;
            }
        }
    });
}

void emit_xsf(const WholeCell& cell, std::string_view title, int threads, OutputSink& sink)
{
    check_value_count(cell);
    sink.append(structure_text(cell, title));
    sink.append(grid_header_text(cell));
    emit_values(cell, threads, sink);
    sink.append("END_DATAGRID_3D\nEND_BLOCK_DATAGRID_3D\n");
}

}  // namespace

void emit_xsf_grid(const WholeCell& cell, std::string_view title, OutputSink& sink)
{
    emit_xsf(cell, title, 1, sink);
}

void write_xsf_grid(const WholeCellConversion& conversion, OutputSink& sink)
{
    emit_xsf(conversion.whole_cell, map_title(conversion.map.header), conversion.threads,
             sink);
}

}  // namespace grix
