#include "writers/contour_page.hpp"

#include "common/trim.hpp"
#include "writers/section_svg.hpp"
#include "writers/whole_cell_text.hpp"

#include <algorithm>

namespace grix {
namespace {

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
std::string describe_grid(const MapGeometry& geometry, const MapLayout& layout)
{
    std::string grid = "grid";
    std::string extent = "map";
    for (int axis = 0; axis < 3; ++axis) {
        const int d = static_cast<int>(std::find(layout.axis, layout.axis + 3, axis) -
                                       layout.axis);
        const int points[3] = {layout.across, layout.down, layout.count};
        const std::string name = std::string(axis == 0 ? " " : ", ") + AXIS_NAME[axis] + ' ';
        grid += name + std::to_string(geometry.divisions[static_cast<std::size_t>(d)]);
        extent += name;
        append_fraction(extent, layout.fraction(d, 0));
        extent += " to ";
        append_fraction(extent, layout.fraction(d, points[d] - 1));
    }
    return grid + " intervals per cell; " + extent + "; sections along " +
           AXIS_NAME[layout.axis[2]];
}

void emit_head(OutputSink& page, const std::string& title)
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

void emit_legend(OutputSink& page, const std::vector<Level>& levels, const ValueStatistics& stats)
{
    std::string text = "<p>\u03c3 = " + format_number(stats.rms_about_zero, 4) +
                       " (rms deviation from 0); values from " + format_number(stats.minimum, 4) +
                       " to " + format_number(stats.maximum, 4) + "</p>\n<p class=\"legend\">";
    if (levels.empty())
        text += "No contours: the map has no spread about zero.";
    for (const Level& level : levels)
        text += std::string("<span><svg width=\"28\" height=\"8\"><path class=\"") +
                (level.multiple > 0 ? "p" : "n") + "\" d=\"M0 4H28\"/></svg> " +
                format_multiple(level.multiple) + " = " + format_number(level.value, 4) +
                "</span>";
    page.append(text + "</p>\n");
}

void emit_navigation(OutputSink& page, std::size_t drawn, int count)
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

void emit_contour_page(const ContourPageInput& input, OutputSink& page)
{
    const MapHeader& header = input.map.header;
    const MapLayout layout = describe_layout(input.map.geometry);
    const ValueStatistics stats = summarise_values(input.map.values.all());
    const std::vector<Level> levels = choose_levels(stats);
    const std::vector<int> drawn = choose_sections(layout.count);
    const PlotFrame frame = plan_frame(layout, input.cell);

    const std::string map_type = escape_html(field_text(header.maptyp, sizeof header.maptyp));
    const std::string phase = escape_html(input.phase_name);
    emit_head(page, map_type + " map of " + phase);
    page.append("<h1>" + map_type + " map of " + phase + "</h1>\n<p>" +
             describe_map_type(field_text(header.maptyp, sizeof header.maptyp)) + ": " +
             escape_html(field_text(header.title, sizeof header.title)) + "</p>\n<p>" +
             describe_cell(input.cell) + "</p>\n<p>" +
             describe_grid(input.map.geometry, layout) + "</p>\n");
    emit_legend(page, levels, stats);
    emit_navigation(page, drawn.size(), layout.count);
    for (std::size_t n = 0; n < drawn.size(); ++n)
        page.append(draw_section(input.map.section(static_cast<std::size_t>(drawn[n])),
                                 input.atoms, layout, frame, levels, drawn[n], n == 0));
    page.append(NAVIGATION_SCRIPT);
    page.append("</body></html>\n");
}

void write_contour_page(const WholeCellConversion& conversion, OutputSink& sink)
{
    const CellParameters& cell = conversion.phase.cell;
    const ContourPageInput input{conversion.map,
                                 conversion.phase.name,
                                 {cell.a, cell.b, cell.c, cell.alpha, cell.beta, cell.gamma},
                                 conversion.whole_cell.atoms};
    emit_contour_page(input, sink);
}

}  // namespace grix
