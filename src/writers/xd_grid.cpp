#include "writers/xd_grid.hpp"

#include "common/printf_text.hpp"
#include "common/text.hpp"
#include "writers/resampling.hpp"

#include <algorithm>

namespace grix {
namespace {

// Densities per line of the values section.
constexpr std::int64_t VALUES_PER_LINE = 6;

// The densities of points [first, first + count) of a row, each "%13.4E" and preceded
// by a line end when it starts a line of six.
void append_values(std::string& text, const float* densities, std::int64_t first,
                   std::int64_t count)
{
    char fields[RESAMPLED_BATCH * (MAX_FLOAT_CHARS + 1)];
    char* last = fields;
    for (std::int64_t n = 0; n < count;) {
        const std::int64_t place = (first + n) % VALUES_PER_LINE;
        if (place == 0)
            *last++ = '\n';
        const std::int64_t line = std::min(count - n, VALUES_PER_LINE - place);
        last = write_scientific_floats(last, densities + n, static_cast<std::size_t>(line), 13,
                                       4);
        n += line;
    }
    text.append(fields, last);
}

void append_header(std::string& text, const CartesianGrid& grid)
{
    const CartesianBox& box = grid.box;
    const GridCounts& counts = grid.counts;
    text += "3DGRDFIL  0\n";
    text += "         ESP\n\n";
    text += "! Gridpoints, Origin, Physical Dimensions\n";
    text += printf_text("%15d%15d%15d\n", counts.nx, counts.ny, counts.nz);
    text += printf_text("%15.5E%15.5E%15.5E\n", static_cast<double>(box.xmin),
                   static_cast<double>(box.ymin), static_cast<double>(box.zmin));
    // The extents are max - min, not the span of the sampled points.
    text += printf_text("%11.4f    %11.4f    %11.4f    \n",
                   static_cast<double>(box.xmax) - box.xmin,
                   static_cast<double>(box.ymax) - box.ymin,
                   static_cast<double>(box.zmax) - box.zmin);
}

// Atoms at their Cartesian positions. The label is written as stored with no separator
// of its own, so it touches a coordinate that fills the whole field.
void append_atoms(std::string& text, const Phase& phase, const Cell& cell)
{
    text += "! Objects\n";
    text += printf_text("%10d\n", phase.atom_count);
    for (const Atom& atom : phase.atoms) {
        const CartesianPoint position =
            to_cartesian(cell, FractionalPoint{atom.x, atom.y, atom.z});
        text += printf_text("%s%8.5f  %8.5f  %8.5f ATOM\n", atom.label.c_str(),
                            static_cast<double>(position[0]), static_cast<double>(position[1]),
                            static_cast<double>(position[2]));
    }
    text += "! Connections\n";
    text += printf_text("%10d\n", 0);
}

void append_value_piece(const DensityGrid& map, const GridWalk& walk, const WalkPiece& piece,
                        std::string& text)
{
    WalkPiece at = piece;
    for (std::int64_t r = 0; r < piece.rows; ++r) {
        CartesianPoint point{at.coordinate[0], at.coordinate[1], at.coordinate[2]};
        for (std::int64_t n = at.first; n < piece.last; n += RESAMPLED_BATCH) {
            float densities[RESAMPLED_BATCH];
            const std::int64_t count = std::min(RESAMPLED_BATCH, piece.last - n);
            interpolate_row(map, point, 0, walk.step[0], count, densities);
            append_values(text, densities, n, count);
        }
        next_row(walk, at);
    }
}

// Z slowest, then Y, X fastest. Each row of constant Y and Z starts on a new line; the
// line end comes before a value, so the first one closes "! Values" and none follows
// the last value.
void write_values(OutputSink& sink, const ResampledConversion& conversion)
{
    const CartesianGrid& grid = conversion.grid;
    sink.append("! Values");
    // Rows without points write nothing, however many rows and planes there are.
    if (grid.counts.nx <= 0)
        return;
    const DensityGrid map = prepare_density_grid(conversion.cell, conversion.map);
    // Points along X, rows along Y, planes along Z.
    const GridWalk walk = walk_cartesian_grid(grid, 0, 1);
    write_grid_walk(sink, walk, conversion.threads,
                    [&](const WalkPiece& piece, std::string& text) {
                        append_value_piece(map, walk, piece, text);
                    });
}

}  // namespace

void write_xd_grid(const ResampledConversion& conversion, OutputSink& sink)
{
    std::string text;
    append_header(text, conversion.grid);
    append_atoms(text, conversion.phase, conversion.cell);
    sink.append(text);
    write_values(sink, conversion);
}

}  // namespace grix
