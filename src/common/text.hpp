// Number formatting for the output files without printf: byte for byte what the C
// library's printf writes for the same format, but many times faster, which matters
// when a resampled map runs to tens of millions of values.
#pragma once

#include <cstddef>
#include <string>

namespace grix {

// Room for any double in fixed notation with up to 9 decimals, sign and padding.
inline constexpr std::size_t MAX_NUMBER_CHARS = 340;

// Room for any float written by write_fixed or write_scientific with up to 9 decimals
// and a width of at most 16.
inline constexpr std::size_t MAX_FLOAT_CHARS = 52;

// "%*.*f" with `width` and `precision` (0 to 9): appends to `out`.
void append_fixed(std::string& out, double value, int width, int precision);

// "%*.*E" with `width` and `precision` (0 to 9): appends to `out`. The exponent has a
// sign and at least two digits, as the C library on this platform writes it.
void append_scientific(std::string& out, double value, int width, int precision);

// "%*d": appends to `out`.
void append_int(std::string& out, long long value, int width);

// The same two formats written at `out`; they return the end of the text. `out` needs
// room for MAX_NUMBER_CHARS characters and `width`, or only MAX_FLOAT_CHARS when the
// value is a float and `width` at most 16.
char* write_fixed(char* out, double value, int width, int precision);
char* write_scientific(char* out, double value, int width, int precision);

// The loops over densities: each of `count` floats as write_fixed writes it, followed by
// `separator` unless that is '\0', or as write_scientific writes it. `out` needs room
// for count x (MAX_FLOAT_CHARS + 1) characters when `width` is at most 16.
char* write_fixed_floats(char* out, const float* values, std::size_t count, int width,
                         int precision, char separator);
char* write_scientific_floats(char* out, const float* values, std::size_t count, int width,
                              int precision);

// write_scientific_floats with width 13 and precision 5, the "%13.5E" of the density
// lines of the Gaussian cube and XSF files, by a loop made for that field alone.
char* write_cube_fields(char* out, const float* values, std::size_t count);

}  // namespace grix
