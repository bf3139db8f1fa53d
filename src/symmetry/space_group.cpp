#include "symmetry/space_group.hpp"

#include "common/trim.hpp"

#include "symmetry/exact_op.hpp"
#include "symmetry/group_from_parts.hpp"
#include "symmetry/symbol_parts.hpp"

#include <gemmi/symmetry.hpp>

#include <algorithm>
#include <cmath>

namespace grix {
namespace {

static_assert(gemmi::Op::DEN == TRANSLATION_UNITS);

std::vector<std::string_view> words_of(std::string_view text)
{
    std::vector<std::string_view> words;
    while (!(text = trim_space(text)).empty()) {
        const std::size_t end = std::min(text.find(' '), text.size());
        words.push_back(text.substr(0, end));
        text.remove_prefix(end);
    }
    return words;
}

// Whether a table entry is the setting the symbol names: the same parts; origin choice
// 2 where there are two; hexagonal axes for an R lattice unless rhombohedral ones are
// asked for.
bool names_setting(const char* hm, char ext, const SymbolParts& symbol)
{
    if (ext == '1' || (ext == 'R') != symbol.rhombohedral_axes)
        return false;
    const std::vector<std::string_view> words = words_of(hm);
    return words.size() == symbol.names.size() + 1 &&
           words[0] == std::string_view(&symbol.lattice, 1) &&
           std::equal(symbol.names.begin(), symbol.names.end(), words.begin() + 1);
}

const gemmi::SpaceGroup* find_table_setting(const SymbolParts& symbol)
{
    for (const gemmi::SpaceGroup& entry : gemmi::spacegroup_tables::main)
        if (names_setting(entry.hm, entry.ext, symbol))
            return &entry;
    // The 'e' glides of the newer symbols ("C m c e" for "C m c a").
    for (const gemmi::SpaceGroupAltName& alias : gemmi::spacegroup_tables::alt_names)
        if (names_setting(alias.hm, alias.ext, symbol))
            return &gemmi::spacegroup_tables::main[alias.pos];
    return nullptr;
}

std::vector<ExactOp> table_operators(const gemmi::SpaceGroup& entry)
{
    std::vector<ExactOp> ops;
    for (const gemmi::Op op : entry.operations()) {
        ExactOp exact{};
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j)
                exact.rotation[i][j] = op.rot[i][j] / gemmi::Op::DEN;
            exact.translation[i] = op.tran[i];
        }
        exact.translation = wrap_translation(exact.translation);
        ops.push_back(exact);
    }
    return ops;
}

std::vector<ExactOp> exact_operators(const std::vector<SymmetryOp>& ops)
{
    std::vector<ExactOp> exact;
    for (const SymmetryOp& op : ops) {
        IntVector translation{};
        for (int i = 0; i < 3; ++i)
            translation[i] = static_cast<int>(std::lround(op.translation[i] * TRANSLATION_UNITS));
        exact.push_back({op.rotation, wrap_translation(translation)});
    }
    return exact;
}

// The first table setting with these operators; with `ccp4_only`, only the settings
// that CCP4 numbers by the ITA number alone.
const gemmi::SpaceGroup* find_table_group(std::vector<ExactOp> ops, bool ccp4_only)
{
    std::sort(ops.begin(), ops.end());
    for (const gemmi::SpaceGroup& entry : gemmi::spacegroup_tables::main) {
        if ((ccp4_only && entry.ccp4 != entry.number) ||
            static_cast<std::size_t>(entry.operations().order()) != ops.size())
            continue;
        std::vector<ExactOp> theirs = table_operators(entry);
        std::sort(theirs.begin(), theirs.end());
        if (theirs == ops)
            return &entry;
    }
    return nullptr;
}

SpaceGroup make_space_group(std::string_view symbol, const std::vector<ExactOp>& ops)
{
    const gemmi::SpaceGroup* standard = find_table_group(ops, true);
    SpaceGroup group{std::string(symbol), standard ? standard->number : 0, {}};
    for (const ExactOp& op : ops)
        group.ops.push_back({op.rotation,
                             {double(op.translation[0]) / TRANSLATION_UNITS,
                              double(op.translation[1]) / TRANSLATION_UNITS,
                              double(op.translation[2]) / TRANSLATION_UNITS}});
    return group;
}

// A table symbol as the package writes it: no bar on the cubic 3 after a mirror or
// glide, " R" after a group on rhombohedral axes.
std::string package_spelling(const gemmi::SpaceGroup& entry)
{
    std::string spelling;
    const std::vector<std::string_view> words = words_of(entry.hm);
    for (std::size_t i = 0; i < words.size(); ++i) {
        const bool after_plane =
            i == 2 && std::string_view("mabcnde").find(words[1][0]) != std::string_view::npos;
        const bool implied_bar = after_plane && words[2] == "-3";
        if (i > 0)
            spelling += ' ';
        spelling += implied_bar ? std::string_view("3") : words[i];
    }
    return entry.ext == 'R' ? spelling + " R" : spelling;
}

}  // namespace

std::optional<SpaceGroup> read_space_group(std::string_view text)
{
    const std::string_view symbol = trim_space(text);
    const std::optional<SymbolParts> parts = split_symbol(symbol);
    if (!parts)
        return std::nullopt;
    if (const gemmi::SpaceGroup* entry = find_table_setting(*parts))
        return make_space_group(symbol, table_operators(*entry));
    return space_group_from_parts(symbol);
}

std::optional<SpaceGroup> space_group_from_parts(std::string_view text)
{
    const std::string_view symbol = trim_space(text);
    const std::optional<SymbolParts> parts = split_symbol(symbol);
    if (!parts)
        return std::nullopt;
    const std::optional<std::vector<ExactOp>> ops = build_group(*parts);
    if (!ops)
        return std::nullopt;
    return make_space_group(symbol, *ops);
}

SpaceGroup patterson_group(const SpaceGroup& group)
{
    std::vector<std::array<std::array<int, 3>, 3>> rotations;
    std::vector<std::array<double, 3>> centring;
    for (const SymmetryOp& op : group.ops) {
        if (op.rotation == IDENTITY_MATRIX)
            centring.push_back(op.translation);
        if (std::find(rotations.begin(), rotations.end(), op.rotation) == rotations.end())
            rotations.push_back(op.rotation);
    }
    for (std::size_t i = 0, count = rotations.size(); i < count; ++i)
        if (std::find(rotations.begin(), rotations.end(), negate(rotations[i])) == rotations.end())
            rotations.push_back(negate(rotations[i]));
    SpaceGroup patterson;
    for (const std::array<double, 3>& translation : centring)
        for (const auto& rotation : rotations)
            patterson.ops.push_back({rotation, translation});
    const std::vector<ExactOp> exact = exact_operators(patterson.ops);
    const gemmi::SpaceGroup* standard = find_table_group(exact, true);
    const gemmi::SpaceGroup* any = standard ? standard : find_table_group(exact, false);
    patterson.number = standard ? standard->number : 0;
    patterson.symbol = any ? package_spelling(*any) : "";
    return patterson;
}

}  // namespace grix
