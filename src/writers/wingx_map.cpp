#include "writers/wingx_map.hpp"

#include "common/byte_order.hpp"
#include "writers/output_file.hpp"

#include <algorithm>

namespace {

// Densities are handed to the file in pieces of about this size.
constexpr std::size_t CHUNK_BYTES = 1 << 20;

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
// order in which the section is held.
void write_densities(OutputFile& file, const MapHeader& header, const MapSections& sections)
{
    const int across = header.nxyzt[0];
    std::string bytes;
    for (int k = 0; k < header.nxyzt[2]; ++k) {
        const float* values = sections[static_cast<std::size_t>(k)].values.data();
        for (int i = 0; i < across; ++i) {
            for (int j = 0; j < header.nxyzt[1]; ++j)
                append_float32(bytes, values[i + static_cast<std::ptrdiff_t>(j) * across]);
            if (bytes.size() >= CHUNK_BYTES) {
                write_output(file, bytes);
                bytes.clear();
            }
        }
    }
    write_output(file, bytes);
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
                     Console& console)
{
    OutputFile file = open_output_file(console, batch, expnam, ".map", OutputMode::binary);
    write_output(file, encode_header(structure, header));
    write_densities(file, header, sections);
    write_output(file, encode_atoms(structure));
    close_output_file(file);
}
