#include "symmetry/cell_atoms.hpp"
#include "symmetry/space_group.hpp"

#include "symmetry/symmetry_test_support.hpp"

#include <gtest/gtest.h>

#include <cctype>
#include <sstream>
#include <string>
#include <tuple>

namespace {

using grix::read_space_group;

// Every atom of the phases of the eight tutorial experiment files of the GSAS package
// with the site multiplicity the package wrote into its record.
struct RecordedAtom {
    int symbol;
    double x, y, z;
    std::size_t multiplicity;
};

const char* const RECORDED_SYMBOLS[] = {"P 3 1 c", "P 63/m", "I a 3 d", "I b 3",
                                        "P 21/c",  "P n m a", "P 1 21 1"};

const RecordedAtom RECORDED_ATOMS[] = {
    // A_SI3N4X.EXP, P 3 1 c
    {0, 0.081689, 0.511482, 0.205036, 6}, {0, 0.253013, 0.167424, -0.001523, 6},
    {0, 0.65387, 0.611162, -0.016692, 6}, {0, 0.313768, 0.319219, 0.253658, 6},
    {0, 0.333333, 0.666667, 0.145365, 2}, {0, 0.0, 0.0, 0.5, 2},
    // A_SI3N4X.EXP, P 63/m
    {1, 0.77, 0.175, 0.25, 6}, {1, 0.03, 0.33, 0.25, 6}, {1, 0.666667, 0.333333, 0.25, 2},
    // B_SI3N4X.EXP, P 63/m
    {1, 0.76859, 0.175113, 0.25, 6}, {1, 0.029912, 0.32946, 0.25, 6},
    {1, 0.666667, 0.333333, 0.25, 2},
    // FAP.EXP, P 63/m
    {1, 0.333333, 0.666667, 0.001901, 4}, {1, 0.241949, 0.992577, 0.25, 6},
    {1, 0.397382, 0.367691, 0.25, 6}, {1, 0.0, 0.0, 0.25, 2},
    {1, 0.325032, 0.484745, 0.25, 6}, {1, 0.591459, 0.46998, 0.25, 6},
    {1, 0.33954, 0.258134, 0.070661, 12},
    // GARNET.EXP, I a 3 d
    {2, 0.125, 0.0, 0.25, 24}, {2, 0.0, 0.0, 0.0, 16}, {2, 0.0, 0.0, 0.0, 16},
    {2, 0.375, 0.0, 0.25, 24}, {2, 0.375, 0.0, 0.25, 24},
    {2, -0.029366, 0.053912, 0.150731, 96},
    // IB3.EXP, I b 3
    {3, 0.0, 0.0, 0.0, 8}, {3, 0.25, 0.25, 0.25, 8}, {3, 0.058879, 0.140879, 0.3957, 48},
    // KRYPTONITE.EXP, P 21/c
    {4, 0.457076, 0.199267, 0.123318, 4}, {4, 0.971759, 0.991773, 0.753874, 4},
    {4, 0.237722, 0.151291, 0.686544, 4}, {4, 0.686431, 0.349234, 0.41806, 4},
    {4, 0.531988, 0.505392, 0.784196, 4}, {4, 0.040592, 0.752072, 0.206292, 4},
    {4, 0.810535, 0.720823, 0.977766, 4}, {4, 0.271132, 0.784126, 0.207597, 4},
    {4, 0.96518, 0.847175, 0.28668, 4}, {4, 0.123234, 0.65849, 0.359314, 4},
    {4, 0.748499, 0.550908, 0.875034, 4}, {4, 0.682627, 0.453255, 0.355709, 4},
    {4, 0.54334, 0.675466, 0.615955, 4}, {4, 0.524271, 0.40825, 0.832317, 4},
    {4, 0.699, 0.3993, 0.936, 4},
    // PBSO4X.EXP, P n m a
    {5, 0.1882, 0.25, 0.167, 4}, {5, 0.063, 0.25, 0.686, 4}, {5, -0.095, 0.25, 0.6, 4},
    {5, 0.181, 0.25, 0.543, 4}, {5, 0.085, 0.026, 0.806, 8},
    // SUCROSE.EXP, P 1 21 1
    {6, -0.164254, -0.157852, 0.60729, 2}, {6, -0.231485, -0.061788, 0.265443, 2},
    {6, -0.295166, 0.245759, 0.317444, 2}, {6, -0.340114, 0.326551, 0.654647, 2},
    {6, -0.392465, -0.10327, 0.623136, 2}, {6, -0.576481, 0.051765, 0.726621, 2},
    {6, -0.026064, -0.269992, 0.38454, 2}, {6, -0.219269, -0.44397, 0.672126, 2},
    {6, 0.067388, -0.191789, 0.783754, 2}, {6, 0.01832, -0.397973, 1.080663, 2},
    {6, -0.328317, -0.287414, 0.964056, 2}, {6, -0.299305, -0.166713, 0.523976, 2},
    {6, -0.333469, -0.017226, 0.345055, 2}, {6, -0.267194, 0.121736, 0.461451, 2},
    {6, -0.374575, 0.172912, 0.565194, 2}, {6, -0.34991, 0.106966, 0.716598, 2},
    {6, -0.446764, 0.038868, 0.802935, 2}, {6, -0.102176, -0.408149, 0.454657, 2},
    {6, -0.117978, -0.32289, 0.643846, 2}, {6, -0.014363, -0.345739, 0.794304, 2},
    {6, -0.076372, -0.348567, 0.921647, 2}, {6, -0.19733, -0.436359, 0.845452, 2},
    {6, -0.28579, -0.475785, 0.972198, 2}, {6, -0.3347, -0.2549, 0.4612, 2},
    {6, -0.4116, -0.0307, 0.2883, 2}, {6, -0.1871, 0.1448, 0.5103, 2},
    {6, -0.4717, 0.1681, 0.4782, 2}, {6, -0.2638, 0.0613, 0.7907, 2},
    {6, -0.4531, 0.1873, 0.8656, 2}, {6, -0.052, -0.4776, 0.4784, 2},
    {6, -0.1947, -0.3909, 0.367, 2}, {6, -0.2719, -0.1277, 0.1534, 2},
    {6, 0.0495, -0.4116, 0.771, 2}, {6, -0.2318, 0.266, 0.2575, 2},
    {6, -0.0984, -0.2228, 0.9845, 2}, {6, -0.3407, 0.3913, 0.5675, 2},
    {6, -0.1465, -0.5599, 0.8868, 2}, {6, -0.4372, -0.0074, 0.9281, 2},
    {6, -0.2651, -0.4601, 1.0887, 2}, {6, -0.6015, -0.0617, 0.7134, 2},
    {6, -0.0845, -0.1753, 0.3458, 2}, {6, 0.031, -0.0911, 0.8239, 2},
    {6, 0.0167, -0.3462, 1.1961, 2}, {6, -0.3477, -0.222, 0.8397, 2},
    {6, -0.3672, -0.4881, 0.8805, 2},
};

TEST(ReadSpaceGroup, GivesTheMultiplicitiesOfTheRealFiles)
{
    for (const RecordedAtom& atom : RECORDED_ATOMS) {
        const auto group = read_space_group(RECORDED_SYMBOLS[atom.symbol]);
        ASSERT_TRUE(group) << RECORDED_SYMBOLS[atom.symbol];
        EXPECT_EQ(grix::images_in_cell(*group, {atom.x, atom.y, atom.z}).size(), atom.multiplicity)
            << RECORDED_SYMBOLS[atom.symbol] << " at " << atom.x << " " << atom.y << " " << atom.z;
    }
}

// The tables' symbol as the package spells it: the cubic 3 after a plane unbarred.
std::string package_spelling(const gemmi::SpaceGroup& entry)
{
    std::istringstream words(entry.hm);
    std::string word, first, spelling;
    for (int i = 0; words >> word; ++i) {
        first = i == 1 ? word : first;
        if (i == 2 && word == "-3" && std::isalpha(static_cast<unsigned char>(first[0])))
            word = "3";
        spelling += (i > 0 ? " " : "") + word;
    }
    return spelling;
}

// Whether the two sets are one group seen from different origins.
bool equal_but_for_origin(const std::vector<grix::SymmetryOp>& ops, const OpSet& expected)
{
    for (int x = 0; x < 24; ++x)
        for (int y = 0; y < 24; ++y)
            for (int z = 0; z < 24; ++z)
                if (op_set(ops, {x, y, z}) == expected)
                    return true;
    return false;
}

TEST(ReadSpaceGroup, GivesTheTablesForThe230StandardSettings)
{
    for (int number = 1; number <= 230; ++number) {
        const gemmi::SpaceGroup& entry = gemmi::get_spacegroup_reference_setting(number);
        const std::string symbol = package_spelling(entry);
        const OpSet expected = op_set(entry.operations());
        const auto group = read_space_group(symbol);
        ASSERT_TRUE(group) << symbol;
        EXPECT_EQ(group->ops.size(), expected.size()) << symbol;
        EXPECT_EQ(op_set(group->ops), expected) << symbol;
        EXPECT_EQ(group->number, entry.ccp4 == number ? number : 0) << symbol;
        // Built from the parts alone the group is the same but for the choice of origin.
        const auto built = grix::space_group_from_parts(symbol);
        ASSERT_TRUE(built) << symbol;
        EXPECT_EQ(built->ops.size(), expected.size()) << symbol;
        EXPECT_TRUE(op_set(built->ops) == expected || equal_but_for_origin(built->ops, expected))
            << symbol;
    }
}

OpSet triplet_ops(const std::vector<const char*>& triplets)
{
    std::vector<grix::SymmetryOp> ops;
    for (const char* triplet : triplets) {
        const gemmi::Op op = gemmi::parse_triplet(triplet);
        grix::SymmetryOp converted{};
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j)
                converted.rotation[i][j] = op.rot[i][j] / gemmi::Op::DEN;
            converted.translation[i] = op.tran[i] / 24.0;
        }
        ops.push_back(converted);
    }
    return op_set(ops);
}

