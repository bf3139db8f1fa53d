// The console a run talks through: standard input, output and error are passed down
// to every stage as streams, so a test can drive a whole run with strings.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>

struct Console {
    std::istream& in;
    std::ostream& out;
    std::ostream& err;
};

// The formats are checked against the printf the build really uses: MinGW's own
// C99-conforming one on Windows, not the old system library's.
#if defined(__MINGW32__)
#define GRIX_PRINTF_FORMAT(fmt, args) __attribute__((format(gnu_printf, fmt, args)))
#else
#define GRIX_PRINTF_FORMAT(fmt, args) __attribute__((format(printf, fmt, args)))
#endif

// printf formatting into a string.
std::string format(const char* fmt, ...) GRIX_PRINTF_FORMAT(1, 2);

// printf formatting onto a stream.
void print(std::ostream& stream, const char* fmt, ...) GRIX_PRINTF_FORMAT(2, 3);

// Reads one blank-delimited word, as scanf "%s" does. Standard output is flushed
// first so the prompt is seen; the end of input ends the run, naming `what` was asked.
std::string read_word(Console& console, const char* what);

// Reads one word and takes it as a whole number: optional sign, decimal digits, nothing
// else, within the range of int. Anything else gives no value (the caller asks again).
std::optional<int> read_int_answer(Console& console, const char* what);
