#include "writers/contour_page.hpp"

#include "common/text.hpp"
#include "common/trim.hpp"
#include "geometry/contours.hpp"
#include "geometry/grid.hpp"
#include "writers/whole_cell_text.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace grix {
namespace {

// Pixel sizes of a plot: its longer side, and the margins that hold the axis labels.
constexpr double PLOT_PIXELS = 560;
constexpr double MARGIN_LEFT = 64, MARGIN_RIGHT = 24, MARGIN_TOP = 16, MARGIN_BOTTOM = 44;

constexpr char AXIS_NAME[3] = {'x', 'y', 'z'};

// The map's points and where its three directions run in the cell.
struct MapLayout {
    int across = 0, down = 0, count = 0;  // points across, down; sections with values
    int axis[3] = {0, 1, 2};              // fractional axis of each direction
    double intervals[3] = {1, 1, 1};      // grid intervals per cell repeat, at least 1
    double origin[3] = {0, 0, 0};         // grid index of the map's first point

    double fraction(int direction, double index) const
    {
        return (index + origin[direction]) / intervals[direction];
    }
};

struct MapStats {
    double rms = 0;  // root-mean-square deviation from zero
    double low = 0;
    double high = 0;
};

struct Level {
    int multiple;  // of the rms; never zero
    double value;
};

// Pixel positions on a plot: grid point (i, j) of a section at origin + i u + j w.
// The down direction points up the page, at the cell's angle to the across direction.
struct PlotFrame {
    double ox = 0, oy = 0, ux = 0, uy = 0, wx = 0, wy = 0;
    double width = 0, height = 0;

