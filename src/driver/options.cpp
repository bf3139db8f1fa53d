#include "driver/options.hpp"

#include "common/printf_text.hpp"
#include "readers/paths.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <climits>
#include <string_view>

namespace grix {
namespace {

// The option of a map type: "-delf" for DELF.
std::string map_type_option(std::string_view type)
{
    std::string option = to_lower_ascii(std::string(type));
    return option.insert(0, 1, '-');
}

// atoi: leading white space, an optional sign, then decimal digits up to the first
// other character. A value beyond int is clamped to INT_MIN or INT_MAX instead of
// overflowing; it is out of every range the options accept anyway.
int convert_like_atoi(std::string_view text)
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
    return static_cast<int>(std::clamp<long long>(negative ? -value : value, INT_MIN, INT_MAX));
}

// The precision of "-a": a number outside 0 to 6 gives 0, and is kept to be warned of.
void take_precision(RunOptions& options, std::string_view text)
{
    const int precision = convert_like_atoi(text);
    const bool in_range = precision >= 0 && precision <= 6;
    options.precision = in_range ? precision : 0;
    options.refused_precision = in_range ? std::nullopt : std::optional<int>(precision);
}

bool is_phase_option(std::string_view arg)
{
    return arg == "-p" || arg == "-phase";
}

// A count of peaks below 1 asks for the default.
int convert_peak_count(std::string_view text)
{
    const long long count = convert_like_atoi(text);
    return count < 1 ? DEFAULT_PEAK_COUNT : static_cast<int>(std::min<long long>(count, INT_MAX));
}

// Options apply in command-line order: a later one overrides an earlier one. Returns
// whether `arg` is an option at all.
bool apply_option(RunOptions& options, const std::string& arg, const std::string& next)
{
    if (const OutputFormat* format = find_format_by_option(arg)) {
        options.format = format;
        if (format->asks_precision)
            take_precision(options, next);
        return true;
    }
    if (arg == "-full") {
        options.full = true;
        return true;
    }
    if (is_phase_option(arg)) {
        options.phase = convert_like_atoi(next);
        return true;
    }
    if (arg == "-info") {
        options.request = Request::info;
        return true;
    }
    if (arg == "-peaks") {
        options.request = Request::peaks;
        options.peak_count = convert_peak_count(next);
        return true;
    }
    const auto type = std::find_if(MAP_TYPES.begin(), MAP_TYPES.end(), [&](std::string_view type) {
        return arg == map_type_option(type);
    });
    if (type == MAP_TYPES.end())
        return false;
    options.map_type = *type;
    return true;
}

// Whether the argument after `option` is its value, examined as an option in its own
// turn but never reported as ignored.
bool takes_examined_value(std::string_view option)
{
    const OutputFormat* format = find_format_by_option(option);
    return (format != nullptr && format->asks_precision) || is_phase_option(option) ||
           option == "-peaks";
}

}  // namespace

std::string usage_text()
{
    std::string text = "Usage: grix [options] expnam    converts expnam's Fourier map (batch mode)\n"
                       "       grix                     asks for everything (interactive mode)\n"
                       "       grix -v                  the same, showing the map file's header\n"
                       "Output format (default: ASCII dump with precision 0):\n";
    for (const OutputFormat& format : output_formats()) {
        std::string options(format.short_option);
        options.append(options.empty() ? "" : ", ").append(format.long_option);
        options.append(format.asks_precision ? " N" : "");
        text += printf_text("  %-14s expnam%-6s %s\n", options.c_str(),
                            std::string(format.extension).c_str(),
                            std::string(format.description).c_str());
    }
    text += "Map type (default: FCLC):\n ";
    for (const std::string_view type : MAP_TYPES)
        text.append(" ").append(map_type_option(type));
    text += "\n"
            "Phase of the experiment file (default: the one whose cell is the map's):\n"
            "  -p, -phase N   the N-th phase\n"
            "Output name (default: expnam and the format's extension):\n"
            "  -o NAME        write to NAME, never taken as an option; -o - is standard output\n"
            "Instead of converting, print on standard output and write nothing:\n"
            "  -info          the map's grid, extent and values, the experiment file's phases\n"
            "  -peaks N       the N highest maxima and N deepest minima with their nearest\n"
            "                 atoms (N below 1: 20)\n"
            "With -ccp4: -full writes the whole cell, completed by the space group.\n"
            "Alone: -h, --help this text; --version the version.\n";
    return text;
}

RunOptions read_command_line(const std::vector<std::string>& args)
{
    RunOptions options;
    if (args.size() == 2 && (args[1] == "-h" || args[1] == "--help"))
        options.request = Request::help;
    if (args.size() == 2 && args[1] == "--version")
        options.request = Request::version;
    if (args.size() <= 2) {
        options.show_header = args.size() == 2 && args[1] == "-v";
        // A lone experiment name does not start a batch run: the questions ask for it.
        if (args.size() == 2 && !options.show_header && options.request == Request::convert)
            options.ignored.push_back(args[1]);
        return options;
    }
    options.batch = true;
    options.expnam = args.back();
    bool is_value = false;  // args[i] follows an option as its examined value
    for (std::size_t i = 1; i + 1 < args.size(); ++i) {
        // The name after "-o" is never an option: any name may be written to.
        if (args[i] == "-o") {
            options.output = args[++i];
            is_value = false;
            continue;
        }
        if (!apply_option(options, args[i], args[i + 1]) && !is_value)
            options.ignored.push_back(args[i]);
        is_value = takes_examined_value(args[i]);
    }
    return options;
}

}  // namespace grix
