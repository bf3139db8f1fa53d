#include "writers/whole_cell_text.hpp"

#include "common/text.hpp"
#include "common/trim.hpp"
#include "geometry/grid.hpp"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>

namespace grix {

std::size_t value_lines_length(std::int64_t first, std::int64_t last, std::int64_t points)
{
    constexpr auto PER_LINE = static_cast<std::int64_t>(VALUES_PER_LINE);
    const std::int64_t full_lines = last / PER_LINE - first / PER_LINE;
    const bool short_last_line = last == points && points % PER_LINE != 0;
    return static_cast<std::size_t>(13 * (last - first) + full_lines + short_last_line);
}

void write_value_lines(char* out, const float* values, std::int64_t first,
                       std::int64_t last, std::int64_t points)
{
    // A field is written with a few blanks after it that later text overwrites: lines
    // go straight to `out` while it has room for those, the last through `line`.
    constexpr auto PER_LINE = static_cast<std::int64_t>(VALUES_PER_LINE);
    constexpr std::size_t LINE_ROOM = VALUES_PER_LINE * (MAX_FLOAT_CHARS + 1) + 1;
    char line[LINE_ROOM];
    char* const end = out + value_lines_length(first, last, points);
    for (std::int64_t n = first; n < last;) {
        const std::int64_t line_end = std::min((n / PER_LINE + 1) * PER_LINE, last);
        const bool direct = static_cast<std::size_t>(end - out) >= LINE_ROOM;
        char* const start = direct ? out : line;
        char* stop = write_cube_fields(start, values + (n - first),
                                       static_cast<std::size_t>(line_end - n));
        if (line_end % PER_LINE == 0 || line_end == points)
            *stop++ = '\n';
        if (!direct)
            std::memcpy(out, line, static_cast<std::size_t>(stop - line));
        out += stop - start;
        n = line_end;
    }
}

void check_whole_cell(const FourierMap& map, const CellParameters& cell)
{
    check_cell_volume(cell);
    map.geometry.axes();
}

std::string map_title(const MapHeader& header)
{
    std::string title(field_text(header.maptyp, sizeof header.maptyp));
    return title.append(" map: ").append(field_text(header.title, sizeof header.title));
}

std::string one_line(std::string_view text)
{
    std::string line(text);
    for (char& c : line) {
        const auto code = static_cast<unsigned char>(c);
        if (code < 0x20 || code == 0x7F)
            c = ' ';
    }
    return line;
}

void check_value_count(const WholeCell& cell)
{
    std::size_t count = 1;
    for (const int points : cell.points) {
        if (points < 1)
            throw std::invalid_argument("whole cell without grid points");
        count *= static_cast<std::size_t>(points);
    }
    const std::size_t plane = static_cast<std::size_t>(cell.points[0]) *
                              static_cast<std::size_t>(cell.points[1]);
    const SectionedValues& sections = cell.map_sections;
    const bool filled = sections.first != nullptr
                            ? sections.section_points == plane &&
                                  sections.sections == static_cast<std::size_t>(cell.points[2])
                            : cell.values.size() == count;
    if (!filled)
        throw std::invalid_argument("whole cell values do not fill its grid");
}

}  // namespace grix
