#include "writers/xsf_grid.hpp"

#include "common/text.hpp"
#include "writers/whole_cell_text.hpp"

#include <algorithm>
#include <array>
#include <cstddef>
#include <string>
#include <vector>

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
        append_vector(text, cell_edge(cell, axis));
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
        append_vector(text, to_cartesian(cell, atom.fractional));
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
// (point n = points) repeat the values of point 0 along every axis.
void emit_values(const WholeCell& cell, TextPieces& pieces)
{
    const auto [nx, ny, nz] = cell.points;
    std::vector<float> row(static_cast<std::size_t>(nx) + 1);
    for (int iz = 0; iz <= nz; ++iz) {
        for (int iy = 0; iy <= ny; ++iy) {
            const std::size_t first = static_cast<std::size_t>(nx) *
                                      (static_cast<std::size_t>(iy % ny) +
                                       static_cast<std::size_t>(ny) * (iz % nz));
            std::copy_n(cell.values.begin() + static_cast<std::ptrdiff_t>(first), nx,
                        row.begin());
            row.back() = row.front();
            for (std::size_t n = 0; n < row.size(); n += VALUES_PER_LINE)
                append_value_line(pieces, row.data() + n, row.size() - n);
        }
    }
}

}  // namespace

void emit_xsf_grid(const WholeCell& cell, std::string_view title,
                   const std::function<void(std::string_view)>& sink)
{
    check_value_count(cell);
    TextPieces pieces(sink);
    pieces.append(structure_text(cell, title));
    pieces.append(grid_header_text(cell));
    emit_values(cell, pieces);
    pieces.append("END_DATAGRID_3D\nEND_BLOCK_DATAGRID_3D\n");
    pieces.flush();
}

void write_xsf_grid(const Conversion& conversion, OutputFile& file)
{
    emit_xsf_grid(*conversion.whole_cell, map_title(conversion.map.header),
                  [&](std::string_view text) { write_output(file, text); });
}

}  // namespace grix