TEST(ReadSpaceGroup, ReadsNonStandardSettings)
{
    const std::pair<const char*, OpSet> cases[] = {
        {"P 21/n", triplet_ops({"x,y,z", "-x+1/2,y+1/2,-z+1/2", "-x,-y,-z", "x+1/2,-y+1/2,z+1/2"})},
        {"P 1 1 21/b", triplet_ops({"x,y,z", "-x,-y+1/2,z+1/2", "-x,-y,-z", "x,y+1/2,-z+1/2"})},
        {"B 1 1 2/b", triplet_ops({"x,y,z", "-x,-y+1/2,z", "-x,-y,-z", "x,y+1/2,-z",
                                   "x+1/2,y,z+1/2", "-x+1/2,-y+1/2,z+1/2", "-x+1/2,-y,-z+1/2",
                                   "x+1/2,y+1/2,-z+1/2"})},
        {"R 3 R", triplet_ops({"x,y,z", "z,x,y", "y,z,x"})},
        {"R -3 c", hall_ops("-R 3 2\"c")},
        {"R -3 c R", hall_ops("-P 3* 2n")},
        {"F d 3 m", hall_ops("-F 4vw 2vw 3")},  // origin choice 2
        {"C m c e", hall_ops("-C 2ac 2")},
        // Settings no table holds, from their parts: Ia-3 with its b glide, Pccm in full.
        {"I b 3", hall_ops("-I 2b 2c 3")},
        {"P 2/c 2/c 2/m", hall_ops("-P 2 2c")},
    };
    for (const auto& [symbol, expected] : cases) {
        const auto group = read_space_group(symbol);
        ASSERT_TRUE(group) << symbol;
        EXPECT_EQ(op_set(group->ops), expected) << symbol;
        EXPECT_EQ(group->ops[0].rotation, (Rotation{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}})) << symbol;
    }
    EXPECT_EQ(read_space_group("  I b 3 \r")->symbol, "I b 3");
    EXPECT_EQ(read_space_group("I b 3")->number, 206);
    EXPECT_EQ(read_space_group("P 21/n")->number, 0);  // CCP4's 14 is P 1 21/c 1
}

