#include "writers/ascii_dump.hpp"

#include "common/printf_text.hpp"
#include "common/text.hpp"
#include "writers/grid_walk.hpp"

#include <algorithm>

namespace grix {
namespace {

// Values of a row formatted at a time on the shipped path.
constexpr std::int64_t VALUE_BATCH = 256;

// The grid-step lines: the section direction's, the across direction's and the down
// direction's, each with its fractional axis and the step along it.
constexpr int STEP_DIRECTION[3] = {2, 0, 1};
constexpr const char* STEP_LINES[3] = {
    "Sections increase up %c in steps of %f Angstroms.\n",
    "%c increasing left to right in %f Angstrom steps.\n",
    "%c increasing top to bottom in %f Angstrom steps.\n",
};

// The cell, the atoms and the grid, everything before the first section.
std::string describe_map(const Phase& phase, const MapGeometry& geometry)
{
    const CellParameters& cell = phase.cell;
    const double edges[3] = {cell.a, cell.b, cell.c};
    std::string text = printf_text("Unit cell: %f %f %f %f %f %f\n", edges[0], edges[1],
                                   edges[2], double{cell.alpha}, double{cell.beta},
                                   double{cell.gamma});
    text += printf_text("Number of atoms: %d\n", phase.atom_count);
    for (const Atom& atom : phase.atoms)
        text += printf_text("%s %f %f %f %f\n", atom.label.c_str(), double{atom.x},
                            double{atom.y}, double{atom.z}, double{atom.occupancy});
    text += printf_text("Number of sections: %d\n", geometry.points[2]);
    text += printf_text("Each section: %d grid points across by %d grid points down.\n",
                   geometry.points[0], geometry.points[1]);
    if (!geometry.knows_axes())
        return text + "Unknown section direction.\n";
    for (std::size_t n = 0; n < 3; ++n) {
        const auto direction = static_cast<std::size_t>(STEP_DIRECTION[n]);
        const auto axis = static_cast<std::size_t>(geometry.axis[direction]);
        text += printf_text(STEP_LINES[n], "xyz"[axis],
                            edges[axis] / geometry.divisions[direction]);
    }
    return text;
}

// Values of one row, each "%*.*f ": `precision` decimals in a field of `precision` + 6,
// one blank after.
void append_densities(std::string& text, const float* values, std::int64_t count,
                      int precision)
{
    char fields[VALUE_BATCH * (MAX_FLOAT_CHARS + 1)];
    for (std::int64_t n = 0; n < count; n += VALUE_BATCH) {
        const auto batch = static_cast<std::size_t>(std::min(VALUE_BATCH, count - n));
        text.append(fields, write_fixed_floats(fields, values + n, batch, precision + 6,
                                               precision, ' '));
    }
}

// The sections as the map holds them: a walk with points across, rows down and planes
// the sections; each section opens with its heading, each row ends with a line end.
void append_section_piece(const FourierMap& map, const GridWalk& walk, int precision,
                          const WalkPiece& piece, std::string& text)
{
    WalkPiece at = piece;
    for (std::int64_t r = 0; r < piece.rows; ++r) {
        if (at.row == 0 && at.first == 0)
            text += printf_text("\nSection %d\n", static_cast<int>(at.plane));
        const float* row = map.section(static_cast<std::size_t>(at.plane)) + at.row * walk.points;
        append_densities(text, row + at.first, piece.last - at.first, precision);
        if (piece.last == walk.points)
            text += '\n';
        next_row(walk, at);
    }
}

void write_sections(OutputSink& sink, const FourierMap& map, int precision, int threads)
{
    GridWalk walk;
    walk.points = map.geometry.points[0];
    walk.rows = map.geometry.points[1];
    walk.planes = map.geometry.points[2];
    write_grid_walk(sink, walk, threads, [&](const WalkPiece& piece, std::string& text) {
        append_section_piece(map, walk, precision, piece, text);
    });
}

}  // namespace

void write_ascii_dump(const Conversion& conversion, OutputSink& sink)
{
    sink.append(describe_map(conversion.phase, conversion.map.geometry));
    write_sections(sink, conversion.map, conversion.precision, conversion.threads);
}

}  // namespace grix
