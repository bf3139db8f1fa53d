#include "symmetry/cell_atoms.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

TEST(ImagesInCell, ReducesIntoTheCellAndMergesAcrossItsFaces)
{
    const auto group = grix::read_space_group("P -1");
    // A site a hair off the face: its image by the inversion is the same point.
    EXPECT_EQ(grix::images_in_cell(*group, {1e-7, 0.5, -1e-17}).size(), 1u);
    for (const grix::Fractional& image : grix::images_in_cell(*group, {-1e-17, 0.25, 2.75}))
        for (double coordinate : image) {
            EXPECT_GE(coordinate, 0.0);
            EXPECT_LT(coordinate, 1.0);
        }
    EXPECT_EQ(grix::images_in_cell(*group, {0.1, 0.2, 0.3}).size(), 2u);
    EXPECT_EQ(grix::images_in_cell(*group, {0.1, 0.2, 0.3}, 0.5).size(), 1u);
}

TEST(AtomTypes, GiveElementsAndAtomicNumbers)
{
    const std::pair<const char*, const char*> types[] = {
        {"SI", "Si"}, {"FE", "Fe"}, {"O ", "O"}, {"C", "C"}, {"D", "H"}, {"O-", "O"},
        {" N", "N"},  {"XX", ""},   {"", ""},    {"0.", ""}, {"X", ""},  {"SIL", ""}};
    for (const auto& [type, element] : types)
        EXPECT_EQ(grix::element_of_atom_type(type), element) << '"' << type << '"';
    const std::pair<const char*, int> numbers[] = {
        {"Si", 14}, {"H", 1}, {"Fe", 26}, {"Og", 118}, {"Xx", 0}, {"", 0}, {"Sii", 0}, {"S1", 0}};
    for (const auto& [element, number] : numbers)
        EXPECT_EQ(grix::atomic_number(element), number) << '"' << element << '"';
}

// The bundled example's atoms have as many images in the cell as their records say.
TEST(BundledExample, RecordsObeyTheirMultiplicities)
{
    std::ifstream file(GRIX_EXAMPLES_DIR "/quartz.exp");
    ASSERT_TRUE(file);
    std::optional<grix::SpaceGroup> group;
    std::vector<std::pair<grix::Fractional, std::size_t>> atoms;
    for (std::string line; std::getline(file, line);) {
        line.resize(80, ' ');
        if (line.compare(0, 14, "CRS1  SG SYM  ") == 0)
            group = grix::read_space_group(line.substr(14));
        if (line.compare(0, 8, "CRS1  AT") != 0 || line[11] != 'A')
            continue;
        const std::string field = line.substr(62, 12);  // label, multiplicity right-aligned
        atoms.push_back({{std::stod(line.substr(22, 10)), std::stod(line.substr(32, 10)),
                          std::stod(line.substr(42, 10))},
                         std::stoul(field.substr(field.find_last_of(' ') + 1))});
    }
    ASSERT_TRUE(group);
    ASSERT_EQ(atoms.size(), 2u);
    for (const auto& [site, multiplicity] : atoms)
        EXPECT_EQ(grix::images_in_cell(*group, site).size(), multiplicity);
}

}  // namespace
