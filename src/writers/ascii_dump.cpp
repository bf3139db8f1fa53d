#include "writers/ascii_dump.hpp"

#include "common/printf_text.hpp"
#include "common/text.hpp"
#include "writers/grid_walk.hpp"

#include <algorithm>

namespace grix {
namespace {

// Values of a row formatted at a time on the shipped path.
constexpr std::int64_t VALUE_BATCH = 256;

// The grid-step lines of one section direction. Line n reports the cell edge
// `edge[n]` (0 = a, 1 = b, 2 = c) over the nxyzi slot STEP_DIVISOR[n].
struct StepLines {
    const char* text[3];
    int edge[3];
};

constexpr int STEP_DIVISOR[3] = {2, 0, 1};

constexpr StepLines STEP_LINES[3] = {
    {{"Sections increase up x in steps of %f Angstroms.\n",
      "y increasing left to right in %f Angstrom steps.\n",
      "z increasing top to bottom in %f Angstrom steps.\n"},
     {0, 1, 2}},
    {{"Sections increase up y in steps of %f Angstroms.\n",
      "z increasing left to right in %f Angstrom steps.\n",
      "x increasing top to bottom in %f Angstrom steps.\n"},
     {1, 2, 0}},
    {{"Sections increase up z in steps of %f Angstroms.\n",
      "x increasing left to right in %f Angstrom steps.\n",
      "y increasing top to bottom in %f Angstrom steps.\n"},
     {2, 0, 1}},
};

// The cell, the atoms and the grid, everything before the first section.
std::string describe_map(const Phase& phase, const MapHeader& header)
{
    const CellParameters& cell = phase.cell;
    const double edges[3] = {cell.a, cell.b, cell.c};
    std::string text = printf_text("Unit cell: %f %f %f %f %f %f\n", edges[0], edges[1],
                                   edges[2], double{cell.alpha}, double{cell.beta},
                                   double{cell.gamma});
    text += printf_text("Number of atoms: %d\n", phase.atom_count);
    for (const Atom& atom : phase.atoms)
        text += printf_text("%s %f %f %f %f\n", atom.label.c_str(), double{atom.x},
                            double{atom.y}, double{atom.z}, double{atom.occupancy});
    text += printf_text("Number of sections: %d\n", header.nxyzt[2]);
    text += printf_text("Each section: %d grid points across by %d grid points down.\n",
                   header.nxyzt[0], header.nxyzt[1]);
    if (header.msect < 1 || header.msect > 3)
        return text + "Unknown section direction.\n";
    const StepLines& lines = STEP_LINES[header.msect - 1];
    for (int n = 0; n < 3; ++n)
        text += printf_text(lines.text[n], edges[lines.edge[n]] / header.nxyzi[STEP_DIVISOR[n]]);
    return text;
}

// Values of one row, each "%*.*f ": `precision` decimals in a field of `precision` + 6,
// one blank after.
void append_densities(std::string& text, const float* values, std::int64_t count,
                      int precision)
{
    char fields[VALUE_BATCH * (MAX_FLOAT_CHARS + 1)];
    for (std::int64_t n = 0; n < count; n += VALUE_BATCH) {
        const auto batch = static_cast<std::size_t>(std::min(VALUE_BATCH, count - n));
        text.append(fields, write_fixed_floats(fields, values + n, batch, precision + 6,
                                               precision, ' '));
    }
}

// The sections as the map holds them: a walk with points across, rows down and planes
// the sections; each section opens with its heading, each row ends with a line end.
void append_section_piece(const MapHeader& header, const MapSections& sections,
                          const GridWalk& walk, int precision, const WalkPiece& piece,
                          std::string& text)
{
    WalkPiece at = piece;
    for (std::int64_t r = 0; r < piece.rows; ++r) {
        if (at.row == 0 && at.first == 0)
            text += printf_text("\nSection %d\n", static_cast<int>(at.plane));
        const float* row = sections[static_cast<std::size_t>(at.plane)].values.data() +
                           at.row * header.nxyzt[0];
        append_densities(text, row + at.first, piece.last - at.first, precision);
        if (piece.last == walk.points)
            text += '\n';
        next_row(walk, at);
    }
}

void write_sections(OutputSink& sink, const FourierMap& map, int precision, int threads)
{
    const MapHeader& header = map.header;
    if (header.nxyzt[1] <= 0) {
        // Sections without rows: only their headings.
        for (int k = 0; k < header.nxyzt[2]; ++k)
            sink.append(printf_text("\nSection %d\n", k));
        return;
    }
    GridWalk walk;
    walk.points = std::max(header.nxyzt[0], 0);
    walk.rows = header.nxyzt[1];
    walk.planes = header.nxyzt[2];
    write_grid_walk(sink, walk, threads, [&](const WalkPiece& piece, std::string& text) {
        append_section_piece(header, map.sections, walk, precision, piece, text);
    });
}

}  // namespace

void write_ascii_dump(const Conversion& conversion, OutputSink& sink)
{
    sink.append(describe_map(conversion.phase, conversion.map.header));
    write_sections(sink, conversion.map, conversion.precision, conversion.threads);
}

}  // namespace grix
