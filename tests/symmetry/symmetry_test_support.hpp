// Operator sets compared as sets, exactly: translations in 1/24 of a cell edge.
#pragma once

#include "symmetry/space_group.hpp"

#include <gemmi/symmetry.hpp>

#include <array>
#include <cmath>
#include <set>
#include <utility>
#include <vector>

using Rotation = std::array<std::array<int, 3>, 3>;
using OpKey = std::pair<Rotation, std::array<int, 3>>;
using OpSet = std::set<OpKey>;

// The operators with the origin moved to `shift` (in 1/24): t' = t + (r - 1) shift.
inline OpSet op_set(const std::vector<grix::SymmetryOp>& ops, const std::array<int, 3>& shift = {})
{
    OpSet set;
    for (const grix::SymmetryOp& op : ops) {
        std::array<int, 3> t{};
        for (int i = 0; i < 3; ++i) {
            long value = std::lround(op.translation[i] * 24) - shift[i];
            for (int j = 0; j < 3; ++j)
                value += op.rotation[i][j] * shift[j];
            t[i] = static_cast<int>((value % 24 + 24) % 24);
        }
        set.insert({op.rotation, t});
    }
    return set;
}

inline OpSet op_set(const gemmi::GroupOps& ops)
{
    OpSet set;
    for (const gemmi::Op op : ops) {
        OpKey key{};
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j)
                key.first[i][j] = op.rot[i][j] / gemmi::Op::DEN;
            key.second[i] = (op.tran[i] % 24 + 24) % 24;
        }
        set.insert(key);
    }
    return set;
}

inline OpSet hall_ops(const char* hall)
{
    return op_set(gemmi::symops_from_hall(hall));
}
