#include "writers/ascii_dump.hpp"

#include "writers/output_file.hpp"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

// The text is handed to the file in pieces of about this size: a dense map at six
// decimals runs to many megabytes.
constexpr std::size_t CHUNK_BYTES = 1 << 20;

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

}  // namespace

void write_ascii_dump(const StructureInfo& structure, const MapHeader& header,
                      const MapSections& sections, int batch, int precision,
                      const std::string& expnam, Console& console)
{
    OutputFile file = open_output_file(console, batch, expnam, ".txt", OutputMode::text);
    if (!batch)
        precision = ask_precision(console);

    std::string text = describe_map(structure, header);
    const int across = header.nxyzt[0];
    for (int k = 0; k < header.nxyzt[2]; ++k) {
        text += format("\nSection %d\n", k);
        const float* values = sections[static_cast<std::size_t>(k)].values.data();
        for (int j = 0; j < header.nxyzt[1]; ++j) {
            const float* row = values + static_cast<std::ptrdiff_t>(j) * across;
            for (int i = 0; i < across; ++i)
                append_density(text, row[i], precision);
            text += '\n';
            if (text.size() >= CHUNK_BYTES) {
                write_output(file, text);
                text.clear();
            }
        }
    }
    write_output(file, text);
    close_output_file(file);
}
