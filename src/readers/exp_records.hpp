// The 80-column records of a GSAS experiment file and the conversions of their fields,
// which behave as the C library's scanf conversions over the same columns.
#pragma once

#include <istream>
#include <span>
#include <string>
#include <string_view>

namespace grix {

inline constexpr int EXP_RECORD_WIDTH = 80;

// Reads the next record into `record`, which always holds 80 characters afterwards.
// A record is followed by LF, CR LF or nothing at all; a line end before the 80th column
// ends it early (an empty line is an empty record). Columns that a line end or the end
// of the file cut short read as blanks. Returns false when not one byte was left to read.
bool read_exp_record(std::string& record, std::istream& file);

// Columns first to last of a record, counted from 1, both included.
std::string_view record_columns(const std::string& record, int first, int last);

// Each conversion sees its text as a C string does: up to the first zero byte.
// "%s": the first blank-delimited word; empty when there is none.
std::string scan_word(std::string_view text);
// "%d": 0 when no number stands there; a value beyond int is clamped to INT_MIN or INT_MAX.
int scan_int(std::string_view text);
// "%f" repeated: fills `values` in order, leaving 0 in every value from the first one that
// does not convert. Returns the number converted.
int scan_floats(std::string_view text, std::span<float> values);

}  // namespace grix
