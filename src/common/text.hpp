// Number formatting for the output files without printf: byte for byte what the C
// library's printf writes for the same format, but several times faster, which matters
// when a resampled map runs to tens of millions of values.
#pragma once

#include <cstddef>
#include <string>

// Room for any double in fixed notation with up to 9 decimals, sign and padding.
inline constexpr std::size_t MAX_NUMBER_CHARS = 340;

// "%*.*f" with `width` and `precision` (0 to 9): appends to `out`.
void append_fixed(std::string& out, double value, int width, int precision);

// "%*.*E" with `width` and `precision` (0 to 9): appends to `out`. The exponent has a
// sign and at least two digits, as the C library on this platform writes it.
void append_scientific(std::string& out, double value, int width, int precision);

// "%*d": appends to `out`.
void append_int(std::string& out, long long value, int width);
