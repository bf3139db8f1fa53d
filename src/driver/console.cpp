#include "driver/console.hpp"

#include "common/fatal.hpp"

#include <charconv>
#include <cstdarg>
#include <istream>
#include <ostream>

namespace grix {

void print_to(std::ostream& stream, const char* fmt, ...)
{
    std::va_list args;
    va_start(args, fmt);
    stream << vprintf_text(fmt, args);
    va_end(args);
}

std::string read_word(Console& console, const char* what)
{
    console.out.flush();
    std::string word;
    if (!(console.in >> word))
        throw FatalError(printf_text("End of input while waiting for %s.\n", what));
    return word;
}

std::optional<int> read_int_answer(Console& console, const char* what)
{
    const std::string word = read_word(console, what);
    const char* first = word.data();
    const char* last = first + word.size();
    if (first != last && *first == '+' && first + 1 != last && first[1] != '-')
        ++first;
    int value = 0;
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end != last)
        return std::nullopt;
    return value;
}

}  // namespace grix
