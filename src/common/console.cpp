#include "common/console.hpp"

#include "common/fatal.hpp"

#include <charconv>
#include <cstdarg>
#include <cstdio>
#include <istream>
#include <ostream>

namespace {

std::string vformat(const char* fmt, std::va_list args)
{
    std::va_list copy;
    va_copy(copy, args);
    char small[256];
    const int length = std::vsnprintf(small, sizeof small, fmt, copy);
    va_end(copy);
    if (length < 0)
        return {};
    if (static_cast<std::size_t>(length) < sizeof small)
        return std::string(small, static_cast<std::size_t>(length));
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    std::vsnprintf(text.data(), text.size(), fmt, args);
    text.resize(static_cast<std::size_t>(length));
    return text;
}

}  // namespace

std::string format(const char* fmt, ...)
{
    std::va_list args;
    va_start(args, fmt);
    std::string text = vformat(fmt, args);
    va_end(args);
    return text;
}

void print(std::ostream& stream, const char* fmt, ...)
{
    std::va_list args;
    va_start(args, fmt);
    stream << vformat(fmt, args);
    va_end(args);
}

std::string read_word(Console& console, const char* what)
{
    console.out.flush();
    std::string word;
    if (!(console.in >> word))
        throw FatalError(format("End of input while waiting for %s.\n", what));
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
