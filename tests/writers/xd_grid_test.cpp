#include "writers/xd_grid.hpp"

#include "support/map_fixture.hpp"
#include "writers/writer_fixture.hpp"

#include <gtest/gtest.h>

#include <vector>

using namespace grix;

namespace {

const std::array<float, 6> CUBIC{10, 10, 10, 90, 90, 90};

const std::string VALUES_MARK = "! Values";

// The file of a map of nxyzt points (nxyzi 20, msect 3).
std::string write_grd(const Phase& phase, const MapHeader& header)
{
    return write_with("XD", make_tagged_map(header), phase);
}

// The number of values on each line after "! Values"; every value takes 13 characters.
std::vector<std::size_t> values_per_line(const std::string& file)
{
    const std::size_t mark = file.find(VALUES_MARK);
    EXPECT_NE(mark, std::string::npos);
    std::vector<std::size_t> counts;
    std::size_t at = mark + VALUES_MARK.size();
    while (at < file.size()) {
        EXPECT_EQ(file[at], '\n');
        const std::size_t end = std::min(file.find('\n', at + 1), file.size());
        const std::size_t length = end - at - 1;
        EXPECT_EQ(length % 13, 0u);
        counts.push_back(length / 13);
        at = end;
    }
    return counts;
}

// A 4 x 3 x 3 map: the box starts a hair below 0 in X and Y, so the first point of
// each row lies outside the map, and the last X and Y points lie on its last planes.
const char* const TINY_GRD =
    "3DGRDFIL  0\n"
    "         ESP\n"
    "\n"
    "! Gridpoints, Origin, Physical Dimensions\n"
    "              4              3              2\n"
    "   -1.02068E-11   -5.10341E-12    0.00000E+00\n"
    "     1.5000         1.0000         1.0000    \n"
    "! Objects\n"
    "         2\n"
    "SI1        -1.00000   2.50000   5.00000 ATOM\n"
    "O2          1.25000  15.00000   3.33333 ATOM\n"
    "! Connections\n"
    "         0\n"
    "! Values\n"
    "   0.0000E+00   0.0000E+00   0.0000E+00   0.0000E+00\n"
    "   0.0000E+00   1.1000E+01   1.2000E+01   0.0000E+00\n"
    "   0.0000E+00   0.0000E+00   0.0000E+00   0.0000E+00\n"
    "   0.0000E+00   0.0000E+00   0.0000E+00   0.0000E+00\n"
    "   0.0000E+00   1.1100E+02   1.1200E+02   0.0000E+00\n"
    "   0.0000E+00   0.0000E+00   0.0000E+00   0.0000E+00";

TEST(XdGridWriter, WritesTinyMapWithAtoms)
{
    const Phase phase = make_phase(CUBIC, {{"SI1        ", -0.1f, 0.25f, 0.5f, 0.75f},
                                           {"O2         ", 0.125f, 1.5f, 1 / 3.0f, 1.0f}});
    EXPECT_EQ(write_grd(phase, make_map_header(4, 3, 3)), TINY_GRD);
}

TEST(XdGridWriter, LabelTouchesCoordinateThatFillsItsField)
{
    const Phase phase = make_phase(CUBIC, {{"O2", 1.5f, 0.1f, 0.1f, 1},
                                           {"N3", -0.25f, 0.1f, 0.1f, 1},
                                           {"C4", 0.25f, 0.1f, 0.1f, 1}});
    const std::string file = write_grd(phase, make_map_header(4, 3, 3));
    EXPECT_NE(file.find("\nO215.00000   1.00000   1.00000 ATOM\n"), std::string::npos);
    EXPECT_NE(file.find("\nN3-2.50000   1.00000   1.00000 ATOM\n"), std::string::npos);
    EXPECT_NE(file.find("\nC4 2.50000   1.00000   1.00000 ATOM\n"), std::string::npos);
}

TEST(XdGridWriter, RowsStartOnNewLinesSixValuesToALine)
{
    struct Case {
        int across;
        std::vector<std::size_t> row;
    };
    // With two rows down and two sections the box holds nx x 2 x 1 points.
    const Case cases[] = {{7, {6, 1}}, {6, {6}}, {12, {6, 6}}, {2, {2}}};
    for (const Case& c : cases) {
        const std::string file = write_grd(make_phase(CUBIC), make_map_header(c.across, 2, 2));
        std::vector<std::size_t> expected = c.row;
        expected.insert(expected.end(), c.row.begin(), c.row.end());
        EXPECT_EQ(values_per_line(file), expected) << "nxyzt across " << c.across;
        EXPECT_NE(file.back(), '\n');
    }
}

TEST(XdGridWriter, CubicCellRowsTakeFourLines)
{
    const std::string file = write_grd(make_phase(CUBIC), make_map_header(21, 21, 21));
    EXPECT_NE(file.find("\n             21             21             20\n"),
              std::string::npos);
    EXPECT_NE(file.find("\n    10.0000        10.0000        10.0000    \n"),
              std::string::npos);
    const std::vector<std::size_t> lines = values_per_line(file);
    ASSERT_EQ(lines.size(), 21u * 20u * 4u);
    for (std::size_t n = 0; n < lines.size(); ++n)
        ASSERT_EQ(lines[n], n % 4 == 3 ? 3u : 6u) << "line " << n;
}

TEST(XdGridWriter, FlatAxisWithoutAtomsEndsWithValuesMark)
{
    // One section: the box has no extent along Z, and with z = 0 throughout nothing
    // pushes Y below 0, so Y gets exactly (max - min) / step points.
    const std::string file = write_grd(make_phase(CUBIC), make_map_header(4, 3, 1));
    const std::string tail = "              4              2              0\n"
                             "   -5.10341E-12    0.00000E+00    0.00000E+00\n"
                             "     1.5000         1.0000         0.0000    \n"
                             "! Objects\n         0\n! Connections\n         0\n! Values";
    ASSERT_GE(file.size(), tail.size());
    EXPECT_EQ(file.substr(file.size() - tail.size()), tail);
}

}  // namespace
