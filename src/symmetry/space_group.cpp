#include "symmetry/space_group.hpp"

#include "common/trim.hpp"

#include "symmetry/group_from_parts.hpp"
#include "symmetry/symbol_parts.hpp"

#include <gemmi/symmetry.hpp>

#include <algorithm>
#include <cmath>

namespace grix {
namespace {

// Whether a table entry is the setting the symbol names: the same parts; origin choice
// 2 where there are two; hexagonal axes for an R lattice unless rhombohedral ones are
// asked for.
bool names_setting(const char* hm, char ext, const SymbolParts& symbol)
{
    if (ext == '1' || (ext == 'R') != symbol.rhombohedral_axes)
        return false;
    const std::vector<std::string_view> words = split_words(hm);
    return words.size() == symbol.names.size() + 1 &&
           words[0] == std::string_view(&symbol.lattice, 1) &&
           std::equal(symbol.names.begin(), symbol.names.end(), words.begin() + 1);
}

// gemmi's own lookup by name will not do: it ignores blanks ("P21/c" is read), takes
// origin choice 1 and chooses the axes of an R lattice by the cell's angles.
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

std::vector<gemmi::Op> table_operators(const gemmi::SpaceGroup& entry)
{
    std::vector<gemmi::Op> ops;
    for (const gemmi::Op op : entry.operations())
        ops.push_back(op);
    return ops;
}

// The ITA number where the operators are exactly those of a setting that CCP4 numbers
// by the ITA number alone, else 0. Where the tables hold the same operators under two
// names ("C c c a" and "C c c b"), the first is the one CCP4 numbers if either is, so
// the first setting found decides.
int ccp4_number(const gemmi::SpaceGroup* setting)
{
    return setting && setting->ccp4 == setting->number ? setting->number : 0;
}

SymmetryOp symmetry_op(const gemmi::Op& op)
{
    SymmetryOp symmetry{};
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j)
            symmetry.rotation[i][j] = op.rot[i][j] / gemmi::Op::DEN;
        symmetry.translation[i] = double(op.tran[i]) / gemmi::Op::DEN;
    }
    return symmetry;
}

gemmi::Op gemmi_op(const SymmetryOp& op)
{
    gemmi::Op exact{};
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j)
            exact.rot[i][j] = op.rotation[i][j] * gemmi::Op::DEN;
        exact.tran[i] = static_cast<int>(std::lround(op.translation[i] * gemmi::Op::DEN));
    }
    return exact.wrap();
}

SpaceGroup make_space_group(std::string_view symbol, const std::vector<gemmi::Op>& ops)
{
    const gemmi::GroupOps group = gemmi::split_centering_vectors(ops);
    SpaceGroup made{std::string(symbol), ccp4_number(gemmi::find_spacegroup_by_ops(group)), {}};
    for (const gemmi::Op& op : ops)
        made.ops.push_back(symmetry_op(op));
    return made;
}

// A table symbol as the package writes it: no bar on the cubic 3 after a mirror or
// glide, " R" after a group on rhombohedral axes.
std::string package_spelling(const gemmi::SpaceGroup& entry)
{
    std::string spelling;
    const std::vector<std::string_view> words = split_words(entry.hm);
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
    const std::optional<std::vector<gemmi::Op>> ops = build_group(*parts);
    if (!ops)
        return std::nullopt;
    return make_space_group(symbol, *ops);
}

SpaceGroup patterson_group(const SpaceGroup& group)
{
    std::vector<gemmi::Op> ops;
    for (const SymmetryOp& op : group.ops)
        ops.push_back(gemmi_op(op));
    // The group's rotations in their order, the identity first, with their translations
    // dropped and the inversion added; each of them with each centring translation.
    gemmi::GroupOps patterson_ops = gemmi::split_centering_vectors(ops).derive_symmorphic();
    patterson_ops.add_inversion();
    const gemmi::SpaceGroup* setting = gemmi::find_spacegroup_by_ops(patterson_ops);
    SpaceGroup patterson{setting ? package_spelling(*setting) : "", ccp4_number(setting), {}};
    for (const gemmi::Op op : patterson_ops)
        patterson.ops.push_back(symmetry_op(op));
    return patterson;
}

}  // namespace grix
