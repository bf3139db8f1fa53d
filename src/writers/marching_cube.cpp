#include "writers/marching_cube.hpp"

#include "common/text.hpp"
#include "geometry/cell.hpp"
#include "geometry/grid.hpp"
#include "writers/grid_walk.hpp"
#include "writers/resampling.hpp"

#include <algorithm>
#include <cinttypes>
#include <cstdio>

namespace {

// Number of entries per atom in the LIST5 section: the type text and 13 numbers.
constexpr int ATOM_ENTRIES = 14;

// One density or atom number: "%15.8f\n". A float needs at most 50 characters here.
void append_value_line(std::string& text, double value)
{
    char line[64];
    const int length = std::snprintf(line, sizeof line, "%15.8f\n", value);
    text.append(line, static_cast<std::size_t>(length));
}

// Header numbers carry a blank before the line end, the densities do not.
void append_number_line(std::string& text, double value)
{
    text += format("%15.8f \n", value);
}

void append_count_line(std::string& text, std::int64_t count)
{
    text += format("%8" PRId64 " \n", count);
}

// Density lines of one batch: printf on the plain path, exact to_chars-equivalent
// formatting without printf on the shipped one.
template <WritePath PATH>
void append_density_lines(std::string& text, const float* densities, std::int64_t count)
{
    if constexpr (PATH == WritePath::plain) {
        for (std::int64_t n = 0; n < count; ++n)
            append_value_line(text, densities[n]);
    } else {
        char lines[RESAMPLED_BATCH * (MAX_FLOAT_CHARS + 1)];
        text.append(lines, write_fixed_floats(lines, densities, static_cast<std::size_t>(count),
                                              15, 8, '\n'));
    }
}

void append_header(std::string& text, const StructureInfo& structure,
                   const CartesianBox& box, const GridCounts& counts)
{
    text += "INFO  DOWN, ACROSS AND SECTION \n";
    text += "TRAN \n";
    for (const float element : structure.frac_to_cart.matrix)
        append_number_line(text, element);
    for (const float component : structure.frac_to_cart.translation)
        append_number_line(text, component);
    text += "CELL \n";
    for (const float edge : {structure.a, structure.b, structure.c})
        append_number_line(text, edge);
    // Radians straight from the double product, not rounded to float.
    for (const float angle : {structure.alpha, structure.beta, structure.gamma})
        append_number_line(text, static_cast<double>(angle) * DEG_TO_RAD);
    text += "L14 \n";
    for (const float value : {box.xmin, box.xstep, box.xmax, 1.0f, box.ymin, box.ystep,
                              box.ymax, 1.0f, box.zmin, box.zstep, box.zmax, 1.0f})
        append_number_line(text, value);
    text += "SIZE \n";
    for (const std::int32_t count : {counts.nx, counts.ny, counts.nz})
        append_count_line(text, count);
}

template <WritePath PATH>
void append_block_piece(const Resampling& map, const GridWalk& walk, const WalkPiece& piece,
                        std::string& text)
{
    WalkPiece at = piece;
    for (std::int64_t r = 0; r < piece.rows; ++r) {
        if (at.row == 0 && at.first == 0) {
            text += "BLOCK \n";
            append_count_line(text, walk.points * walk.rows);
        }
        Point3 point{at.coordinate[1], at.coordinate[0], at.coordinate[2]};
        for (std::int64_t n = at.first; n < piece.last; n += RESAMPLED_BATCH) {
            float densities[RESAMPLED_BATCH];
            const std::int64_t count = std::min(RESAMPLED_BATCH, piece.last - n);
            point[1] = resample_row(map, PATH, point, 1, walk.step[0], count, densities);
            append_density_lines<PATH>(text, densities, count);
        }
        next_row(walk, at);
    }
}

// One block per Z plane. The running coordinates are float sums of the steps, never
// min + index * step: the drift is part of the file.
void write_density_blocks(OutputFile& file, const StructureInfo& structure,
                          const MapHeader& header, const MapSections& sections,
                          const CartesianBox& box, const GridCounts& counts,
                          const WriteOptions& options)
{
    if (counts.nx <= 0 || counts.ny <= 0) {
        // Planes without points: every block is its two header lines.
        std::string text;
        for (std::int32_t iz = 0; iz < counts.nz; ++iz) {
            text += "BLOCK \n";
            append_count_line(text, 0);
            write_when_full(file, text);
        }
        write_output(file, text);
        return;
    }
    const Resampling map = prepare_resampling(structure, header, sections);
    // Points along Y, rows along X, planes along Z: one block per Z plane, X slowest
    // and Y fastest within it.
    const GridWalk walk = walk_cartesian_grid(box, counts, 1, 0);
    write_walk_by_path(file, walk, options, [&](auto path, const WalkPiece& piece,
                                                std::string& text) {
        append_block_piece<decltype(path)::value>(map, walk, piece, text);
    });
}

void append_atoms(std::string& text, const StructureInfo& structure)
{
    text += "LIST5 \n";
    append_count_line(text, structure.natoms);
    append_count_line(text, ATOM_ENTRIES);
    for (int i = 0; i < std::min(structure.natoms, MAXATOMS); ++i) {
        // The precision keeps the read within the slot; the text ends at its zero byte.
        const int slot = sizeof structure.atom_type[i];
        text += format("%.*s \n", slot, structure.atom_type[i]);
        for (const float value : {1.0f, structure.occupancy[i], 0.0f, structure.x[i],
                                  structure.y[i], structure.z[i], 0.0f, 0.0f, 0.0f, 0.0f,
                                  0.0f, 0.0f, 0.0f})
            append_value_line(text, value);
    }
}

}  // namespace

void write_marching_cube(StructureInfo& structure, const MapHeader& header,
                         const MapSections& sections, int batch, const std::string& expnam,
                         Console& console, const WriteOptions& options)
{
    OutputFile file = open_output_file(console, batch, expnam, ".fou", OutputMode::text);
    orthogonalise_cell(structure);
    const CartesianBox box = cartesian_box(structure, header);
    const GridCounts counts = count_grid_points(box);

    std::string text;
    append_header(text, structure, box, counts);
    write_output(file, text);
    write_density_blocks(file, structure, header, sections, box, counts, options);
    text.clear();
    append_atoms(text, structure);
    write_output(file, text);
    close_output_file(file);
}

void write_marching_cube(StructureInfo& structure, const MapHeader& header,
                         const MapSections& sections, int batch, const std::string& expnam,
                         Console& console)
{
    write_marching_cube(structure, header, sections, batch, expnam, console, WriteOptions{});
}
