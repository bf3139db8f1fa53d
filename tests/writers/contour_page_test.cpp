#include "writers/contour_page.hpp"

#include "support/map_fixture.hpp"
#include "support/string_sink.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

using namespace grix;

namespace {

const std::array<double, 6> CUBIC{10, 10, 10, 90, 90, 90};

struct Page {
    std::string text;
    std::vector<std::string> figures;  // each plot with its caption
    std::size_t largest_piece = 0;
    int pieces = 0;
};

Page render(const MapHeader& header, const MapSections& sections,
            std::vector<CellAtom> atoms = {}, std::string phase = "Phase")
{
    Page page;
    const FourierMap map = make_map(header, sections);
    StringSink sink;
    emit_contour_page({map, std::move(phase), CUBIC, std::move(atoms)}, sink);
    page.text = sink.finish();
    page.largest_piece = sink.largest_piece;
    page.pieces = sink.pieces;
    for (std::size_t at = page.text.find("<figure"); at != std::string::npos;) {
        const std::size_t end = page.text.find("</figure>", at);
        page.figures.push_back(page.text.substr(at, end - at));
        at = page.text.find("<figure", end);
    }
    return page;
}

int count(const std::string& text, const std::string& part)
{
    int found = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++found;
    return found;
}

MapSections make_sections(const MapHeader& header, float value = 0)
{
    const auto points = static_cast<std::size_t>(header.nxyzt[0] * header.nxyzt[1]);
    return MapSections(static_cast<std::size_t>(header.nxyzt[2]),
                       MapSection{std::vector<float>(points, value), {}});
}

TEST(ContourPage, LevelsAreMultiplesOfTheRmsOutToTheExtremes)
{
    // 60 points, one at 6 and one at -4: rms sqrt(52 / 60) = 0.93, levels -4 to +6 rms.
    const MapHeader header = make_map_header(5, 4, 3);
    MapSections sections = make_sections(header);
    sections[1].values[6] = 6;
    sections[1].values[13] = -4;
    const Page page = render(header, sections);
    EXPECT_NE(page.text.find("+6\u03c3 = 5.5857"), std::string::npos);
    EXPECT_NE(page.text.find("\u22124\u03c3"), std::string::npos);
    EXPECT_EQ(page.text.find("+7\u03c3"), std::string::npos);
    EXPECT_EQ(page.text.find("\u22125\u03c3"), std::string::npos);

    // One plot per section, the first alone shown; contours only where the values are.
    ASSERT_EQ(page.figures.size(), 3u);
    EXPECT_EQ(count(page.text, "<svg class=\"plot\""), 3);
    EXPECT_EQ(count(page.text, "<figure class=\"sec\" data-label=\"z = 0\">"), 1);
    EXPECT_EQ(count(page.text, " hidden>"), 2);
    EXPECT_EQ(count(page.figures[1], "<path class=\"p\""), 6);
    EXPECT_EQ(count(page.figures[1], "<path class=\"n\""), 4);
    EXPECT_EQ(count(page.figures[0] + page.figures[2], "<path class=\"p\""), 0);

    EXPECT_NE(render(header, make_sections(header)).text.find("No contours"),
              std::string::npos);
}

TEST(ContourPage, LongMapsAndBusySectionsStayBounded)
{
    // 100 sections: every third drawn. Noise out to 3 rms: the levels nearest zero go first,
    // so each plot keeps within its budget, and the text comes in pieces of a MiB or less.
    MapHeader header = make_map_header(160, 160, 100);
    header.nxyzi[2] = 100;
    MapSections sections = make_sections(header);
    std::uint32_t state = 1;
    for (MapSection& section : sections)
        for (float& value : section.values)
            for (int term = 0; term < 3; ++term) {
                state = state * 1664525u + 1013904223u;
                value += static_cast<float>(state >> 8) / (1 << 24) - 0.5f;
            }
    const Page page = render(header, sections);
    EXPECT_EQ(page.figures.size(), 34u);
    EXPECT_NE(page.text.find("one in every 3 of the 100 sections"), std::string::npos);
    EXPECT_NE(page.text.find("max=\"33\""), std::string::npos);
    EXPECT_NE(page.figures[0].find("contours from \u22121\u03c3 to +1\u03c3 left out"),
              std::string::npos);
    for (const std::string& figure : page.figures)
        EXPECT_LT(figure.size(), grix::SECTION_PATH_BUDGET + 2048);
    EXPECT_GT(page.pieces, 1);
    EXPECT_LE(page.largest_piece, std::size_t{1} << 20);
}

TEST(ContourPage, AtomsNearAPlaneShowPeriodicallyAndTextIsEscaped)
{
    // Sections along x at 0, 0.1, ..., 1 (msect 1: y across, z down), one cell each way.
    MapHeader header = make_map_header(11, 11, 11, 1);
    for (int d = 0; d < 3; ++d)
        header.nxyzi[d] = 10;
    std::strcpy(header.title, "<b>title</b>");
    MapSections sections = make_sections(header);
    sections[5].values[60] = 1;
    const Page page = render(header, sections,
                             {{"Si<1>", "Si", 14, {0.98, 0.0, 0.0}},
                              {"O'2", "O", 8, {0.52, 0.25, 0.5}}},
                             "Quartz & co");
    ASSERT_EQ(page.figures.size(), 11u);
    // Within 0.05 of x = 0 and x = 1, at the four corners y, z = 0 or 1 of each plane.
    for (int k : {0, 10})
        EXPECT_EQ(count(page.figures[k], "<circle"), 4) << k;
    EXPECT_EQ(count(page.figures[5], "<circle"), 1);
    EXPECT_EQ(count(page.figures[5], ">O&#39;2</text>"), 1);
    for (int k : {1, 4, 6, 9})
        EXPECT_EQ(count(page.figures[k], "<circle"), 0) << k;

    EXPECT_NE(page.text.find("<h1>FCLC map of Quartz &amp; co</h1>"), std::string::npos);
    EXPECT_NE(page.text.find("&lt;b&gt;title&lt;/b&gt;"), std::string::npos);
    EXPECT_NE(page.figures[0].find(">Si&lt;1&gt;</text>"), std::string::npos);
    EXPECT_EQ(page.text.find("<1>"), std::string::npos);
    EXPECT_EQ(page.text.find("<b>"), std::string::npos);
}

}  // namespace
