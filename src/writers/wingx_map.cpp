#include "writers/wingx_map.hpp"

#include "common/byte_order.hpp"
#include "writers/grid_walk.hpp"

#include <algorithm>
#include <bit>

namespace {

// Bytes of an atom's name field: the first 7 label characters and a zero.
constexpr std::size_t WINGX_LABEL_BYTES = 7;

// The 76-byte header: grid, reciprocal grid steps, cell, origin, section direction and
// the density range (the smallest before the largest).
std::string encode_header(const StructureInfo& structure, const MapHeader& header)
{
    std::string bytes;
    for (int d = 0; d < 3; ++d)
        append_int32(bytes, header.nxyzt[d]);
    for (int d = 0; d < 3; ++d)
        append_float32(bytes, static_cast<float>(1.0 / header.nxyzi[d]));
    for (float value : {structure.a, structure.b, structure.c, structure.alpha, structure.beta,
                        structure.gamma})
        append_float32(bytes, value);
    for (int d = 0; d < 3; ++d)
        append_int32(bytes, header.nxyzo[d]);
    append_int32(bytes, header.msect);
    append_int32(bytes, 1);
    append_float32(bytes, header.rmin);
    append_float32(bytes, header.rmax);
    return bytes;
}

// Each section column by column: the down index runs fastest, the transpose of the
// order in which the section is held. The plain path writes each value on its own.
void write_densities_plainly(OutputFile& file, const MapHeader& header,
                             const MapSections& sections)
{
    const int across = header.nxyzt[0];
    std::string bytes;
    for (int k = 0; k < header.nxyzt[2]; ++k) {
        const float* values = sections[static_cast<std::size_t>(k)].values.data();
        for (int i = 0; i < across; ++i) {
            for (int j = 0; j < header.nxyzt[1]; ++j) {
                bytes.clear();
                append_float32(bytes, values[i + static_cast<std::ptrdiff_t>(j) * across]);
                write_output(file, bytes);
            }
        }
    }
}

// Columns transposed together on the shipped path: each row of a section is read in
// runs of this many neighbouring values, rather than one value per row per column.
constexpr std::int64_t COLUMN_BLOCK = 16;

// The same order as a walk with points down, rows across and planes the sections,
// little-endian bytes built without relying on the host's byte order.
void write_densities(OutputFile& file, const MapHeader& header, const MapSections& sections,
                     int threads)
{
    GridWalk walk;
    walk.points = header.nxyzt[1];
    walk.rows = header.nxyzt[0];
    walk.planes = header.nxyzt[2];
    const std::ptrdiff_t across = header.nxyzt[0];
    write_grid_walk(file, walk, threads, [&](const WalkPiece& piece, std::string& bytes) {
        const std::int64_t length = piece.last - piece.first;  // values per column
        bytes.resize(static_cast<std::size_t>(4 * length * piece.rows));
        auto* out = reinterpret_cast<unsigned char*>(bytes.data());
        WalkPiece at = piece;
        for (std::int64_t done = 0; done < piece.rows;) {
            // Neighbouring columns of one section: a piece may run into the next.
            const std::int64_t columns =
                std::min({COLUMN_BLOCK, piece.rows - done, walk.rows - at.row});
            const float* values =
                sections[static_cast<std::size_t>(at.plane)].values.data() + at.row;
            for (std::int64_t j = 0; j < length; ++j) {
                const float* run = values + (piece.first + j) * across;
                for (std::int64_t c = 0; c < columns; ++c)
                    put_le32(out + 4 * ((done + c) * length + j),
                             std::bit_cast<std::uint32_t>(run[c]));
            }
            done += columns;
            for (std::int64_t c = 0; c < columns; ++c)
                next_row(walk, at);
        }
    });
}

// The atom count, then per atom 7 label bytes as stored, a zero byte and x, y, z.
std::string encode_atoms(const StructureInfo& structure)
{
    std::string bytes;
    append_int32(bytes, structure.natoms);
    for (int i = 0; i < std::min(structure.natoms, MAXATOMS); ++i) {
        bytes.append(structure.atom_label[i], WINGX_LABEL_BYTES);
        bytes.push_back('\0');
        append_float32(bytes, structure.x[i]);
        append_float32(bytes, structure.y[i]);
        append_float32(bytes, structure.z[i]);
    }
    return bytes;
}

}  // namespace

void write_wingx_map(const StructureInfo& structure, const MapHeader& header,
                     const MapSections& sections, int batch, const std::string& expnam,
                     Console& console, const WriteOptions& options)
{
    OutputFile file = open_output_file(console, batch, expnam, ".map", OutputMode::binary);
    write_output(file, encode_header(structure, header));
    // A grid without points across or down holds no densities, however many sections
    // or columns it claims.
    if (header.nxyzt[0] > 0 && header.nxyzt[1] > 0) {
        if (options.path == WritePath::plain)
            write_densities_plainly(file, header, sections);
        else
            write_densities(file, header, sections, options.threads);
    }
    write_output(file, encode_atoms(structure));
    close_output_file(file);
}

void write_wingx_map(const StructureInfo& structure, const MapHeader& header,
                     const MapSections& sections, int batch, const std::string& expnam,
                     Console& console)
{
    write_wingx_map(structure, header, sections, batch, expnam, console, WriteOptions{});
}