TEST(ReadSpaceGroup, RefusesWhatIsNoSymbol)
{
    for (const char* symbol : {"", "P", "P21/c", "X 1", "P 5", "P 21/b", "P 2 -3", "I c 3",
                               "P 1 1 1", "P 2 2", "R 3 2 1", "P 6 4 2", "P 4 -3 2", "P 2 3 R",
                               "P 21/c 1 1 1", "P 3/m", "P -2", "P 22"})
        EXPECT_FALSE(read_space_group(symbol)) << '"' << symbol << '"';
}

TEST(PattersonGroup, KeepsRotationsAndCentringAddsInversion)
{
    const std::tuple<const char*, const char*, int, std::size_t> cases[] = {
        {"P 21/c", "P 1 2/m 1", 10, 4},  {"P 32 2 1", "P -3 m 1", 164, 12},
        {"I a 3 d", "I m 3 m", 229, 96}, {"R 3", "R -3", 148, 18},
        {"R 3 R", "R -3 R", 0, 6},       {"P 1 21 1", "P 1 2/m 1", 10, 4},
    };
    for (const auto& [symbol, patterson, number, count] : cases) {
        const grix::SpaceGroup group = grix::patterson_group(*read_space_group(symbol));
        EXPECT_EQ(group.symbol, patterson) << symbol;
        EXPECT_EQ(group.number, number) << symbol;
        EXPECT_EQ(group.ops.size(), count) << symbol;
        EXPECT_EQ(op_set(group.ops), op_set(read_space_group(patterson)->ops)) << symbol;
    }
}

}  // namespace
