#include "symmetry/group_from_parts.hpp"

#include <algorithm>
#include <set>
#include <tuple>

namespace grix {
namespace {

constexpr int HALF = TRANSLATION_UNITS / 2;
constexpr int QUARTER = TRANSLATION_UNITS / 4;

// A rotation (proper or improper) and the screw or glide translation it carries.
struct Generator {
    IntMatrix rotation;
    IntVector intrinsic;
};

std::optional<IntMatrix> two_fold_matrix(Direction direction)
{
    switch (direction) {
    case Direction::x: return IntMatrix{{{1, 0, 0}, {0, -1, 0}, {0, 0, -1}}};
    case Direction::y: return IntMatrix{{{-1, 0, 0}, {0, 1, 0}, {0, 0, -1}}};
    case Direction::z: return IntMatrix{{{-1, 0, 0}, {0, -1, 0}, {0, 0, 1}}};
    case Direction::diagonal: return IntMatrix{{{0, -1, 0}, {-1, 0, 0}, {0, 0, -1}}};
    case Direction::hexagonal_a: return IntMatrix{{{1, -1, 0}, {0, -1, 0}, {0, 0, -1}}};
    case Direction::body_diagonal: break;
    }
    return std::nullopt;
}

std::optional<IntMatrix> rotation_matrix(Direction direction, int order, bool hexagonal_axes)
{
    if (order == 1)
        return IDENTITY_MATRIX;
    if (order == 2)
        return two_fold_matrix(direction);
    if (direction == Direction::body_diagonal && order == 3)
        return IntMatrix{{{0, 0, 1}, {1, 0, 0}, {0, 1, 0}}};
    if (direction != Direction::z)
        return std::nullopt;
    if (hexagonal_axes && order == 3)
        return IntMatrix{{{0, -1, 0}, {1, -1, 0}, {0, 0, 1}}};
    if (hexagonal_axes && order == 6)
        return IntMatrix{{{1, -1, 0}, {1, 0, 0}, {0, 0, 1}}};
    if (!hexagonal_axes && order == 4)
        return IntMatrix{{{0, -1, 0}, {1, 0, 0}, {0, 0, 1}}};
    return std::nullopt;
}

IntVector axis_vector(Direction direction)
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

bool contains(const std::vector<IntVector>& vectors, const IntVector& v)
{
    return std::find(vectors.begin(), vectors.end(), v) != vectors.end();
}

// The shortest lattice translation along an axis: a third or a half of the axis
// vector where a centring vector lies along it (21 along [1-10] of a C lattice), else
// the whole vector.
IntVector lattice_step(Direction direction, const std::vector<IntVector>& centring)
{
    const IntVector axis = axis_vector(direction);
    for (int divisor : {3, 2}) {
        IntVector step{};
        for (int i = 0; i < 3; ++i)
            step[i] = axis[i] * TRANSLATION_UNITS / divisor;
        if (contains(centring, wrap_translation(step)))
            return step;
    }
    IntVector step{};
    for (int i = 0; i < 3; ++i)
        step[i] = axis[i] * TRANSLATION_UNITS;
    return step;
}

std::optional<IntVector> screw_translation(const AxisPart& part, Direction direction,
                                           const std::vector<IntVector>& centring)
{
    IntVector translation = lattice_step(direction, centring);
    for (int& value : translation) {
        if (value * part.screw % part.order != 0)
            return std::nullopt;
        value = value * part.screw / part.order;
    }
    return translation;
}

// The diagonal glide's translation on a plane, half of it for 'd'.
std::optional<IntVector> diagonal_glide(Direction normal)
{
    switch (normal) {
    case Direction::x: return IntVector{0, HALF, HALF};
    case Direction::y: return IntVector{HALF, 0, HALF};
    case Direction::z: return IntVector{HALF, HALF, 0};
    case Direction::diagonal: return IntVector{HALF, HALF, HALF};
    default: return std::nullopt;
    }
}

// 'e', the double glide of a centred face: half the first axis in the plane, the
// centring adding the other.
std::optional<IntVector> double_glide(Direction normal, const std::vector<IntVector>& centring)
{
    const std::optional<IntVector> face = diagonal_glide(normal);
    if (normal == Direction::diagonal || !face || !contains(centring, *face))
        return std::nullopt;
    return normal == Direction::x ? IntVector{0, HALF, 0} : IntVector{HALF, 0, 0};
}

std::optional<IntVector> glide_translation(char letter, Direction normal, bool rhombohedral_axes,
                                           const std::vector<IntVector>& centring)
{
    switch (letter) {
    case 'm': return IntVector{0, 0, 0};
    case 'a': return rhombohedral_axes ? std::nullopt : std::optional(IntVector{HALF, 0, 0});
    case 'b': return rhombohedral_axes ? std::nullopt : std::optional(IntVector{0, HALF, 0});
    case 'c': return rhombohedral_axes ? IntVector{HALF, HALF, HALF} : IntVector{0, 0, HALF};
    case 'n': return diagonal_glide(normal);
    case 'd': {
        std::optional<IntVector> glide = diagonal_glide(normal);
        if (glide)
            for (int& value : *glide)
                value /= 2;
        return glide;
    }
    case 'e': return double_glide(normal, centring);
    default: return std::nullopt;
    }
}

// The generators of one part: its rotation (none for 1) and its plane; false when the
// part cannot stand along its direction.
bool add_generators(const AxisPart& part, Direction direction, const SymbolParts& symbol,
                    const std::vector<IntVector>& centring, std::vector<Generator>& generators)
{
    if (part.order > 1 || part.bar) {
        const std::optional<IntMatrix> rotation =
            rotation_matrix(direction, part.order, symbol.hexagonal_axes);
        std::optional<IntVector> screw = IntVector{0, 0, 0};
        if (part.screw > 0)
            screw = screw_translation(part, direction, centring);
        if (!rotation || !screw)
            return false;
        generators.push_back({part.bar ? negate(*rotation) : *rotation, *screw});
    }
    if (part.plane != 0) {
        const std::optional<IntMatrix> axis = two_fold_matrix(direction);
        const std::optional<IntVector> glide =
            glide_translation(part.plane, direction, symbol.rhombohedral_axes, centring);
        if (!axis || !glide)
            return false;
        const IntMatrix mirror = negate(*axis);
        if (rotate(mirror, *glide) != *glide)
            return false;  // the glide does not run within the plane
        generators.push_back({mirror, *glide});
    }
    return true;
}

int order_of(const IntMatrix& rotation)
{
    IntMatrix power = rotation;
    int order = 1;
    while (power != IDENTITY_MATRIX && order < 6) {
        power = multiply(power, rotation);
        ++order;
    }
    return order;
}

// Whether `translation` with `rotation` makes the screw or glide `intrinsic`: the mean
// of the translation over the rotation's powers, sum r^k (t + L) / n, equals it for some
// lattice vector L. L counts modulo n only.
bool has_intrinsic(const IntMatrix& rotation, const IntVector& translation,
                   const IntVector& intrinsic)
{
    const int n = order_of(rotation);
    IntMatrix sum{}, power = IDENTITY_MATRIX;
    for (int k = 0; k < n; ++k) {
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                sum[i][j] += power[i][j];
        power = multiply(power, rotation);
    }
    const int modulus = TRANSLATION_UNITS * n;
    for (int l0 = 0; l0 < n; ++l0)
        for (int l1 = 0; l1 < n; ++l1)
            for (int l2 = 0; l2 < n; ++l2) {
                const IntVector lifted{translation[0] + TRANSLATION_UNITS * l0,
                                       translation[1] + TRANSLATION_UNITS * l1,
                                       translation[2] + TRANSLATION_UNITS * l2};
                const IntVector mean = rotate(sum, lifted);
                bool equal = true;
                for (int i = 0; i < 3; ++i)
                    equal = equal && (mean[i] - n * intrinsic[i]) % modulus == 0;
                if (equal)
                    return true;
            }
    return false;
}

// The translations of a generator that give it its screw or glide, on a grid of
// `step` units, those with fewer and smaller components first.
std::vector<IntVector> candidate_translations(const Generator& generator, int step)
{
    std::vector<IntVector> candidates;
    for (int x = 0; x < TRANSLATION_UNITS; x += step)
        for (int y = 0; y < TRANSLATION_UNITS; y += step)
            for (int z = 0; z < TRANSLATION_UNITS; z += step)
                if (has_intrinsic(generator.rotation, {x, y, z}, generator.intrinsic))
                    candidates.push_back({x, y, z});
    const auto preference = [](const IntVector& t) {
        int nonzero = 0, size = 0;
        for (int value : t) {
            nonzero += value != 0 ? 1 : 0;
            size += std::min(value, TRANSLATION_UNITS - value);
        }
        return std::tuple(nonzero, size, t);
    };
    std::sort(candidates.begin(), candidates.end(), [&](const IntVector& a, const IntVector& b) {
        return preference(a) < preference(b);
    });
    return candidates;
}

// The rotations the generators' rotations generate; empty beyond 48, the most a
// crystallographic point group has.
std::vector<IntMatrix> close_rotations(const std::vector<Generator>& generators)
{
    std::vector<IntMatrix> rotations{IDENTITY_MATRIX};
    for (std::size_t i = 0; i < rotations.size() && rotations.size() <= 48; ++i)
        for (const Generator& generator : generators) {
            const IntMatrix product = multiply(generator.rotation, rotations[i]);
            if (std::find(rotations.begin(), rotations.end(), product) == rotations.end())
                rotations.push_back(product);
        }
    return rotations.size() <= 48 ? rotations : std::vector<IntMatrix>{};
}

// The group the operators and the centring translations generate; nullopt once it has
// more than `limit` operators, that is once the operators bring in translations that
// the lattice does not have.
std::optional<std::vector<ExactOp>> close_group(const std::vector<ExactOp>& generators,
                                                const std::vector<IntVector>& centring,
                                                std::size_t limit)
{
    std::set<ExactOp> found;
    std::vector<ExactOp> group;
    for (const IntVector& vector : centring) {
        found.insert({IDENTITY_MATRIX, vector});
        group.push_back({IDENTITY_MATRIX, vector});
    }
    for (std::size_t i = 0; i < group.size(); ++i)
        for (const ExactOp& generator : generators) {
            const ExactOp product = compose(generator, group[i]);
            if (found.insert(product).second) {
                group.push_back(product);
                if (group.size() > limit)
                    return std::nullopt;
            }
        }
    return group;
}

bool fixes(const ExactOp& op, const IntVector& point)
{
    const IntVector image = rotate(op.rotation, point);
    for (int i = 0; i < 3; ++i)
        if ((image[i] + op.translation[i] - point[i]) % TRANSLATION_UNITS != 0)
            return false;
    return true;
}

// Whether some point lies on 2-fold rotation axes along x, y and z at once: I 2 2 2
// and I 2 3 have such points, I 21 21 21 and I 21 3, with the same axes in the same
// directions but none of them meeting, do not.
bool has_222_point(const std::vector<ExactOp>& group)
{
    const Direction axes[] = {Direction::x, Direction::y, Direction::z};
    for (int x = 0; x < TRANSLATION_UNITS; x += QUARTER / 2)
        for (int y = 0; y < TRANSLATION_UNITS; y += QUARTER / 2)
            for (int z = 0; z < TRANSLATION_UNITS; z += QUARTER / 2) {
                const auto on_axis = [&](Direction axis) {
                    return std::any_of(group.begin(), group.end(), [&](const ExactOp& op) {
                        return op.rotation == *two_fold_matrix(axis) && fixes(op, {x, y, z});
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
    const std::vector<Generator>& generators;
    std::vector<std::vector<IntVector>> candidates;
    const std::vector<IntVector>& centring;
    std::size_t order;
    bool forbid_222_points;
    std::vector<ExactOp> chosen;

    std::optional<std::vector<ExactOp>> complete_group() const
    {
        std::optional<std::vector<ExactOp>> group = close_group(chosen, centring, order);
        if (!group || group->size() != order || (forbid_222_points && has_222_point(*group)))
            return std::nullopt;
        return group;
    }

    std::optional<std::vector<ExactOp>> place(std::size_t next)
    {
        if (next == generators.size())
            return complete_group();
        for (const IntVector& translation : candidates[next]) {
            chosen.push_back({generators[next].rotation, translation});
            if (close_group(chosen, centring, order))
                if (std::optional<std::vector<ExactOp>> group = place(next + 1))
                    return group;
            chosen.pop_back();
        }
        return std::nullopt;
    }
};

// The operators seen from an origin moved to `point`: t' = t + (r - 1) point.
ExactOp shifted(const ExactOp& op, const IntVector& point)
{
    IntVector translation = rotate(op.rotation, point);
    for (int i = 0; i < 3; ++i)
        translation[i] += op.translation[i] - point[i];
    return {op.rotation, wrap_translation(translation)};
}

// Where the origin may go: a centre of symmetry of a centrosymmetric group, anywhere
// on the 1/24 grid otherwise.
std::vector<IntVector> origin_candidates(const std::vector<ExactOp>& group, bool centric)
{
    std::vector<IntVector> points;
    if (!centric) {
        for (int x = 0; x < TRANSLATION_UNITS; ++x)
            for (int y = 0; y < TRANSLATION_UNITS; ++y)
                for (int z = 0; z < TRANSLATION_UNITS; ++z)
                    points.push_back({x, y, z});
        return points;
    }
    for (const ExactOp& op : group) {
        if (op.rotation != negate(IDENTITY_MATRIX) ||
            std::any_of(op.translation.begin(), op.translation.end(), [](int t) { return t % 2; }))
            continue;
        for (int corner = 0; corner < 8; ++corner)
            points.push_back(wrap_translation({op.translation[0] / 2 + HALF * (corner & 1),
                                               op.translation[1] / 2 + HALF * (corner >> 1 & 1),
                                               op.translation[2] / 2 + HALF * (corner >> 2 & 1)}));
    }
    return points;
}

// How well a point suits the origin: the order of its site symmetry, then the number of
// the symbol's own elements through it, then nearness to the present origin.
std::tuple<int, int, int> origin_merit(const std::vector<ExactOp>& group, const IntVector& point,
                                       const std::vector<Generator>& generators)
{
    int site_symmetry = 0, named = 0;
    for (const ExactOp& op : group) {
        const ExactOp moved = shifted(op, point);
        site_symmetry += moved.translation == IntVector{0, 0, 0} ? 1 : 0;
        for (const Generator& generator : generators)
            if (moved.rotation == generator.rotation && moved.translation == generator.intrinsic)
                ++named;
    }
    int distance = 0;
    for (int value : point)
        distance += std::min(value, TRANSLATION_UNITS - value);
    return {site_symmetry, named, -distance};
}

std::vector<ExactOp> move_origin(const std::vector<ExactOp>& group, bool centric,
                                 const std::vector<Generator>& generators)
{
    IntVector best{};
    std::tuple<int, int, int> best_merit = origin_merit(group, best, generators);
    for (const IntVector& point : origin_candidates(group, centric)) {
        const std::tuple<int, int, int> merit = origin_merit(group, point, generators);
        if (merit > best_merit) {
            best = point;
            best_merit = merit;
        }
    }
    std::vector<ExactOp> moved;
    for (const ExactOp& op : group)
        moved.push_back(shifted(op, best));
    // Identity first, then the other centring translations, then the rest.
    std::sort(moved.begin(), moved.end());
    std::stable_partition(moved.begin(), moved.end(),
                          [](const ExactOp& op) { return op.rotation == IDENTITY_MATRIX; });
    return moved;
}

// The lattice's centring translations, the zero translation first; none on
// rhombohedral axes.
std::vector<IntVector> centring_vectors(const SymbolParts& symbol)
{
    switch (symbol.rhombohedral_axes ? 'P' : symbol.lattice) {
    case 'A': return {{0, 0, 0}, {0, HALF, HALF}};
    case 'B': return {{0, 0, 0}, {HALF, 0, HALF}};
    case 'C': return {{0, 0, 0}, {HALF, HALF, 0}};
    case 'I': return {{0, 0, 0}, {HALF, HALF, HALF}};
    case 'F': return {{0, 0, 0}, {0, HALF, HALF}, {HALF, 0, HALF}, {HALF, HALF, 0}};
    case 'R': return {{0, 0, 0}, {16, 8, 8}, {8, 16, 16}};  // obverse: (2/3, 1/3, 1/3)
    default: return {{0, 0, 0}};
    }

}  // namespace

}

std::optional<std::vector<ExactOp>> build_group(const SymbolParts& symbol)
{
    const std::vector<IntVector> centring = centring_vectors(symbol);
    std::vector<Generator> generators;
    for (std::size_t i = 0; i < symbol.parts.size(); ++i)
        if (!add_generators(symbol.parts[i], symbol.directions[i], symbol, centring, generators))
            return std::nullopt;
    const std::vector<IntMatrix> rotations = close_rotations(generators);
    if (rotations.empty())
        return std::nullopt;
    const bool centric = std::find(rotations.begin(), rotations.end(),
                                   negate(IDENTITY_MATRIX)) != rotations.end();
    // Translations are quarters of a cell edge, sixths on hexagonal and rhombohedral axes.
    const int step = symbol.lattice == 'R' || symbol.hexagonal_axes ? 4 : QUARTER;
    PlacementSearch search{generators, {}, centring, rotations.size() * centring.size(),
                           is_i_21_symbol(symbol), {}};
    for (const Generator& generator : generators)
        search.candidates.push_back(candidate_translations(generator, step));
    if (centric)
        search.chosen.push_back({negate(IDENTITY_MATRIX), {0, 0, 0}});
    const std::optional<std::vector<ExactOp>> group = search.place(0);
    if (!group)
        return std::nullopt;
    return move_origin(*group, centric, generators);
}

}  // namespace grix
