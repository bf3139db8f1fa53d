#include "writers/xd_grid.hpp"

#include "common/text.hpp"
#include "geometry/cell.hpp"
#include "geometry/grid.hpp"
#include "writers/grid_walk.hpp"
#include "writers/resampling.hpp"

#include <algorithm>
#include <cstdio>

namespace {

// Densities per line of the values section.
constexpr std::int64_t VALUES_PER_LINE = 6;

// One density: "%13.4E", 13 characters for every finite float.
void append_value(std::string& text, double value)
{
    char field[32];
    const int length = std::snprintf(field, sizeof field, "%13.4E", value);
    text.append(field, static_cast<std::size_t>(length));
}

// The densities of points [first, first + count) of a row, each preceded by a line end
// when it starts a line of six: printf on the plain path, exact to_chars-equivalent
// formatting without printf on the shipped one.
template <WritePath PATH>
void append_values(std::string& text, const float* densities, std::int64_t first,
                   std::int64_t count)
{
    if constexpr (PATH == WritePath::plain) {
        for (std::int64_t n = 0; n < count; ++n) {
            if ((first + n) % VALUES_PER_LINE == 0)
                text += '\n';
            append_value(text, densities[n]);
        }
    } else {
        char fields[RESAMPLED_BATCH * (MAX_FLOAT_CHARS + 1)];
        char* last = fields;
        for (std::int64_t n = 0; n < count;) {
            const std::int64_t place = (first + n) % VALUES_PER_LINE;
            if (place == 0)
                *last++ = '\n';
            const std::int64_t line = std::min(count - n, VALUES_PER_LINE - place);
            last = write_scientific_floats(last, densities + n, static_cast<std::size_t>(line),
                                           13, 4);
            n += line;
        }
        text.append(fields, last);
    }
}

void append_header(std::string& text, const CartesianBox& box, const GridCounts& counts)
{
    text += "3DGRDFIL  0\n";
    text += "         ESP\n\n";
    text += "! Gridpoints, Origin, Physical Dimensions\n";
    text += format("%15d%15d%15d\n", counts.nx, counts.ny, counts.nz);
    text += format("%15.5E%15.5E%15.5E\n", static_cast<double>(box.xmin),
                   static_cast<double>(box.ymin), static_cast<double>(box.zmin));
    // The extents are max - min, not the span of the sampled points.
    text += format("%11.4f    %11.4f    %11.4f    \n",
                   static_cast<double>(box.xmax) - box.xmin,
                   static_cast<double>(box.ymax) - box.ymin,
                   static_cast<double>(box.zmax) - box.zmin);
}

// Atoms at their Cartesian positions. The label is written as stored with no separator
// of its own, so it touches a coordinate that fills the whole field.
void append_atoms(std::string& text, const StructureInfo& structure)
{
    text += "! Objects\n";
    text += format("%10d\n", structure.natoms);
    for (int i = 0; i < std::min(structure.natoms, MAXATOMS); ++i) {
        const Point3 position = apply_transform(
            structure.frac_to_cart, {structure.x[i], structure.y[i], structure.z[i]});
        // The precision keeps the read within the slot; the text ends at its zero byte.
        const int slot = sizeof structure.atom_label[i];
        text += format("%.*s%8.5f  %8.5f  %8.5f ATOM\n", slot, structure.atom_label[i],
                       static_cast<double>(position[0]), static_cast<double>(position[1]),
                       static_cast<double>(position[2]));
    }
    text += "! Connections\n";
    text += format("%10d\n", 0);
}

template <WritePath PATH>
void append_value_piece(const Resampling& map, const GridWalk& walk, const WalkPiece& piece,
                        std::string& text)
{
    WalkPiece at = piece;
    for (std::int64_t r = 0; r < piece.rows; ++r) {
        Point3 point{at.coordinate[0], at.coordinate[1], at.coordinate[2]};
        for (std::int64_t n = at.first; n < piece.last; n += RESAMPLED_BATCH) {
            float densities[RESAMPLED_BATCH];
            const std::int64_t count = std::min(RESAMPLED_BATCH, piece.last - n);
            point[0] = resample_row(map, PATH, point, 0, walk.step[0], count, densities);
            append_values<PATH>(text, densities, n, count);
        }
        next_row(walk, at);
    }
}

// Z slowest, then Y, X fastest. Each row of constant Y and Z starts on a new line; the
// line end comes before a value, so the first one closes "! Values" and none follows
// the last value.
void write_values(OutputFile& file, const StructureInfo& structure, const MapHeader& header,
                  const MapSections& sections, const CartesianBox& box,
                  const GridCounts& counts, const WriteOptions& options)
{
    write_output(file, "! Values");
    // Rows without points write nothing, however many rows and planes there are.
    if (counts.nx <= 0)
        return;
    const Resampling map = prepare_resampling(structure, header, sections);
    // Points along X, rows along Y, planes along Z.
    const GridWalk walk = walk_cartesian_grid(box, counts, 0, 1);
    write_walk_by_path(file, walk, options, [&](auto path, const WalkPiece& piece,
                                                std::string& text) {
        append_value_piece<decltype(path)::value>(map, walk, piece, text);
    });
}

}  // namespace

void write_xd_grid(StructureInfo& structure, const MapHeader& header,
                   const MapSections& sections, int batch, const std::string& expnam,
                   Console& console, const WriteOptions& options)
{
    OutputFile file = open_output_file(console, batch, expnam, ".grd", OutputMode::text);
    orthogonalise_cell(structure);
    const CartesianBox box = cartesian_box(structure, header);
    const GridCounts counts = count_grid_points(box);

    std::string text;
    append_header(text, box, counts);
    append_atoms(text, structure);
    write_output(file, text);
    write_values(file, structure, header, sections, box, counts, options);
    close_output_file(file);
}

void write_xd_grid(StructureInfo& structure, const MapHeader& header,
                   const MapSections& sections, int batch, const std::string& expnam,
                   Console& console)
{
    write_xd_grid(structure, header, sections, batch, expnam, console, WriteOptions{});
}
