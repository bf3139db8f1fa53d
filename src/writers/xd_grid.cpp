#include "writers/xd_grid.hpp"

#include "geometry/cell.hpp"
#include "geometry/grid.hpp"
#include "writers/output_file.hpp"

#include <algorithm>
#include <cstdio>

namespace {

// Text is gathered in memory and handed to the file in chunks of about this size.
constexpr std::size_t CHUNK_BYTES = 1 << 20;

// Densities per line of the values section.
constexpr std::int32_t VALUES_PER_LINE = 6;

// One density: "%13.4E", 13 characters for every finite float.
void append_value(std::string& text, double value)
{
    char field[32];
    const int length = std::snprintf(field, sizeof field, "%13.4E", value);
    text.append(field, static_cast<std::size_t>(length));
}

void hand_over_when_full(OutputFile& file, std::string& text)
{
    if (text.size() >= CHUNK_BYTES) {
        write_output(file, text);
        text.clear();
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

// Z slowest, then Y, X fastest. Each row of constant Y and Z starts on a new line; the
// line end comes before a value, so the first one closes "! Values" and none follows
// the last value. The running coordinates are float sums of the steps, never
// min + index * step: the drift is part of the file.
void append_values(OutputFile& file, std::string& text, const StructureInfo& structure,
                   const MapHeader& header, const MapSections& sections,
                   const CartesianBox& box, const GridCounts& counts)
{
    text += "! Values";
    float z = box.zmin;
    for (std::int32_t iz = 0; iz < counts.nz; ++iz) {
        float y = box.ymin;
        for (std::int32_t iy = 0; iy < counts.ny; ++iy) {
            float x = box.xmin;
            for (std::int32_t i = 0; i < counts.nx; ++i) {
                if (i % VALUES_PER_LINE == 0)
                    text += '\n';
                append_value(text,
                             interpolate_density(structure, header, sections, {x, y, z}));
                x += box.xstep;
            }
            hand_over_when_full(file, text);
            y += box.ystep;
        }
        z += box.zstep;
    }
}

}  // namespace

void write_xd_grid(StructureInfo& structure, const MapHeader& header,
                   const MapSections& sections, int batch, const std::string& expnam,
                   Console& console)
{
    OutputFile file = open_output_file(console, batch, expnam, ".grd", OutputMode::text);
    orthogonalise_cell(structure);
    const CartesianBox box = cartesian_box(structure, header);
    const GridCounts counts = count_grid_points(box);

    std::string text;
    text.reserve(CHUNK_BYTES + 4096);
    append_header(text, box, counts);
    append_atoms(text, structure);
    append_values(file, text, structure, header, sections, box, counts);
    write_output(file, text);
    close_output_file(file);
}
