#include "symmetry/group_from_parts.hpp"

#include <algorithm>
#include <set>
#include <tuple>

namespace grix {
namespace {

using Op = gemmi::Op;
using Rot = gemmi::Op::Rot;
using Tran = gemmi::Op::Tran;  // in 1/Op::DEN of a cell edge

constexpr int HALF = Op::DEN / 2;
constexpr int QUARTER = Op::DEN / 4;
constexpr Rot IDENTITY = Op::identity().rot;

Rot triplet_rotation(const char* triplet)
{
    return gemmi::parse_triplet(triplet).rot;
}

Op translation_op(const Tran& t)
{
    return Op::identity().translated(t);
}

std::optional<Rot> two_fold_matrix(Direction direction)
{
    switch (direction) {
    case Direction::x: return triplet_rotation("x,-y,-z");
    case Direction::y: return triplet_rotation("-x,y,-z");
    case Direction::z: return triplet_rotation("-x,-y,z");
    case Direction::diagonal: return triplet_rotation("-y,-x,-z");
    case Direction::hexagonal_a: return triplet_rotation("x-y,-y,-z");
    case Direction::body_diagonal: break;
    }
    return std::nullopt;
}

std::optional<Rot> rotation_matrix(Direction direction, int order, bool hexagonal_axes)
{
    if (order == 1)
        return IDENTITY;
    if (order == 2)
        return two_fold_matrix(direction);
    if (direction == Direction::body_diagonal && order == 3)
        return triplet_rotation("z,x,y");
    if (direction != Direction::z)
        return std::nullopt;
    if (hexagonal_axes && order == 3)
        return triplet_rotation("-y,x-y,z");
    if (hexagonal_axes && order == 6)
        return triplet_rotation("x-y,x,z");
    if (!hexagonal_axes && order == 4)
        return triplet_rotation("-y,x,z");
    return std::nullopt;
}

Tran axis_vector(Direction direction)
{
    switch (direction) {
    case Direction::x: return {1, 0, 0};
    case Direction::y: return {0, 1, 0};
    case Direction::z: return {0, 0, 1};
    case Direction::diagonal: return {1, -1, 0};
    case Direction::hexagonal_a: return {1, 0, 0};
    case Direction::body_diagonal: return {1, 1, 1};
    }
    return {};
}

bool contains(const std::vector<Tran>& vectors, const Tran& v)
{
    return std::find(vectors.begin(), vectors.end(), v) != vectors.end();
}

// The shortest lattice translation along an axis: a third or a half of the axis
// vector where a centring vector lies along it (21 along [1-10] of a C lattice), else
// the whole vector.
Tran lattice_step(Direction direction, const std::vector<Tran>& centring)
{
    const Tran axis = axis_vector(direction);
    for (int divisor : {3, 2}) {
        Tran step{};
        for (int i = 0; i < 3; ++i)
            step[i] = axis[i] * Op::DEN / divisor;
        if (contains(centring, translation_op(step).wrap().tran))
            return step;
    }
    Tran step{};
    for (int i = 0; i < 3; ++i)
        step[i] = axis[i] * Op::DEN;
    return step;
}

std::optional<Tran> screw_translation(const AxisPart& part, Direction direction,
                                      const std::vector<Tran>& centring)
{
    Tran translation = lattice_step(direction, centring);
    for (int& value : translation) {
        if (value * part.screw % part.order != 0)
            return std::nullopt;
        value = value * part.screw / part.order;
    }
    return translation;
}

// The diagonal glide's translation on a plane, half of it for 'd'.
std::optional<Tran> diagonal_glide(Direction normal)
{
    switch (normal) {
    case Direction::x: return Tran{0, HALF, HALF};
    case Direction::y: return Tran{HALF, 0, HALF};
    case Direction::z: return Tran{HALF, HALF, 0};
    case Direction::diagonal: return Tran{HALF, HALF, HALF};
    default: return std::nullopt;
    }
}

// 'e', the double glide of a centred face: half the first axis in the plane, the
// centring adding the other.
std::optional<Tran> double_glide(Direction normal, const std::vector<Tran>& centring)
{
    const std::optional<Tran> face = diagonal_glide(normal);
    if (normal == Direction::diagonal || !face || !contains(centring, *face))
        return std::nullopt;
    return normal == Direction::x ? Tran{0, HALF, 0} : Tran{HALF, 0, 0};
}

std::optional<Tran> glide_translation(char letter, Direction normal, bool rhombohedral_axes,
                                      const std::vector<Tran>& centring)
{
    switch (letter) {
    case 'm': return Tran{0, 0, 0};
    case 'a': return rhombohedral_axes ? std::nullopt : std::optional(Tran{HALF, 0, 0});
    case 'b': return rhombohedral_axes ? std::nullopt : std::optional(Tran{0, HALF, 0});
    case 'c': return rhombohedral_axes ? Tran{HALF, HALF, HALF} : Tran{0, 0, HALF};
    case 'n': return diagonal_glide(normal);
    case 'd': {
        std::optional<Tran> glide = diagonal_glide(normal);
        if (glide)
            for (int& value : *glide)
                value /= 2;
        return glide;
    }
    case 'e': return double_glide(normal, centring);
    default: return std::nullopt;
    }
}

// The generators of one part, each a rotation (proper or improper) carrying its screw or
// glide translation: the part's rotation (none for 1) and its plane; false when the part
// cannot stand along its direction.
bool add_generators(const AxisPart& part, Direction direction, const SymbolParts& symbol,
                    const std::vector<Tran>& centring, std::vector<Op>& generators)
{
    if (part.order > 1 || part.bar) {
        const std::optional<Rot> rotation =
            rotation_matrix(direction, part.order, symbol.hexagonal_axes);
        std::optional<Tran> screw = Tran{0, 0, 0};
        if (part.screw > 0)
            screw = screw_translation(part, direction, centring);
        if (!rotation || !screw)
            return false;
        Op generator{*rotation, *screw};
        if (part.bar)
            generator.rot = generator.negated_rot();
        generators.push_back(generator);
    }
    if (part.plane != 0) {
        const std::optional<Rot> axis = two_fold_matrix(direction);
        const std::optional<Tran> glide =
            glide_translation(part.plane, direction, symbol.rhombohedral_axes, centring);
        if (!axis || !glide)
            return false;
        Op mirror{*axis, *glide};
        mirror.rot = mirror.negated_rot();
        if (Op{mirror.rot, {}}.combine(translation_op(*glide)).tran != *glide)
            return false;  // the glide does not run within the plane
        generators.push_back(mirror);
    }
    return true;
}

int order_of(const Rot& rotation)
{
    const Op op{rotation, {}};
    int order = 1;
    for (Op power = op; power.rot != IDENTITY && order < 6; power = op.combine(power))
        ++order;
    return order;
}

// Whether `translation` with the generator's rotation gives the screw or glide that the
// generator carries: the operator's n-th power (n the order of the rotation) translates
// by sum r^k (t + L), which must be n times that screw or glide for some lattice vector
// L; L counts modulo n only.
bool has_intrinsic(const Op& generator, const Tran& translation)
{
    const int n = order_of(generator.rot);
    const int modulus = Op::DEN * n;
    for (int l0 = 0; l0 < n; ++l0)
        for (int l1 = 0; l1 < n; ++l1)
            for (int l2 = 0; l2 < n; ++l2) {
                const Op lifted{generator.rot, {translation[0] + Op::DEN * l0,
                                                translation[1] + Op::DEN * l1,
                                                translation[2] + Op::DEN * l2}};
                Op power = lifted;
                for (int k = 1; k < n; ++k)
                    power = lifted.combine(power);
                bool equal = true;
                for (int i = 0; i < 3; ++i)
                    equal = equal && (power.tran[i] - n * generator.tran[i]) % modulus == 0;
                if (equal)
                    return true;
            }
    return false;
}

// The translations of a generator that give it its screw or glide, on a grid of
// `step` units, those with fewer and smaller components first.
std::vector<Tran> candidate_translations(const Op& generator, int step)
{
    std::vector<Tran> candidates;
    for (int x = 0; x < Op::DEN; x += step)
        for (int y = 0; y < Op::DEN; y += step)
            for (int z = 0; z < Op::DEN; z += step)
                if (has_intrinsic(generator, {x, y, z}))
                    candidates.push_back({x, y, z});
    const auto preference = [](const Tran& t) {
        int nonzero = 0, size = 0;
        for (int value : t) {
            nonzero += value != 0 ? 1 : 0;
            size += std::min(value, Op::DEN - value);
        }
        return std::tuple(nonzero, size, t);
    };
    std::sort(candidates.begin(), candidates.end(), [&](const Tran& a, const Tran& b) {
        return preference(a) < preference(b);
    });
    return candidates;
}

// The group the operators and the centring translations generate; nullopt once it has
// more than `limit` operators, that is once the operators bring in translations that
// the lattice does not have. gemmi's closure assumes the centring complete and compares
// rotations only, so it cannot tell such generators apart.
std::optional<std::vector<Op>> close_group(const std::vector<Op>& generators,
                                           const std::vector<Tran>& centring, std::size_t limit)
{
    std::set<Op> found;
    std::vector<Op> group;
    for (const Tran& vector : centring) {
        found.insert(translation_op(vector));
        group.push_back(translation_op(vector));
    }
    for (std::size_t i = 0; i < group.size(); ++i)
        for (const Op& generator : generators) {
            const Op product = generator * group[i];
            if (found.insert(product).second) {
                group.push_back(product);
                if (group.size() > limit)
                    return std::nullopt;
            }
        }
    return group;
}

// The operator seen from an origin moved to `point`: t' = t + (r - 1) point.
Op shifted(const Op& op, const Tran& point)
{
    Op moved = op;
    for (int i = 0; i < 3; ++i) {
        moved.tran[i] -= point[i];
        for (int j = 0; j < 3; ++j)
            moved.tran[i] += op.rot[i][j] / Op::DEN * point[j];
    }
    return moved.wrap();
}

// Whether some point lies on 2-fold rotation axes along x, y and z at once: I 2 2 2
// and I 2 3 have such points, I 21 21 21 and I 21 3, with the same axes in the same
// directions but none of them meeting, do not.
bool has_222_point(const std::vector<Op>& group)
{
    const Rot axes[] = {*two_fold_matrix(Direction::x), *two_fold_matrix(Direction::y),
                        *two_fold_matrix(Direction::z)};
    for (int x = 0; x < Op::DEN; x += QUARTER / 2)
        for (int y = 0; y < Op::DEN; y += QUARTER / 2)
            for (int z = 0; z < Op::DEN; z += QUARTER / 2) {
                const auto on_axis = [&](const Rot& axis) {
                    return std::any_of(group.begin(), group.end(), [&](const Op& op) {
                        return op.rot == axis && shifted(op, {x, y, z}).tran == Tran{};
                    });
                };
                if (std::all_of(std::begin(axes), std::end(axes), on_axis))
                    return true;
            }
    return false;
}

// "I 21 21 21" and "I 21 3": symbols whose screw axes alone do not tell the group from
// the one with meeting rotation axes.
bool is_i_21_symbol(const SymbolParts& symbol)
{
    return symbol.lattice == 'I' &&
           std::all_of(symbol.parts.begin(), symbol.parts.end(), [](const AxisPart& part) {
               const bool screw_2 = part.order == 2 && part.screw == 1;
               const bool plain_3 = part.order == 3 && part.screw == 0;
               return part.plane == 0 && !part.bar && (screw_2 || plain_3);
           });
}

// Depth-first search for a translation of each generator, in order, that keeps the
// group generated so far finite; the first complete choice wins.
struct PlacementSearch {
    const std::vector<Op>& generators;
    std::vector<std::vector<Tran>> candidates;
    const std::vector<Tran>& centring;
    std::size_t order;
    bool forbid_222_points;
    std::vector<Op> chosen;

