// The console a run talks through: standard input, output and error as streams, so a
// test can drive a whole run with strings. Only the driver talks to the user.
#pragma once

#include "common/printf_text.hpp"

#include <iosfwd>
#include <optional>
#include <string>

namespace grix {

struct Console {
    std::istream& in;
    std::ostream& out;
    std::ostream& err;
};

// printf formatting onto a stream.
void print_to(std::ostream& stream, const char* fmt, ...) GRIX_PRINTF_FORMAT(2, 3);

// Reads one blank-delimited word, as scanf "%s" does, but whole: a NUL byte is part of
// it. Standard output is flushed first so the prompt is seen; the end of input ends the
// run, naming `what` was asked, and so does a word longer than 64 KiB.
std::string read_word(Console& console, const char* what);

// Reads one word and takes it as a whole number: optional sign, decimal digits, nothing
// else, within the range of int. Anything else gives no value (the caller asks again).
std::optional<int> read_int_answer(Console& console, const char* what);

}  // namespace grix
