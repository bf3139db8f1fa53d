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

// printf formatting into a string.
std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// printf formatting onto a stream.
void print(std::ostream& stream, const char* fmt, ...) __attribute__((format(printf, 2, 3)));

// Reads one blank-delimited word, as scanf "%s" does. Standard output is flushed
// first so the prompt is seen; the end of input ends the run, naming `what` was asked.
std::string read_word(Console& console, const char* what);

// Reads one word and takes it as a whole number: optional sign, decimal digits, nothing
// else, within the range of int. Anything else gives no value (the caller asks again).
std::optional<int> read_int_answer(Console& console, const char* what);