    std::optional<std::vector<Op>> complete_group() const
    {
        std::optional<std::vector<Op>> group = close_group(chosen, centring, order);
        if (!group || group->size() != order || (forbid_222_points && has_222_point(*group)))
            return std::nullopt;
        return group;
    }

    std::optional<std::vector<Op>> place(std::size_t next)
    {
        if (next == generators.size())
            return complete_group();
        for (const Tran& translation : candidates[next]) {
            chosen.push_back({generators[next].rot, translation});
            if (close_group(chosen, centring, order))
                if (std::optional<std::vector<Op>> group = place(next + 1))
                    return group;
            chosen.pop_back();
        }
        return std::nullopt;
    }
};

// Where the origin may go: a centre of symmetry of a centrosymmetric group, anywhere
// on the 1/24 grid otherwise.
std::vector<Tran> origin_candidates(const std::vector<Op>& group, bool centric)
{
    std::vector<Tran> points;
    if (!centric) {
        for (int x = 0; x < Op::DEN; ++x)
            for (int y = 0; y < Op::DEN; ++y)
                for (int z = 0; z < Op::DEN; ++z)
                    points.push_back({x, y, z});
        return points;
    }
    for (const Op& op : group) {
        if (op.rot != Op::identity().negated_rot() ||
            std::any_of(op.tran.begin(), op.tran.end(), [](int t) { return t % 2; }))
            continue;
        for (int corner = 0; corner < 8; ++corner)
            points.push_back({op.tran[0] / 2 + HALF * (corner & 1),
                              op.tran[1] / 2 + HALF * (corner >> 1 & 1),
                              op.tran[2] / 2 + HALF * (corner >> 2 & 1)});
    }
    return points;
}

// How well a point suits the origin: the order of its site symmetry, then the number of
// the symbol's own elements through it, then nearness to the present origin.
std::tuple<int, int, int> origin_merit(const std::vector<Op>& group, const Tran& point,
                                       const std::vector<Op>& generators)
{
    int site_symmetry = 0, named = 0;
    for (const Op& op : group) {
        const Op moved = shifted(op, point);
        site_symmetry += moved.tran == Tran{} ? 1 : 0;
        named += static_cast<int>(std::count(generators.begin(), generators.end(), moved));
    }
    int distance = 0;
    for (int value : point)
        distance += std::min(value, Op::DEN - value);
    return {site_symmetry, named, -distance};
}

std::vector<Op> move_origin(const std::vector<Op>& group, bool centric,
                            const std::vector<Op>& generators)
{
    Tran best{};
    std::tuple<int, int, int> best_merit = origin_merit(group, best, generators);
    for (const Tran& point : origin_candidates(group, centric)) {
        const std::tuple<int, int, int> merit = origin_merit(group, point, generators);
        if (merit > best_merit) {
            best = point;
            best_merit = merit;
        }
    }
    std::vector<Op> moved;
    for (const Op& op : group)
        moved.push_back(shifted(op, best));
    // Identity first, then the other centring translations, then the rest.
    std::sort(moved.begin(), moved.end());
    std::stable_partition(moved.begin(), moved.end(),
                          [](const Op& op) { return op.rot == IDENTITY; });
    return moved;
}

}  // namespace

std::optional<std::vector<Op>> build_group(const SymbolParts& symbol)
{
    // The lattice's centring translations, the zero translation first; none on
    // rhombohedral axes.
    const std::vector<Tran> centring =
        gemmi::centring_vectors(symbol.rhombohedral_axes ? 'P' : symbol.lattice);
    std::vector<Op> generators;
    for (std::size_t i = 0; i < symbol.parts.size(); ++i)
        if (!add_generators(symbol.parts[i], symbol.directions[i], symbol, centring, generators))
            return std::nullopt;
    // The point group: the generators' rotations closed; 48 operators at most.
    std::vector<Op> rotations;
    for (const Op& generator : generators)
        rotations.push_back({generator.rot, {}});
    const std::optional<std::vector<Op>> point_group = close_group(rotations, {{0, 0, 0}}, 48);
    if (!point_group)
        return std::nullopt;
    const Op inversion{Op::identity().negated_rot(), {}};
    const bool centric =
        std::find(point_group->begin(), point_group->end(), inversion) != point_group->end();
    // Translations are quarters of a cell edge, sixths on hexagonal and rhombohedral axes.
    const int step = symbol.lattice == 'R' || symbol.hexagonal_axes ? 4 : QUARTER;
    PlacementSearch search{generators, {}, centring, point_group->size() * centring.size(),
                           is_i_21_symbol(symbol), {}};
    for (const Op& generator : generators)
        search.candidates.push_back(candidate_translations(generator, step));
    if (centric)
        search.chosen.push_back(inversion);
    const std::optional<std::vector<Op>> group = search.place(0);
    if (!group)
        return std::nullopt;
    return move_origin(*group, centric, generators);
}

}  // namespace grix
