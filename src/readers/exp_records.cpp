#include "readers/exp_records.hpp"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>

namespace grix {

namespace {

// A zero-terminated copy that ends where a C string would.
std::string c_string(std::string_view text)
{
    return std::string(text.substr(0, text.find('\0')));
}

bool is_space(char c)
{
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

}  // namespace

bool read_exp_record(std::string& record, std::istream& file)
{
    record.assign(EXP_RECORD_WIDTH, ' ');
    // An editor may have stripped the trailing blanks: a line end (LF or CR LF) before
    // the 80th column ends the record there, and the rest reads as blanks. A CR alone is
    // a character of the record.
    for (std::size_t column = 0; column < EXP_RECORD_WIDTH; ++column) {
        const int c = file.get();
        if (c == std::char_traits<char>::eof())
            return column > 0;
        if (c == '\n')
            return true;
        if (c == '\r' && file.peek() == '\n') {
            file.ignore(1);
            return true;
        }
        record[column] = static_cast<char>(c);
    }
    // Only a byte that is there decides the line end; any other byte opens the next
    // record. CR is taken to start CR LF, and the byte after it is skipped unseen.
    const int next = file.peek();
    if (next == '\n')
        file.ignore(1);
    else if (next == '\r')
        file.ignore(2);
    return true;
}

std::string_view record_columns(const std::string& record, int first, int last)
{
    return std::string_view(record).substr(static_cast<std::size_t>(first - 1),
                                           static_cast<std::size_t>(last - first + 1));
}

std::string scan_word(std::string_view text)
{
    const std::string copy = c_string(text);
    const auto start = std::find_if_not(copy.begin(), copy.end(), is_space);
    return std::string(start, std::find_if(start, copy.end(), is_space));
}

int scan_int(std::string_view text)
{
    const std::string copy = c_string(text);
    const long long value = std::strtoll(copy.c_str(), nullptr, 10);
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

int scan_floats(std::string_view text, std::span<float> values)
{
    std::fill(values.begin(), values.end(), 0.0f);
    const std::string copy = c_string(text);
    const char* at = copy.c_str();
    int converted = 0;
    for (float& value : values) {
        char* end = nullptr;
        const float number = std::strtof(at, &end);
        if (end == at)
            break;
        value = number;
        at = end;
        ++converted;
    }
    return converted;
}

}  // namespace grix
