#include "driver/console.hpp"

#include "common/fatal.hpp"

#include <charconv>
#include <cstdarg>
#include <istream>
#include <ostream>

namespace grix {
namespace {

// No name or choice comes near this length; an endless answer (a NUL device as standard
// input) ends here instead of filling the memory.
constexpr std::size_t MAX_ANSWER_BYTES = 65536;

// White space as scanf "%s" sees it in the C locale; every other byte, a NUL too, is
// part of the word.
bool is_blank(int c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

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
    std::istream& in = console.in;
    in >> std::ws;
    std::string word;
    for (int next = in.peek(); next != std::char_traits<char>::eof() && !is_blank(next);
         next = in.peek()) {
        if (word.size() == MAX_ANSWER_BYTES)
            throw FatalError(printf_text("Answer longer than %zu bytes.\n", MAX_ANSWER_BYTES));
        word.push_back(static_cast<char>(in.get()));
    }
    if (word.empty())
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