    std::array<double, 2> at(double i, double j) const
    {
        return {ox + i * ux + j * wx, oy + i * uy + j * wy};
    }
};

MapLayout describe_layout(const MapHeader& header, const MapSections& sections)
{
    MapLayout layout;
    const int msect = header.msect >= 1 && header.msect <= 3 ? header.msect : 3;
    for (int d = 0; d < 3; ++d) {
        layout.axis[d] = direction_axes(msect)[static_cast<std::size_t>(d)];
        layout.intervals[d] = std::max(header.nxyzi[d], 1);
        layout.origin[d] = header.nxyzo[d];
    }
    if (header.nxyzt[0] < 1 || header.nxyzt[1] < 1)
        return layout;
    layout.across = header.nxyzt[0];
    layout.down = header.nxyzt[1];
    const auto points = static_cast<std::size_t>(layout.across) * layout.down;
    const int listed = static_cast<int>(std::min<std::size_t>(
        sections.size(), static_cast<std::size_t>(std::max(header.nxyzt[2], 0))));
    while (layout.count < listed && sections[layout.count].values.size() >= points)
        ++layout.count;
    return layout;
}

MapStats measure_map(const MapLayout& layout, const MapSections& sections)
{
    MapStats stats;
    double squares = 0;
    double count = 0;
    const auto points = static_cast<std::size_t>(layout.across) * layout.down;
    for (int k = 0; k < layout.count; ++k)
        for (std::size_t n = 0; n < points; ++n) {
            const double value = sections[k].values[n];
            if (!std::isfinite(value))
                continue;
            stats.low = count == 0 ? value : std::min(stats.low, value);
            stats.high = count == 0 ? value : std::max(stats.high, value);
            squares += value * value;
            ++count;
        }
    if (count > 0)
        stats.rms = std::sqrt(squares / count);
    return stats;
}

// +-1, 2, 3, ... rms out to the extremes; a side with more than MAX_LEVELS_PER_SIGN
// multiples takes every step-th of them. Negative levels first.
std::vector<Level> choose_levels(const MapStats& stats)
{
    std::vector<Level> levels;
    if (!(stats.rms > 0))
        return levels;
    const int below = static_cast<int>(std::floor(-stats.low / stats.rms));
    const int above = static_cast<int>(std::floor(stats.high / stats.rms));
    auto step_for = [](int multiples) {
        return std::max(1, (multiples + MAX_LEVELS_PER_SIGN - 1) / MAX_LEVELS_PER_SIGN);
    };
    const int down = step_for(below), up = step_for(above);
    for (int m = below / down * down; m >= down; m -= down)
        levels.push_back({-m, -m * stats.rms});
    for (int m = up; m <= above; m += up)
        levels.push_back({m, m * stats.rms});
    return levels;
}

// Every step-th section is drawn, so that at most MAX_DRAWN_SECTIONS are.
int section_step(int count)
{
    return std::max(1, (count + MAX_DRAWN_SECTIONS - 1) / MAX_DRAWN_SECTIONS);
}

std::vector<int> choose_sections(int count)
{
    std::vector<int> drawn;
    for (int k = 0; k < count; k += section_step(count))
        drawn.push_back(k);
    return drawn;
}

bool is_usable_cell(const std::array<double, 6>& cell)
{
    for (int n = 0; n < 6; ++n)
        if (!std::isfinite(cell[n]) || cell[n] <= 0 || (n >= 3 && cell[n] >= 180))
            return false;
    return true;
}

// A section's plane at its true shape: the across and down steps at their lengths in
// the cell and at the angle between their axes (a unit cube when the cell is unusable),
// scaled so the longer side of the plot is PLOT_PIXELS.
PlotFrame plan_frame(const MapLayout& layout, const std::array<double, 6>& given_cell)
{
    const std::array<double, 6> cell =
        is_usable_cell(given_cell) ? given_cell : std::array<double, 6>{1, 1, 1, 90, 90, 90};
    const int a = layout.axis[0], b = layout.axis[1];
    const double angle = cell[3 + (3 - a - b)] * (std::numbers::pi / 180);
    const double across_step = cell[a] / layout.intervals[0];
    const double down_step = cell[b] / layout.intervals[1];
    const double last_i = std::max(layout.across - 1, 0);
    const double last_j = std::max(layout.down - 1, 0);

    PlotFrame frame{0, 0, across_step, 0, down_step * std::cos(angle),
                    -down_step * std::sin(angle), 0, 0};
    double left = 0, right = 0, top = 0, bottom = 0;
    for (double i : {0.0, last_i})
        for (double j : {0.0, last_j}) {
            const auto [x, y] = frame.at(i, j);
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    const double longer = std::max(right - left, bottom - top);
    const double scale = longer > 0 ? PLOT_PIXELS / longer : 1;
    frame.ux *= scale;
    frame.wx *= scale;
    frame.wy *= scale;
    frame.ox = MARGIN_LEFT - left * scale;
    frame.oy = MARGIN_TOP - top * scale;
    frame.width = std::ceil((right - left) * scale + MARGIN_LEFT + MARGIN_RIGHT);
    frame.height = std::ceil((bottom - top) * scale + MARGIN_TOP + MARGIN_BOTTOM);
    return frame;
}

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

std::string trace_level(const float* values, const MapLayout& layout, const PlotFrame& frame,
                        double level)
{
    std::string d;
    for (const ContourPath& path : trace_contours(values, layout.across, layout.down, level))
        append_contour(d, path, frame);
    return d;
}

// Empties the path data of the levels nearest zero, both signs at once, until the rest
// fits SECTION_PATH_BUDGET. Returns the largest multiple left out, 0 when none was.
int drop_nearest_levels(std::vector<std::string>& data, const std::vector<Level>& levels)
{
    std::size_t total = 0;
    for (const std::string& d : data)
        total += d.size();
    int dropped = 0;
    while (total > SECTION_PATH_BUDGET) {
        int nearest = 0;
        for (const Level& level : levels)
            if (std::abs(level.multiple) > dropped &&
                (nearest == 0 || std::abs(level.multiple) < nearest))
                nearest = std::abs(level.multiple);
        for (std::size_t n = 0; n < levels.size(); ++n)
            if (std::abs(levels[n].multiple) == nearest) {
                total -= data[n].size();
                data[n].clear();
            }
        dropped = nearest;
    }
    return dropped;
}

// Fixed notation without trailing zeros: 4.9134, 90, -0.25.
std::string format_number(double value, int decimals)
{
    std::string text;
    append_fixed(text, value, 0, decimals);
    if (text.find('.') != std::string::npos) {
        text.erase(text.find_last_not_of('0') + 1);
        if (text.back() == '.')
            text.pop_back();
    }
    return text == "-0" ? "0" : text;
}

// A fractional coordinate to four decimals, trailing zeros dropped: 0, 0.25, 0.0417.
void append_fraction(std::string& out, double fraction)
{
    out += format_number(fraction, 4);
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

std::string format_multiple(int multiple)
{
    return (multiple < 0 ? "\u2212" : "+") + std::to_string(std::abs(multiple)) + "\u03c3";
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

std::string draw_section(const ContourPageInput& input, const MapLayout& layout,
                         const PlotFrame& frame, const std::vector<Level>& levels, int k,
                         bool shown)
{
    const float* values = input.sections[k].values.data();
    std::vector<std::string> data;
    for (const Level& level : levels)
        data.push_back(trace_level(values, layout, frame, level.value));
    const int dropped = drop_nearest_levels(data, levels);

    std::string svg = open_figure(layout, frame, k, shown, dropped);
    draw_frame(svg, layout, frame);
    for (std::size_t n = 0; n < levels.size(); ++n)
        if (!data[n].empty())
            svg += std::string("<path class=\"") + (levels[n].multiple > 0 ? "p" : "n") +
                   "\" d=\"" + data[n] + "\"/>";
    draw_atoms(svg, input.atoms, layout, frame, k);
    return svg + "</svg></figure>\n";
}

std::string describe_map_type(std::string_view code)
{
    if (code == "DELF")
        return "difference Fourier map (Fobs \u2212 Fcalc)";
    if (code == "FOBS")
        return "Fourier map of Fobs";
    if (code == "FCLC")
        return "Fourier map of Fcalc";
    if (code == "2FDF")
        return "Fourier map of 2Fobs \u2212 Fcalc";
    if (code == "PTSN")
        return "Patterson map";
    if (code == "DPTS")
        return "difference Patterson map";
    return "Fourier map";
}

std::string describe_cell(const std::array<double, 6>& cell)
{
    if (!is_usable_cell(cell))
        return "cell unknown: the plots are drawn square, in fractional coordinates";
    const char* names[6] = {"a", "b", "c", "\u03b1", "\u03b2", "\u03b3"};
    std::string text = "cell";
    for (int n = 0; n < 6; ++n)
        text += std::string(" ") + names[n] + " = " + format_number(cell[n], 4) +
                (n == 2 ? " \u00c5," : n == 5 ? "\u00b0" : "");
    return text;
}

// Intervals per cell and the map's extent along x, y and z, and the section axis.
std::string describe_grid(const MapHeader& header, const MapLayout& layout)
{
    std::string grid = "grid";
    std::string extent = "map";
    for (int axis = 0; axis < 3; ++axis) {
        const int d = static_cast<int>(std::find(layout.axis, layout.axis + 3, axis) -
                                       layout.axis);
        const int points[3] = {layout.across, layout.down, layout.count};
        const std::string name = std::string(axis == 0 ? " " : ", ") + AXIS_NAME[axis] + ' ';
        grid += name + std::to_string(header.nxyzi[d]);
        extent += name;
        append_fraction(extent, layout.fraction(d, 0));
        extent += " to ";
        append_fraction(extent, layout.fraction(d, std::max(points[d] - 1, 0)));
    }
    return grid + " intervals per cell; " + extent + "; sections along " +
           AXIS_NAME[layout.axis[2]];
}

void emit_head(TextPieces& page, const std::string& title)
{
    page.append("<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">\n<title>");
    page.append(title);
    page.append(
        "</title>\n<style>\n"
        "body{font:14px/1.4 system-ui,sans-serif;margin:16px;color:#222;background:#fff}\n"
        "h1{font-size:20px;margin:0 0 4px}p{margin:2px 0}figure{margin:8px 0}\n"
        "#nav{margin:8px 0;display:flex;gap:8px;align-items:center}#slider{width:360px}\n"
        ".legend span{display:inline-block;margin-right:12px;white-space:nowrap}\n"
        "svg.plot{max-width:100%;height:auto}text{font-size:12px;fill:#333}\n"
        ".p,.n,.frame,.cell{fill:none;stroke-width:1}.p{stroke:#18803a}\n"
        ".n{stroke:#c62828;stroke-dasharray:4 3}.frame{stroke:#666}\n"
        ".cell{stroke:#aaa;stroke-dasharray:2 3}.atom circle{fill:#333;stroke:#fff}\n"
        ".atom text{font-weight:600}\n"
        "</style></head><body>\n");
}

void emit_legend(TextPieces& page, const std::vector<Level>& levels, const MapStats& stats)
{
    std::string text = "<p>\u03c3 = " + format_number(stats.rms, 4) +
                       " (rms deviation from 0); values from " + format_number(stats.low, 4) +
                       " to " + format_number(stats.high, 4) + "</p>\n<p class=\"legend\">";
    if (levels.empty())
        text += "No contours: the map has no spread about zero.";
    for (const Level& level : levels)
        text += std::string("<span><svg width=\"28\" height=\"8\"><path class=\"") +
                (level.multiple > 0 ? "p" : "n") + "\" d=\"M0 4H28\"/></svg> " +
                format_multiple(level.multiple) + " = " + format_number(level.value, 4) +
                "</span>";
    page.append(text + "</p>\n");
}

void emit_navigation(TextPieces& page, std::size_t drawn, int count)
{
    std::string text = "<div id=\"nav\"><button id=\"prev\">\u25c0</button>"
                       "<input id=\"slider\" type=\"range\" min=\"0\" max=\"" +
                       std::to_string(drawn - 1) +
                       "\" value=\"0\"><button id=\"next\">\u25b6</button>"
                       "<span id=\"where\"></span></div>\n<p>Arrow keys, PageUp/PageDown, "
                       "Home/End or the slider move through the sections";
    if (static_cast<int>(drawn) < count)
        text += "; one in every " + std::to_string(section_step(count)) + " of the " +
                std::to_string(count) + " sections is drawn";
    page.append(text + ". Atoms within half a section spacing of the plane are marked.</p>\n");
}

constexpr const char* NAVIGATION_SCRIPT = R"(<script>
(() => {
  const figures = document.querySelectorAll('figure.sec');
  const slider = document.getElementById('slider');
  const where = document.getElementById('where');
  let shown = 0;
  function show(n) {
    n = Math.max(0, Math.min(figures.length - 1, n));
    figures[shown].hidden = true;
    shown = n;
    figures[n].hidden = false;
    slider.value = n;
    where.textContent = figures[n].dataset.label;
  }
  const steps = {ArrowRight: 1, ArrowDown: 1, PageDown: 1, ArrowLeft: -1, ArrowUp: -1,
                 PageUp: -1, Home: -1e9, End: 1e9};
  document.addEventListener('keydown', event => {
    if (event.target === slider || !(event.key in steps)) return;
    show(shown + steps[event.key]);
    event.preventDefault();
  });
  slider.addEventListener('input', () => show(+slider.value));
  document.getElementById('prev').addEventListener('click', () => show(shown - 1));
  document.getElementById('next').addEventListener('click', () => show(shown + 1));
  show(0);
})();
</script>
)";

}  // namespace

std::string escape_html(std::string_view text)
{
    std::string escaped;
    escaped.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&': escaped += "&amp;"; break;
        case '<': escaped += "&lt;"; break;
        case '>': escaped += "&gt;"; break;
        case '"': escaped += "&quot;"; break;
        case '\'': escaped += "&#39;"; break;
        default: escaped += c;
        }
    }
    return escaped;
}

void emit_contour_page(const ContourPageInput& input,
                       const std::function<void(std::string_view)>& sink)
{
    const MapHeader& header = input.header;
    const MapLayout layout = describe_layout(header, input.sections);
    const MapStats stats = measure_map(layout, input.sections);
    const std::vector<Level> levels = choose_levels(stats);
    const std::vector<int> drawn = choose_sections(layout.count);
    const PlotFrame frame = plan_frame(layout, input.cell);

    const std::string map_type = escape_html(field_text(header.maptyp, sizeof header.maptyp));
    const std::string phase = escape_html(input.phase_name);
    TextPieces page(sink);
    emit_head(page, map_type + " map of " + phase);
    page.append("<h1>" + map_type + " map of " + phase + "</h1>\n<p>" +
             describe_map_type(field_text(header.maptyp, sizeof header.maptyp)) + ": " +
             escape_html(field_text(header.title, sizeof header.title)) + "</p>\n<p>" +
             describe_cell(input.cell) + "</p>\n<p>" + describe_grid(header, layout) +
             "</p>\n");
    emit_legend(page, levels, stats);
    if (drawn.empty()) {
        page.append("<p>The map has no points to draw.</p>\n</body></html>\n");
        page.flush();
        return;
    }
    emit_navigation(page, drawn.size(), layout.count);
    for (std::size_t n = 0; n < drawn.size(); ++n)
        page.append(draw_section(input, layout, frame, levels, drawn[n], n == 0));
    page.append(NAVIGATION_SCRIPT);
    page.append("</body></html>\n");
    page.flush();
}

void write_contour_page(const Conversion& conversion, OutputFile& file)
{
    const CellParameters& cell = conversion.phase.cell;
    const ContourPageInput input{conversion.map.header, conversion.map.sections,
                                 conversion.phase.name,
                                 {cell.a, cell.b, cell.c, cell.alpha, cell.beta, cell.gamma},
                                 conversion.whole_cell->atoms};
    emit_contour_page(input, [&](std::string_view text) { write_output(file, text); });
}

}  // namespace grix
