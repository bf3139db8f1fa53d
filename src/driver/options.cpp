#include "driver/options.hpp"

#include "common/fatal.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <climits>
#include <string_view>

namespace {

struct OptionEffect {
    std::string_view option;
    std::string RunOptions::*field;
    std::string_view value;
};

// Batch options that set a text choice; "-a" and "-ascii" also take a precision.
constexpr std::array<OptionEffect, 16> OPTION_EFFECTS{{
    {"-a", &RunOptions::output_type, "ASCII"},
    {"-ascii", &RunOptions::output_type, "ASCII"},
    {"-w", &RunOptions::output_type, "WINGX"},
    {"-wingx", &RunOptions::output_type, "WINGX"},
    {"-m", &RunOptions::output_type, "MARCH"},
    {"-march", &RunOptions::output_type, "MARCH"},
    {"-x", &RunOptions::output_type, "XD"},
    {"-xd", &RunOptions::output_type, "XD"},
    {"-c", &RunOptions::output_type, "CCP4"},
    {"-ccp4", &RunOptions::output_type, "CCP4"},
    {"-delf", &RunOptions::map_type, "DELF"},
    {"-fobs", &RunOptions::map_type, "FOBS"},
    {"-fclc", &RunOptions::map_type, "FCLC"},
    {"-nfdf", &RunOptions::map_type, "NFDF"},
    {"-ptsn", &RunOptions::map_type, "PTSN"},
    {"-dpts", &RunOptions::map_type, "DPTS"},
}};

constexpr std::array<std::string_view, 6> MAP_TYPES{"DELF", "FOBS", "FCLC",
                                                    "NFDF", "PTSN", "DPTS"};
constexpr std::array<std::string_view, 4> OUTPUT_TYPES{"ASCII", "WINGX", "MARCH", "XD"};

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

// atoi: leading white space, an optional sign, then decimal digits up to the first
// other character. A value beyond int saturates instead of overflowing; the caller
// refuses it as out of range anyway.
long long convert_like_atoi(std::string_view text)
{
    std::size_t at = 0;
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at])))
        ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-'))
        negative = text[at++] == '-';
    long long value = 0;
    for (; at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])); ++at)
        value = std::min(value * 10 + (text[at] - '0'), static_cast<long long>(INT_MAX) + 1);
    return negative ? -value : value;
}

int convert_precision(std::string_view text)
{
    const long long precision = convert_like_atoi(text);
    return precision < 0 || precision > 6 ? 0 : static_cast<int>(precision);
}

void to_upper(std::string& text)
{
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

template <std::size_t N>
bool is_one_of(const std::string& word, const std::array<std::string_view, N>& choices)
{
    return std::find(choices.begin(), choices.end(), word) != choices.end();
}

void check_expnam_length(const std::string& expnam)
{
    if (expnam.size() > MAX_EXPNAM)
        throw FatalError(format("Experiment name is longer than %zu characters.\n", MAX_EXPNAM));
}

// Asks with `prompt` until the upper-cased answer is one of `choices`. An answer longer
// than the name buffers is simply a wrong answer.
template <std::size_t N>
std::string ask_choice(Console& console, const char* prompt, const char* what,
                       const std::array<std::string_view, N>& choices, const char* error)
{
    for (;;) {
        print(console.out, "%s", prompt);
        std::string answer = read_word(console, what);
        to_upper(answer);
        if (answer.size() <= MAX_EXPNAM && is_one_of(answer, choices))
            return answer;
        print(console.out, "%s", error);
    }
}

}  // namespace

RunOptions read_command_line(const std::vector<std::string>& args)
{
    RunOptions options;
    if (args.size() <= 2) {
        options.show_header = args.size() == 2 && args[1] == "-v";
        return options;
    }
    options.batch = 1;
    options.expnam = args.back();
    check_expnam_length(options.expnam);
    for (std::size_t i = 1; i + 1 < args.size(); ++i) {
        const std::string& arg = args[i];
        for (const OptionEffect& effect : OPTION_EFFECTS) {
            if (arg == effect.option)
                options.*effect.field = effect.value;
        }
        if (arg == "-a" || arg == "-ascii")
            options.precision = convert_precision(args[i + 1]);
    }
    return options;
}

void print_banner(Console& console)
{
    print(console.out, "%s", BANNER);
}

void ask_run_choices(RunOptions& options, Console& console)
{
    print(console.out, "Enter EXPNAM: ");
    options.expnam = read_word(console, "the experiment name");
    check_expnam_length(options.expnam);

    options.map_type = ask_choice(
        console,
        "Enter type of Fourier map the extract.\n"
        "Type (DELF, FOBS, FCLC, NFDF, PTSN or DPTS): ",
        "the map type", MAP_TYPES,
        "Type must be one of DELF, FOBS, FCLC, NFDF, PTSN or DPTS\n\n");
    print(console.out, "\n");

    options.output_type = ask_choice(
        console,
        "Enter output format type.\n"
        "Type     Description\n"
        "ASCII    Plain ASCII dump\n"
        "WINGX    WinGX map format (binary)\n"
        "MARCH    Marching Cube format (text)\n"
        "XD       Project XD *.grd format (text)\n"
        "Type: ",
        "the output format", OUTPUT_TYPES,
        "Type must be one of ASCII, WINGX, MARCH or XD\n\n");
    print(console.out, "\n");
}
