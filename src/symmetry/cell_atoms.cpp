#include "symmetry/cell_atoms.hpp"

#include <gemmi/elem.hpp>

#include <algorithm>
#include <cctype>
#include <cmath>

namespace grix {
namespace {

double reduce_into_cell(double coordinate)
{
    const double reduced = coordinate - std::floor(coordinate);
    return reduced < 1.0 ? reduced : 0.0;  // a tiny negative value rounds up to 1
}

bool coincide(const Fractional& a, const Fractional& b, double tolerance)
{
    for (std::size_t i = 0; i < 3; ++i) {
        const double difference = std::fabs(a[i] - b[i]);
        if (std::min(difference, 1.0 - difference) >= tolerance)
            return false;
    }
    return true;
}

bool is_letter(char c)
{
    return std::isalpha(static_cast<unsigned char>(c)) != 0;
}

}  // namespace

std::vector<Fractional> images_in_cell(const SpaceGroup& group, const Fractional& site,
                                       double tolerance)
{
    std::vector<Fractional> images;
    for (const SymmetryOp& op : group.ops) {
        Fractional image{};
        for (std::size_t i = 0; i < 3; ++i) {
            double coordinate = op.translation[i];
            for (std::size_t j = 0; j < 3; ++j)
                coordinate += op.rotation[i][j] * site[j];
            image[i] = reduce_into_cell(coordinate);
        }
        if (std::none_of(images.begin(), images.end(),
                         [&](const Fractional& seen) { return coincide(seen, image, tolerance); }))
            images.push_back(image);
    }
    return images;
}

std::string element_of_atom_type(std::string_view type)
{
    // The leading letters; a charge written after them ("O-") does not change the element.
    const std::size_t start = std::min(type.find_first_not_of(' '), type.size());
    std::size_t end = start;
    while (end < type.size() && end - start < 2 && is_letter(type[end]))
        ++end;
    const std::string letters(type.substr(start, end - start));
    const bool more_letters = end < type.size() && is_letter(type[end]);
    const gemmi::El element = gemmi::find_element(letters.c_str());
    if (letters.empty() || more_letters || element == gemmi::El::X)
        return "";
    return element == gemmi::El::D ? "H" : gemmi::element_name(element);
}

int atomic_number(std::string_view element)
{
    if (element.empty() || element.size() > 2 ||
        !std::all_of(element.begin(), element.end(), is_letter))
        return 0;
    return gemmi::Element(std::string(element)).atomic_number();
}

}  // namespace grix
