#include "common/text.hpp"

#include <cctype>
#include <charconv>
#include <cmath>

namespace {

// printf spells the non-finite values "inf", "-inf", "nan" and "-nan" (upper case for
// %E); to_chars agrees on the letters and the sign, so only the case needs mending.
void append_padded(std::string& out, const char* first, const char* last, int width,
                   bool upper)
{
    const auto length = static_cast<int>(last - first);
    if (length < width)
        out.append(static_cast<std::size_t>(width - length), ' ');
    const std::size_t start = out.size();
    out.append(first, last);
    if (upper) {
        for (std::size_t i = start; i < out.size(); ++i)
            out[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(out[i])));
    }
}

void append_formatted(std::string& out, double value, int width, int precision,
                      std::chars_format style, bool upper)
{
    char buffer[MAX_NUMBER_CHARS];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, style, precision);
    append_padded(out, buffer, result.ptr, width, upper);
}

}  // namespace

void append_fixed(std::string& out, double value, int width, int precision)
{
    append_formatted(out, value, width, precision, std::chars_format::fixed, false);
}

void append_scientific(std::string& out, double value, int width, int precision)
{
    append_formatted(out, value, width, precision, std::chars_format::scientific, true);
}

void append_int(std::string& out, long long value, int width)
{
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    append_padded(out, buffer, result.ptr, width, false);
}
