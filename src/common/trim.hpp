// Texts taken from the input files without the padding of their fields.
#pragma once

#include <cstring>
#include <string_view>

namespace grix {

// The text without the white space (blanks, tabs, line ends) at either end.
inline std::string_view trim_space(std::string_view text)
{
    constexpr std::string_view SPACE = " \t\r\n";
    const std::size_t first = text.find_first_not_of(SPACE);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(SPACE) - first + 1);
}

// A fixed-size text field of a binary header, as a C string reads it (up to its first
// zero byte), without its trailing blanks.
inline std::string_view field_text(const char* field, std::size_t size)
{
    std::string_view text(field, strnlen(field, size));
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    return text;
}

}  // namespace grix
