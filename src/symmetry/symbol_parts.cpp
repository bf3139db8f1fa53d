#include "symmetry/symbol_parts.hpp"

#include <cctype>

namespace grix {
namespace {

bool is_digit(char c)
{
    return c >= '0' && c <= '9';
}

char plane_letter(char c)
{
    const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return std::string_view("mabcnde").find(lower) == std::string_view::npos ? 0 : lower;
}

// The combinations that occur in symbols: 1, 2, 3, 4, 6 with a bar (not on 2) or a
// screw subscript, and a plane after "/" only on an unbarred 2-, 4- or 6-fold axis.
bool is_valid_part(const AxisPart& part, bool has_subscript)
{
    const int n = part.order;
    if (n != 1 && n != 2 && n != 3 && n != 4 && n != 6)
        return false;
    if (has_subscript && (part.bar || part.screw < 1 || part.screw >= n))
        return false;
    if (part.bar && n == 2)
        return false;
    return part.plane == 0 || (!part.bar && n % 2 == 0);
}

std::optional<AxisPart> parse_part(std::string_view word)
{
    AxisPart part;
    if (word.size() == 1 && plane_letter(word[0]) != 0) {
        part.plane = plane_letter(word[0]);
        return part;
    }
    std::size_t i = 0;
    part.bar = word[i] == '-';
    if (part.bar)
        ++i;
    if (i >= word.size() || !is_digit(word[i]))
        return std::nullopt;
    part.order = word[i++] - '0';
    const bool has_subscript = i < word.size() && is_digit(word[i]);
    if (has_subscript)
        part.screw = word[i++] - '0';
    if (i + 2 == word.size() && word[i] == '/') {
        part.plane = plane_letter(word[i + 1]);
        if (part.plane == 0 || part.order == 1)
            return std::nullopt;
        i += 2;
    }
    if (i != word.size() || !is_valid_part(part, has_subscript))
        return std::nullopt;
    return part;
}

std::string name_of(const AxisPart& part)
{
    std::string name = part.bar ? "-" : "";
    if (part.order > 1 || part.bar || part.plane == 0)
        name += static_cast<char>('0' + part.order);
    if (part.screw > 0)
        name += static_cast<char>('0' + part.screw);
    if (part.plane != 0 && (part.order > 1 || part.bar))
        name += '/';
    if (part.plane != 0)
        name += part.plane;
    return name;
}

bool is_plain(const AxisPart& part, int order)
{
    return part.order == order && part.screw == 0 && part.plane == 0;
}

bool is_identity(const AxisPart& part)
{
    return is_plain(part, 1) && !part.bar;
}

// Parts after the first of a tetragonal, hexagonal or cubic symbol: a 2-fold axis, a
// plane, or nothing, never barred.
bool are_secondary(const std::vector<AxisPart>& parts, std::size_t from)
{
    for (std::size_t i = from; i < parts.size(); ++i)
        if (parts[i].bar || parts[i].order > 2)
            return false;
    return true;
}

bool has_lattice(char lattice, std::string_view allowed)
{
    return allowed.find(lattice) != std::string_view::npos;
}

// The directions of the parts in their crystal family; false when the parts fit none.
bool assign_directions(SymbolParts& symbol)
{
    using enum Direction;
    const auto& parts = symbol.parts;
    const std::size_t count = parts.size();
    const AxisPart& first = parts[0];
    const bool three_or_six = first.order == 3 || first.order == 6;
    if (count >= 2 && is_plain(parts[1], 3) && !symbol.rhombohedral_axes) {
        symbol.directions = {z, body_diagonal, diagonal};
        const bool first_fits = first.order == 2 || first.order == 4 || first.plane != 0;
        // A written bar on the 3 needs the mirror or glide that implies it; the package
        // leaves that bar out.
        const bool bar_fits = !parts[1].bar || first.plane != 0;
        symbol.parts[1].bar = first.plane != 0;
        return has_lattice(symbol.lattice, "PIF") && first_fits && bar_fits &&
               are_secondary(parts, 2);
    }
    if (symbol.rhombohedral_axes) {
        symbol.directions = {body_diagonal, diagonal};
        return is_plain(first, 3) && count <= 2 && are_secondary(parts, 1);
    }
    if (three_or_six) {
        symbol.hexagonal_axes = true;
        symbol.directions = {z, hexagonal_a, diagonal};
        const bool fits = symbol.lattice == 'P' ? count != 2 : symbol.lattice == 'R' && count <= 2;
        return fits && are_secondary(parts, 1);
    }
    if (first.order == 4) {
        symbol.directions = {z, x, diagonal};
        return has_lattice(symbol.lattice, "PICF") && count != 2 && are_secondary(parts, 1);
    }
    if (count == 1 && first.order == 1 && first.plane == 0) {
        symbol.directions = {z};  // triclinic: 1 or -1
        return has_lattice(symbol.lattice, "PABCIF");
    }
    // Monoclinic or orthorhombic: three parts along a, b, c, two of them 1 or none.
    symbol.directions = {x, y, z};
    int identities = 0;
    for (const AxisPart& part : parts)
        identities += is_identity(part) ? 1 : 0;
    return has_lattice(symbol.lattice, "PABCIF") && count == 3 && are_secondary(parts, 0) &&
           (identities == 0 || identities == 2);
}

// A short monoclinic symbol ("P 21/c", "C c") stands for the b-unique one.
void complete_monoclinic(std::vector<AxisPart>& parts)
{
    const AxisPart only = parts.size() == 1 ? parts[0] : AxisPart{};
    const bool two_fold = !only.bar && (only.order == 2 || (only.order == 1 && only.plane != 0));
    if (two_fold)
        parts = {AxisPart{}, only, AxisPart{}};
}

}  // namespace

std::vector<std::string_view> split_words(std::string_view text)
{
    std::vector<std::string_view> words;
    std::size_t start = 0;
    while (start < text.size()) {
        if (text[start] == ' ' || text[start] == '\t') {
            ++start;
            continue;
        }
        std::size_t end = start;
        while (end < text.size() && text[end] != ' ' && text[end] != '\t')
            ++end;
        words.push_back(text.substr(start, end - start));
        start = end;
    }
    return words;
}

std::optional<SymbolParts> split_symbol(std::string_view text)
{
    std::vector<std::string_view> words = split_words(text);
    if (words.size() < 2 || words[0].size() != 1)
        return std::nullopt;
    SymbolParts symbol;
    symbol.lattice = static_cast<char>(std::toupper(static_cast<unsigned char>(words[0][0])));
    if (!has_lattice(symbol.lattice, "PABCIFR"))
        return std::nullopt;
    if (symbol.lattice == 'R' && words.size() >= 3 &&
        (words.back() == "R" || words.back() == "r")) {
        symbol.rhombohedral_axes = true;
        words.pop_back();
    }
    if (words.size() > 4)
        return std::nullopt;
    for (std::size_t i = 1; i < words.size(); ++i) {
        const std::optional<AxisPart> part = parse_part(words[i]);
        if (!part)
            return std::nullopt;
        symbol.parts.push_back(*part);
    }
    complete_monoclinic(symbol.parts);
    if (!assign_directions(symbol))
        return std::nullopt;
    for (const AxisPart& part : symbol.parts)
        symbol.names.push_back(name_of(part));
    return symbol;
}

}  // namespace grix
