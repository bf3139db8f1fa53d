#include "writers/writer_fixture.hpp"

#include <bit>
#include <cstring>

std::unique_ptr<StructureInfo> make_structure(const std::array<float, 6>& cell,
                                              std::initializer_list<TestAtom> atoms)
{
    auto structure = std::make_unique<StructureInfo>();
    structure->a = cell[0];
    structure->b = cell[1];
    structure->c = cell[2];
    structure->alpha = cell[3];
    structure->beta = cell[4];
    structure->gamma = cell[5];
    for (const TestAtom& atom : atoms) {
        const int i = structure->natoms++;
        std::strncpy(structure->atom_label[i], atom.label, 11);
        std::memcpy(structure->atom_type[i], "C ", 3);
        structure->x[i] = atom.x;
        structure->y[i] = atom.y;
        structure->z[i] = atom.z;
        structure->occupancy[i] = atom.occupancy;
    }
    return structure;
}

std::int32_t le_int32(const std::string& bytes, std::size_t offset)
{
    std::uint32_t word = 0;
    for (std::size_t n = 0; n < 4; ++n)
        word |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes.at(offset + n)))
                << (8 * n);
    return static_cast<std::int32_t>(word);
}

float le_float32(const std::string& bytes, std::size_t offset)
{
    return std::bit_cast<float>(le_int32(bytes, offset));
}
