#include "driver/conversation.hpp"

#include "readers/paths.hpp"

#include <algorithm>
#include <array>
#include <ostream>
#include <string_view>

namespace grix {
namespace {

constexpr const char* BANNER =
    "\n"
    "********************************************\n"
    "*                GRIX V1.1                 *\n"
    "*                                          *\n"
    "********************************************\n"
    "\n"
    "Command line options: grix [options] expnam\n"
    "-ascii #     Output expnam.txt ASCII file with precision #\n"
    "-wingx       Output expnam.map WinGX format. \n"
    "-march       Output expnam.fou Marching Cubes format. \n"
    "-xd          Output expnam.grd Project XD format.\n"
    "-delf        Input Fourier file format is DELF.\n"
    "-fobs        Input Fourier file format is FOBS.\n"
    "-fclc        Input Fourier file format is FCLC.\n"
    "-nfdf        Input Fourier file format is NFDF.\n"
    "-ptsn        Input Fourier file format is PTSN.\n"
    "-dpts        Input Fourier file format is DPTS.\n"
    "Defaults to FCLC input, ASCII precision 0 output if\n"
    "is an error while reading command line. \n\n";

// Asks with `prompt` until the upper-cased answer is accepted by `accept`.
template <typename Accept>
std::string ask_choice(Console& console, const char* prompt, const char* what,
                       const char* error, Accept accept)
{
    for (;;) {
        print_to(console.out, "%s", prompt);
        std::string answer = to_upper_ascii(read_word(console, what));
        if (accept(answer))
            return answer;
        print_to(console.out, "%s", error);
    }
}

}  // namespace

void print_banner(Console& console)
{
    print_to(console.out, "%s", BANNER);
}

void ask_run_choices(RunOptions& options, Console& console)
{
    print_to(console.out, "Enter EXPNAM: ");
    options.expnam = read_word(console, "the experiment name");

    options.map_type = ask_choice(
        console,
        "Enter type of Fourier map the extract.\n"
        "Type (DELF, FOBS, FCLC, NFDF, PTSN or DPTS): ",
        "the map type", "Type must be one of DELF, FOBS, FCLC, NFDF, PTSN or DPTS\n\n",
        [](const std::string& answer) {
            return std::find(MAP_TYPES.begin(), MAP_TYPES.end(), answer) != MAP_TYPES.end();
        });
    print_to(console.out, "\n");

    const std::string format = ask_choice(
        console,
        "Enter output format type.\n"
        "Type     Description\n"
        "ASCII    Plain ASCII dump\n"
        "WINGX    WinGX map format (binary)\n"
        "MARCH    Marching Cube format (text)\n"
        "XD       Project XD *.grd format (text)\n"
        "Type: ",
        // The prompt and its error name the four formats they always named; every format
        // of the table is an answer all the same.
        "the output format", "Type must be one of ASCII, WINGX, MARCH or XD\n\n",
        [](const std::string& answer) { return find_format_named(answer) != nullptr; });
    options.format = find_format_named(format);
    print_to(console.out, "\n");
}

void print_map_header(Console& console, const MapHeader& header, std::int64_t record_size)
{
    std::ostream& out = console.out;
    print_to(out, "title = %s\n", header.title);
    print_to(out, "phase = %s\n", header.phase);
    print_to(out, "maptyp = %s\n", header.maptyp);
    print_to(out, "cell: ");
    for (float value : header.cell)
        print_to(out, "%f ", static_cast<double>(value));
    print_to(out, "\nrecord_size = %d\n", static_cast<int>(record_size));
    print_to(out, "nxyzi: ");
    for (std::int32_t value : header.nxyzi)
        print_to(out, "%d ", value);
    print_to(out, "\nnxyzo: ");
    for (std::int32_t value : header.nxyzo)
        print_to(out, "%d ", value);
    print_to(out, "\nnxyzt: ");
    for (std::int32_t value : header.nxyzt)
        print_to(out, "%d ", value);
    print_to(out, "\nmsect = %d\n", header.msect);
    print_to(out, "nrho = %d\n", header.nrho);
    print_to(out, "rmax = %f, rmin = %f, srho = %f\n", static_cast<double>(header.rmax),
             static_cast<double>(header.rmin), static_cast<double>(header.srho));
}

std::size_t choose_phase(Console& console, const std::vector<Phase>& phases)
{
    for (std::size_t p = 0; p < phases.size(); ++p) {
        const CellParameters& cell = phases[p].cell;
        print_to(console.out, "Phase %zu: Phase Name = %s\n", p + 1, phases[p].name.c_str());
        print_to(console.out, "Cell: %9.4f %9.4f %9.4f %9.4f %9.4f %9.4f\n",
                 static_cast<double>(cell.a), static_cast<double>(cell.b),
                 static_cast<double>(cell.c), static_cast<double>(cell.alpha),
                 static_cast<double>(cell.beta), static_cast<double>(cell.gamma));
    }
    if (phases.size() == 1)
        return 0;
    const int count = static_cast<int>(phases.size());
    for (;;) {
        print_to(console.out, "Which phase is the fourier map from (1 - %d): ", count);
        const std::optional<int> answer = read_int_answer(console, "the phase number");
        if (answer && *answer >= 1 && *answer <= count)
            return static_cast<std::size_t>(*answer - 1);
    }
}

std::string ask_output_name(Console& console)
{
    print_to(console.out, "Enter output file name: ");
    return read_word(console, "the output file name");
}

int ask_precision(Console& console)
{
    for (;;) {
        print_to(console.out, "Enter precision with which to output ascii density data (0-6): ");
        const std::optional<int> answer = read_int_answer(console, "the ascii precision");
        if (answer && *answer >= 0 && *answer <= 6)
            return *answer;
    }
}

}  // namespace grix
