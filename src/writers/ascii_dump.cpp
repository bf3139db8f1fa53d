#include "writers/ascii_dump.hpp"

#include "common/text.hpp"
#include "writers/grid_walk.hpp"

#include <algorithm>
#include <cstdio>
#include <cstring>

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

int ask_precision(Console& console)
{
    for (;;) {
        print(console.out, "Enter precision with which to output ascii density data (0-6): ");
        const std::optional<int> answer = read_int_answer(console, "the ascii precision");
        if (answer && *answer >= 0 && *answer <= 6)
            return *answer;
    }
}

// The cell, the atoms and the grid, everything before the first section.
std::string describe_map(const StructureInfo& structure, const MapHeader& header)
{
    const double edges[3] = {structure.a, structure.b, structure.c};
    std::string text = format("Unit cell: %f %f %f %f %f %f\n", edges[0], edges[1], edges[2],
                              double{structure.alpha}, double{structure.beta},
                              double{structure.gamma});
    text += format("Number of atoms: %d\n", structure.natoms);
    for (int i = 0; i < std::min(structure.natoms, MAXATOMS); ++i) {
        const char* slot = structure.atom_label[i];
        const std::string label(slot, strnlen(slot, sizeof structure.atom_label[i]));
        text += format("%s %f %f %f %f\n", label.c_str(), double{structure.x[i]},
                       double{structure.y[i]}, double{structure.z[i]},
                       double{structure.occupancy[i]});
    }
    text += format("Number of sections: %d\n", header.nxyzt[2]);
    text += format("Each section: %d grid points across by %d grid points down.\n",
                   header.nxyzt[0], header.nxyzt[1]);
    if (header.msect < 1 || header.msect > 3)
        return text + "Unknown section direction.\n";
    const StepLines& lines = STEP_LINES[header.msect - 1];
    for (int n = 0; n < 3; ++n)
        text += format(lines.text[n], edges[lines.edge[n]] / header.nxyzi[STEP_DIVISOR[n]]);
    return text;
}

// One density as "%*.*f ": `precision` decimals in a field of `precision` + 6, one blank after.
void append_density(std::string& text, float value, int precision)
{
    char field[64];
    const int length = std::snprintf(field, sizeof field, "%*.*f ", precision + 6, precision,
                                     double{value});
    if (length >= 0 && static_cast<std::size_t>(length) < sizeof field)
        text.append(field, static_cast<std::size_t>(length));
    else
        text += format("%*.*f ", precision + 6, precision, double{value});
}

// Values of one row, each "%*.*f ": printf on the plain path, exact to_chars-equivalent
// formatting without printf on the shipped one.
template <WritePath PATH>
void append_densities(std::string& text, const float* values, std::int64_t count,
                      int precision)
{
    if constexpr (PATH == WritePath::plain) {
        for (std::int64_t n = 0; n < count; ++n)
            append_density(text, values[n], precision);
    } else {
        char fields[VALUE_BATCH * (MAX_FLOAT_CHARS + 1)];
        for (std::int64_t n = 0; n < count; n += VALUE_BATCH) {
            const auto batch = static_cast<std::size_t>(std::min(VALUE_BATCH, count - n));
            text.append(fields, write_fixed_floats(fields, values + n, batch, precision + 6,
                                                   precision, ' '));
        }
    }
}

// The sections as the map holds them: a walk with points across, rows down and planes
// the sections; each section opens with its heading, each row ends with a line end.
template <WritePath PATH>
void append_section_piece(const MapHeader& header, const MapSections& sections,
                          const GridWalk& walk, int precision, const WalkPiece& piece,
                          std::string& text)
{
    WalkPiece at = piece;
    for (std::int64_t r = 0; r < piece.rows; ++r) {
        if (at.row == 0 && at.first == 0)
            text += format("\nSection %d\n", static_cast<int>(at.plane));
        const float* row = sections[static_cast<std::size_t>(at.plane)].values.data() +
                           at.row * header.nxyzt[0];
        append_densities<PATH>(text, row + at.first, piece.last - at.first, precision);
        if (piece.last == walk.points)
            text += '\n';
        next_row(walk, at);
    }
}

void write_sections(OutputFile& file, const MapHeader& header, const MapSections& sections,
                    int precision, const WriteOptions& options)
{
    if (header.nxyzt[1] <= 0) {
        // Sections without rows: only their headings.
        std::string text;
        for (int k = 0; k < header.nxyzt[2]; ++k) {
            text += format("\nSection %d\n", k);
            write_when_full(file, text);
        }
        write_output(file, text);
        return;
    }
    GridWalk walk;
    walk.points = std::max(header.nxyzt[0], 0);
    walk.rows = header.nxyzt[1];
    walk.planes = header.nxyzt[2];
    write_walk_by_path(file, walk, options, [&](auto path, const WalkPiece& piece,
                                                std::string& text) {
        append_section_piece<decltype(path)::value>(header, sections, walk, precision, piece,
                                                    text);
    });
}

}  // namespace

void write_ascii_dump(const StructureInfo& structure, const MapHeader& header,
                      const MapSections& sections, int batch, int precision,
                      const std::string& expnam, Console& console,
                      const WriteOptions& options)
{
    OutputFile file = open_output_file(console, batch, expnam, ".txt", OutputMode::text);
    if (!batch)
        precision = ask_precision(console);
    write_output(file, describe_map(structure, header));
    write_sections(file, header, sections, precision, options);
    close_output_file(file);
}

void write_ascii_dump(const StructureInfo& structure, const MapHeader& header,
                      const MapSections& sections, int batch, int precision,
                      const std::string& expnam, Console& console)
{
    write_ascii_dump(structure, header, sections, batch, precision, expnam, console,
                     WriteOptions{});
}
