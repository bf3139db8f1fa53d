#include "writers/section_svg.hpp"

#include "geometry/contours.hpp"
#include "writers/html_text.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <functional>

namespace grix {
namespace {

// A number given in tenths as the shortest text: 12, 12.3, .3, -.3.
void append_tenths(std::string& out, long long tenths)
{
    if (tenths < 0) {
        out += '-';
        tenths = -tenths;
    }
    const long long whole = tenths / 10;
    const long long digit = tenths % 10;
    if (whole != 0 || digit == 0)
        out += std::to_string(whole);
    if (digit != 0) {
        out += '.';
        out += static_cast<char>('0' + digit);
    }
}

long long to_tenths(double pixels)
{
    return std::llround(pixels * 10);
}

void append_pixels(std::string& out, double pixels)
{
    append_tenths(out, to_tenths(pixels));
}

// A number of path data: after a command letter or before a minus sign no separator.
void append_path_number(std::string& d, long long tenths)
{
    if (tenths >= 0 && !d.empty() && !std::isalpha(static_cast<unsigned char>(d.back())))
        d += ' ';
    append_tenths(d, tenths);
}

// One contour as compact SVG path data: a move, then relative lines between the points
// rounded to a tenth of a pixel; nothing when it rounds to a single point.
void append_contour(std::string& d, const ContourPath& path, const PlotFrame& frame)
{
    std::string text = "M";
    const auto [x0, y0] = frame.at(path.points[0][0], path.points[0][1]);
    long long x = to_tenths(x0), y = to_tenths(y0);
    append_path_number(text, x);
    append_path_number(text, y);
    text += 'l';
    bool moved = false;
    for (std::size_t n = 1; n < path.points.size(); ++n) {
        const auto [px, py] = frame.at(path.points[n][0], path.points[n][1]);
        const long long nx = to_tenths(px), ny = to_tenths(py);
        if (nx == x && ny == y)
            continue;
        append_path_number(text, nx - x);
        append_path_number(text, ny - y);
        x = nx;
        y = ny;
        moved = true;
    }
    if (path.closed)
        text += 'z';
    if (moved)
        d += text;
}

// Appends the path data of `level` to `d` while it stays within `room` characters;
// false once it would pass them.
bool trace_level(const float* values, const MapLayout& layout, const PlotFrame& frame,
                 double level, std::size_t room, std::string& d)
{
    trace_contours(values, layout.across, layout.down, level, [&](const ContourPath& path) {
        append_contour(d, path, frame);
        return d.size() <= room;
    });
    return d.size() <= room;
}

// The path data of each level, the multiples farthest from zero first, while their total
// fits SECTION_PATH_BUDGET. The first multiple (both signs at once) that would pass it
// is left out with every one nearer zero, which are never traced: near zero a busy
// section's contours are the longest. Returns the largest multiple left out, 0 when none
// was.
int trace_levels(const float* values, const MapLayout& layout, const PlotFrame& frame,
                 const std::vector<Level>& levels, std::vector<std::string>& data)
{
    data.assign(levels.size(), {});
    std::vector<int> multiples;
    for (const Level& level : levels)
        multiples.push_back(std::abs(level.multiple));
    std::sort(multiples.begin(), multiples.end(), std::greater<>());
    multiples.erase(std::unique(multiples.begin(), multiples.end()), multiples.end());
    std::size_t total = 0;
    for (const int multiple : multiples)
        for (std::size_t n = 0; n < levels.size(); ++n) {
            if (std::abs(levels[n].multiple) != multiple)
                continue;
            if (!trace_level(values, layout, frame, levels[n].value,
                             SECTION_PATH_BUDGET - total, data[n])) {
                for (std::size_t m = 0; m < levels.size(); ++m)
                    if (std::abs(levels[m].multiple) <= multiple)
                        data[m].clear();
                return multiple;
            }
            total += data[n].size();
        }
    return 0;
}

void append_attribute(std::string& out, const char* name, double pixels)
{
    out += ' ';
    out += name;
    out += "=\"";
    append_pixels(out, pixels);
    out += '"';
}

void append_text(std::string& out, std::array<double, 2> at, const char* anchor,
                 std::string_view escaped)
{
    out += "<text";
    append_attribute(out, "x", at[0]);
    append_attribute(out, "y", at[1]);
    out += " text-anchor=\"";
    out += anchor;
    out += "\">";
    out += escaped;
    out += "</text>";
}

void append_line(std::string& out, const char* cls, std::array<double, 2> from,
                 std::array<double, 2> to)
{
    out += "<path class=\"";
    out += cls;
    out += "\" d=\"M";
    append_path_number(out, to_tenths(from[0]));
    append_path_number(out, to_tenths(from[1]));
    out += 'L';
    append_path_number(out, to_tenths(to[0]));
    append_path_number(out, to_tenths(to[1]));
    out += "\"/>";
}

// The map's outline, dotted lines where the cell repeats inside it, and the fractional
// coordinates at its corners.
void draw_frame(std::string& svg, const MapLayout& layout, const PlotFrame& frame)
{
    const double last_i = std::max(layout.across - 1, 0);
    const double last_j = std::max(layout.down - 1, 0);
    for (int direction : {0, 1}) {
        const double last = direction == 0 ? last_i : last_j;
        const double first_cell = std::floor(layout.fraction(direction, 0)) + 1;
        for (double f = first_cell; f < layout.fraction(direction, last); ++f) {
            const double index = f * layout.intervals[direction] - layout.origin[direction];
            if (direction == 0)
                append_line(svg, "cell", frame.at(index, 0), frame.at(index, last_j));
            else
                append_line(svg, "cell", frame.at(0, index), frame.at(last_i, index));
        }
    }
    std::string outline = "<path class=\"frame\" d=\"M";
    for (const auto& [i, j] : {std::array<double, 2>{0, 0}, {last_i, 0}, {last_i, last_j},
                               {0, last_j}}) {
        const auto [x, y] = frame.at(i, j);
        append_path_number(outline, to_tenths(x));
        append_path_number(outline, to_tenths(y));
    }
    svg += outline + "z\"/>";

    const char across = AXIS_NAME[layout.axis[0]], down = AXIS_NAME[layout.axis[1]];
    for (double i : {0.0, last_i}) {
        const auto [x, y] = frame.at(i, 0);
        std::string label;
        append_fraction(label, layout.fraction(0, i));
        append_text(svg, {x, y + 16}, "middle", label);
    }
    for (double j : {0.0, last_j}) {
        const auto [x, y] = frame.at(0, j);
        std::string label;
        append_fraction(label, layout.fraction(1, j));
        append_text(svg, {x - 6, y + 4}, "end", label);
    }
    const auto [bx, by] = frame.at(last_i / 2, 0);
    append_text(svg, {bx, by + 34}, "middle", std::string(1, across) + " \u2192");
    const auto [lx, ly] = frame.at(0, last_j / 2);
    append_text(svg, {lx - 10, ly}, "end", std::string(1, down) + " \u2191");
}

// The grid positions (i, j) of the atom's images in the map's part of the plane,
// when the atom lies within half a section spacing of section k, periodically.
std::vector<std::array<double, 2>> place_atom_images(const CellAtom& atom,
                                                     const MapLayout& layout, int k)
{
    std::vector<std::array<double, 2>> images;
    double offset = atom.fractional[layout.axis[2]] - layout.fraction(2, k);
    offset -= std::round(offset);
    const double tolerance = 1e-9;
    if (std::abs(offset) > 0.5 / layout.intervals[2] + tolerance)
        return images;
    const double u = atom.fractional[layout.axis[0]], v = atom.fractional[layout.axis[1]];
    const double u_low = layout.fraction(0, 0), u_high = layout.fraction(0, layout.across - 1);
    const double v_low = layout.fraction(1, 0), v_high = layout.fraction(1, layout.down - 1);
    for (double m = std::ceil(u_low - u - tolerance); u + m <= u_high + tolerance; ++m)
        for (double n = std::ceil(v_low - v - tolerance); v + n <= v_high + tolerance; ++n)
            images.push_back({(u + m) * layout.intervals[0] - layout.origin[0],
                              (v + n) * layout.intervals[1] - layout.origin[1]});
    return images;
}

void draw_atoms(std::string& svg, const std::vector<CellAtom>& atoms, const MapLayout& layout,
                const PlotFrame& frame, int k)
{
    for (const CellAtom& atom : atoms) {
        const auto images = place_atom_images(atom, layout, k);
        if (images.empty())
            continue;
        const std::string label = escape_html(atom.label);
        std::string title = "<title>" + label;
        if (!atom.element.empty())
            title += " (" + escape_html(atom.element) + ")";
        for (int axis = 0; axis < 3; ++axis) {
            title += axis == 0 ? " at " : ", ";
            append_fraction(title, atom.fractional[axis]);
        }
        title += "</title>";
        for (const auto& [i, j] : images) {
            const auto [x, y] = frame.at(i, j);
            svg += "<g class=\"atom\">" + title + "<circle";
            append_attribute(svg, "cx", x);
            append_attribute(svg, "cy", y);
            svg += " r=\"3.5\"/>";
            append_text(svg, {x + 5, y - 5}, "start", label);
            svg += "</g>";
        }
    }
}

// "z = 0.25": the section's fractional coordinate.
std::string name_section(const MapLayout& layout, int k)
{
    std::string name(1, AXIS_NAME[layout.axis[2]]);
    name += " = ";
    append_fraction(name, layout.fraction(2, k));
    return name;
}

// The figure's caption and the opening of its plot.
std::string open_figure(const MapLayout& layout, const PlotFrame& frame, int k, bool shown,
                        int dropped)
{
    const std::string name = name_section(layout, k);
    std::string text = "<figure class=\"sec\" data-label=\"" + name + "\"";
    text += shown ? ">" : " hidden>";
    text += "<figcaption>" + name + " \u2014 section " + std::to_string(k + 1) + " of " +
            std::to_string(layout.count);
    if (dropped > 0)
        text += "; contours from " + format_multiple(-dropped) + " to " +
                format_multiple(dropped) + " left out to keep the page quick";
    const std::string width = std::to_string(static_cast<long>(frame.width));
    const std::string height = std::to_string(static_cast<long>(frame.height));
    return text + "</figcaption><svg class=\"plot\" xmlns=\"http://www.w3.org/2000/svg\"" +
           " viewBox=\"0 0 " + width + ' ' + height + "\" width=\"" + width +
           "\" height=\"" + height + "\">";
}

}  // namespace

std::string draw_section(const float* values, const std::vector<CellAtom>& atoms,
                         const MapLayout& layout, const PlotFrame& frame,
                         const std::vector<Level>& levels, int k, bool shown)
{
    std::vector<std::string> data;
    const int dropped = trace_levels(values, layout, frame, levels, data);

    std::string svg = open_figure(layout, frame, k, shown, dropped);
    draw_frame(svg, layout, frame);
    for (std::size_t n = 0; n < levels.size(); ++n)
        if (!data[n].empty())
            svg += std::string("<path class=\"") + (levels[n].multiple > 0 ? "p" : "n") +
                   "\" d=\"" + data[n] + "\"/>";
    draw_atoms(svg, atoms, layout, frame, k);
    return svg + "</svg></figure>\n";
}

}  // namespace grix
