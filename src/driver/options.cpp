#include "driver/options.hpp"

#include "common/fatal.hpp"
#include "common/printf_text.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <climits>
#include <string_view>

namespace grix {
namespace {

struct MapTypeOption {
    std::string_view option;
    std::string_view map_type;
};

constexpr std::array<MapTypeOption, 6> MAP_TYPE_OPTIONS{{
    {"-delf", "DELF"},
    {"-fobs", "FOBS"},
    {"-fclc", "FCLC"},
    {"-nfdf", "NFDF"},
    {"-ptsn", "PTSN"},
    {"-dpts", "DPTS"},
}};

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

// Options apply in command-line order: a later one overrides an earlier one.
void apply_option(RunOptions& options, const std::string& arg, const std::string& next)
{
    if (const OutputFormat* format = find_format_by_option(arg)) {
        options.format = format;
        if (format->asks_precision)
            options.precision = convert_precision(next);
    }
    for (const MapTypeOption& type : MAP_TYPE_OPTIONS) {
        if (arg == type.option)
            options.map_type = type.map_type;
    }
}

}  // namespace

void check_expnam_length(const std::string& expnam)
{
    if (expnam.size() > MAX_EXPNAM)
        throw FatalError(
            printf_text("Experiment name is longer than %zu characters.\n", MAX_EXPNAM));
}

RunOptions read_command_line(const std::vector<std::string>& args)
{
    RunOptions options;
    if (args.size() <= 2) {
        options.show_header = args.size() == 2 && args[1] == "-v";
        return options;
    }
    options.batch = true;
    options.expnam = args.back();
    check_expnam_length(options.expnam);
    for (std::size_t i = 1; i + 1 < args.size(); ++i)
        apply_option(options, args[i], args[i + 1]);
    return options;
}

}  // namespace grix
