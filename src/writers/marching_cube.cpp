#include "writers/marching_cube.hpp"

#include "common/printf_text.hpp"
#include "common/text.hpp"
#include "writers/resampling.hpp"

#include <algorithm>
#include <cinttypes>

namespace grix {
namespace {

// Number of entries per atom in the LIST5 section: the type text and 13 numbers.
constexpr int ATOM_ENTRIES = 14;

// One atom number: "%15.8f\n".
void append_value_line(std::string& text, double value)
{
    text += printf_text("%15.8f\n", value);
}

// Header numbers carry a blank before the line end, the densities do not.
void append_number_line(std::string& text, double value)
{
    text += printf_text("%15.8f \n", value);
}

void append_count_line(std::string& text, std::int64_t count)
{
    text += printf_text("%8" PRId64 " \n", count);
}

void append_header(std::string& text, const Cell& cell, const CartesianGrid& grid)
{
    const CartesianBox& box = grid.box;
    const GridCounts& counts = grid.counts;
    text += "INFO  DOWN, ACROSS AND SECTION \n";
    text += "TRAN \n";
    for (const float element : cell.frac_to_cart.matrix)
        append_number_line(text, element);
    for (const float component : cell.frac_to_cart.translation)
        append_number_line(text, component);
    text += "CELL \n";
    const CellParameters& parameters = cell.parameters;
    for (const float edge : {parameters.a, parameters.b, parameters.c})
        append_number_line(text, edge);
    // Radians straight from the double product, not rounded to float.
    for (const float angle : {parameters.alpha, parameters.beta, parameters.gamma})
        append_number_line(text, static_cast<double>(angle) * DEG_TO_RAD);
    text += "L14 \n";
    for (const float value : {box.xmin, box.xstep, box.xmax, 1.0f, box.ymin, box.ystep,
                              box.ymax, 1.0f, box.zmin, box.zstep, box.zmax, 1.0f})
        append_number_line(text, value);
    text += "SIZE \n";
    for (const std::int32_t count : {counts.nx, counts.ny, counts.nz})
        append_count_line(text, count);
}

void append_block_piece(const DensityGrid& map, const GridWalk& walk, const WalkPiece& piece,
                        std::string& text)
{
    WalkPiece at = piece;
    for (std::int64_t r = 0; r < piece.rows; ++r) {
        if (at.row == 0 && at.first == 0) {
            text += "BLOCK \n";
            append_count_line(text, walk.points * walk.rows);
        }
        CartesianPoint point{at.coordinate[1], at.coordinate[0], at.coordinate[2]};
        for (std::int64_t n = at.first; n < piece.last; n += RESAMPLED_BATCH) {
            float densities[RESAMPLED_BATCH];
            const std::int64_t count = std::min(RESAMPLED_BATCH, piece.last - n);
            interpolate_row(map, point, 1, walk.step[0], count, densities);
            // Each density "%15.8f\n".
            char lines[RESAMPLED_BATCH * (MAX_FLOAT_CHARS + 1)];
            text.append(lines, write_fixed_floats(lines, densities,
                                                  static_cast<std::size_t>(count), 15, 8, '\n'));
        }
        next_row(walk, at);
    }
}

// One block per Z plane. The running coordinates are float sums of the steps, never
// min + index * step: the drift is part of the file.
void write_density_blocks(OutputSink& sink, const ResampledConversion& conversion)
{
    const CartesianGrid& grid = conversion.grid;
    const GridCounts& counts = grid.counts;
    if (counts.nx <= 0 || counts.ny <= 0) {
        // Planes without points: every block is its two header lines.
        std::string text;
        for (std::int32_t iz = 0; iz < counts.nz; ++iz) {
            text = "BLOCK \n";
            append_count_line(text, 0);
            sink.append(text);
        }
        return;
    }
    const DensityGrid map = prepare_density_grid(conversion.cell, conversion.map);
    // Points along Y, rows along X, planes along Z: one block per Z plane, X slowest
    // and Y fastest within it.
    const GridWalk walk = walk_cartesian_grid(grid, 1, 0);
    write_grid_walk(sink, walk, conversion.threads,
                    [&](const WalkPiece& piece, std::string& text) {
                        append_block_piece(map, walk, piece, text);
                    });
}

void append_atoms(std::string& text, const Phase& phase)
{
    text += "LIST5 \n";
    append_count_line(text, phase.atom_count);
    append_count_line(text, ATOM_ENTRIES);
    for (const Atom& atom : phase.atoms) {
        text += atom.type + " \n";
        for (const float value : {1.0f, atom.occupancy, 0.0f, atom.x, atom.y, atom.z, 0.0f,
                                  0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f})
            append_value_line(text, value);
    }
}

}  // namespace

void write_marching_cube(const ResampledConversion& conversion, OutputSink& sink)
{
    std::string text;
    append_header(text, conversion.cell, conversion.grid);
    sink.append(text);
    write_density_blocks(sink, conversion);
    text.clear();
    append_atoms(text, conversion.phase);
    sink.append(text);
}

}  // namespace grix
