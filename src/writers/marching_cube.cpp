#include "writers/marching_cube.hpp"

#include "geometry/cell.hpp"
#include "geometry/grid.hpp"
#include "writers/output_file.hpp"

#include <algorithm>
#include <cinttypes>
#include <cstdio>

namespace {

// Text is gathered in memory and handed to the file in chunks of about this size.
constexpr std::size_t CHUNK_BYTES = 1 << 20;

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

void hand_over_when_full(OutputFile& file, std::string& text)
{
    if (text.size() >= CHUNK_BYTES) {
        write_output(file, text);
        text.clear();
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

// One block per Z plane; within it X slowest and Y fastest. The running coordinates are
// float sums of the steps, never min + index * step: the drift is part of the file.
void append_density_blocks(OutputFile& file, std::string& text,
                           const StructureInfo& structure, const MapHeader& header,
                           const MapSections& sections, const CartesianBox& box,
                           const GridCounts& counts)
{
    float z = box.zmin;
    for (std::int32_t iz = 0; iz < counts.nz; ++iz) {
        text += "BLOCK \n";
        append_count_line(text, std::int64_t{counts.nx} * counts.ny);
        float x = box.xmin;
        for (std::int32_t ix = 0; ix < counts.nx; ++ix) {
            float y = box.ymin;
            for (std::int32_t iy = 0; iy < counts.ny; ++iy) {
                append_value_line(text, interpolate_density(structure, header, sections,
                                                            {x, y, z}));
                y += box.ystep;
            }
            hand_over_when_full(file, text);
            x += box.xstep;
        }
        z += box.zstep;
    }
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
                         Console& console)
{
    OutputFile file = open_output_file(console, batch, expnam, ".fou", OutputMode::text);
    orthogonalise_cell(structure);
    const CartesianBox box = cartesian_box(structure, header);
    const GridCounts counts = count_grid_points(box);

    std::string text;
    text.reserve(CHUNK_BYTES + 4096);
    append_header(text, structure, box, counts);
    append_density_blocks(file, text, structure, header, sections, box, counts);
    append_atoms(text, structure);
    write_output(file, text);
    close_output_file(file);
}
