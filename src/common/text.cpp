#include "common/text.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <utility>

namespace grix {

namespace {

constexpr auto POWERS_OF_5 = [] {
    std::array<std::uint64_t, 28> powers{};
    powers[0] = 1;
    for (std::size_t n = 1; n < powers.size(); ++n)
        powers[n] = powers[n - 1] * 5;
    return powers;
}();

constexpr auto POWERS_OF_10 = [] {
    std::array<std::uint64_t, 20> powers{};
    powers[0] = 1;
    for (std::size_t n = 1; n < powers.size(); ++n)
        powers[n] = powers[n - 1] * 10;
    return powers;
}();

// "00", "01", ... "99": digits are written two at a time.
constexpr auto DIGIT_PAIRS = [] {
    std::array<char, 200> pairs{};
    for (std::size_t n = 0; n < 100; ++n) {
        pairs[2 * n] = static_cast<char>('0' + n / 10);
        pairs[2 * n + 1] = static_cast<char>('0' + n % 10);
    }
    return pairs;
}();

// "  " (index 100) and " 0" .. " 9", "10" .. "99": pairs of digits with a leading zero
// as a blank, so that a whole part is written without branching on its length.
constexpr auto BLANKED_PAIRS = [] {
    std::array<char, 202> pairs{};
    for (std::size_t n = 0; n <= 100; ++n) {
        pairs[2 * n] = n < 10 || n == 100 ? ' ' : static_cast<char>('0' + n / 10);
        pairs[2 * n + 1] = n == 100 ? ' ' : static_cast<char>('0' + n % 10);
    }
    return pairs;
}();

// "0.0 ", "0.1 " .. "9.9 ": the first two significant digits with the point between.
constexpr auto POINTED_PAIRS = [] {
    std::array<char, 400> pairs{};
    for (std::size_t n = 0; n < 100; ++n) {
        pairs[4 * n] = static_cast<char>('0' + n / 10);
        pairs[4 * n + 1] = '.';
        pairs[4 * n + 2] = static_cast<char>('0' + n % 10);
        pairs[4 * n + 3] = ' ';
    }
    return pairs;
}();

// "E-99" .. "E+99": a scientific exponent of two digits, stored in one move.
constexpr auto EXPONENT_TEXTS = [] {
    std::array<char, 4 * 199> texts{};
    for (int exponent = -99; exponent <= 99; ++exponent) {
        const int magnitude = exponent < 0 ? -exponent : exponent;
        char* text = &texts[static_cast<std::size_t>(4 * (exponent + 99))];
        text[0] = 'E';
        text[1] = exponent < 0 ? '-' : '+';
        text[2] = static_cast<char>('0' + magnitude / 10);
        text[3] = static_cast<char>('0' + magnitude % 10);
    }
    return texts;
}();

// 10^k for k from -50 to 39, near enough to guess a float's decimal exponent.
constexpr int DECIMAL_POWER_OFFSET = 50;
constexpr auto DECIMAL_POWERS = [] {
    std::array<double, 90> powers{};
    powers[DECIMAL_POWER_OFFSET] = 1;
    for (std::size_t n = DECIMAL_POWER_OFFSET + 1; n < powers.size(); ++n)
        powers[n] = powers[n - 1] * 10;
    for (std::size_t n = DECIMAL_POWER_OFFSET; n-- > 0;)
        powers[n] = powers[n + 1] / 10;
    return powers;
}();

// A float's magnitude as significand x 2^exponent, and its sign bit. The hot loops
// pass plain values rather than std::optional: the compiler moves an optional through
// memory in pieces and reads it back whole, which stalls the processor.
struct SplitFloat {
    std::uint64_t significand;
    int exponent;
    bool negative;
    bool finite;  // false for infinities and NaN, which have no parts here
};

SplitFloat split_float(float value)
{
    const auto bits = std::bit_cast<std::uint32_t>(value);
    const std::uint32_t biased = (bits >> 23) & 0xFF;
    const std::uint32_t fraction = bits & 0x7FFFFF;
    const bool negative = (bits >> 31) != 0;
    if (biased == 0)
        return {fraction, -149, negative, true};
    return {fraction | 0x800000, static_cast<int>(biased) - 150, negative, biased != 0xFF};
}

// What the scaling functions give when the exact arithmetic would not fit 64 bits;
// every real result is below 2^63.
constexpr std::uint64_t OUT_OF_REACH = std::numeric_limits<std::uint64_t>::max();

// Densities and every stored number are floats: their exact decimal expansion is within
// reach of 64-bit integers, which makes the correctly rounded digits cheap. Other
// doubles, and infinities and NaN, take the general path.
std::optional<float> exact_float(double value)
{
    if (!(std::fabs(value) <= std::numeric_limits<float>::max()))
        return std::nullopt;
    const auto narrow = static_cast<float>(value);
    if (static_cast<double>(narrow) != value)
        return std::nullopt;
    return narrow;
}

// x / 2^shift (shift at least 1) and x / divisor, rounded to nearest with ties to even,
// as printf rounds an exact binary value in the default rounding mode.
std::uint64_t shift_round(std::uint64_t x, int shift)
{
    if (shift >= 64)  // x is below 2^62 here, so the quotient is below one half
        return 0;
    const std::uint64_t quotient = x >> shift;
    const std::uint64_t rest = x - (quotient << shift);
    const std::uint64_t half = std::uint64_t{1} << (shift - 1);
    return quotient + ((rest > half) | ((rest == half) & (quotient & 1)));
}

std::uint64_t divide_round(std::uint64_t x, std::uint64_t divisor)
{
    const std::uint64_t quotient = x / divisor;
    const std::uint64_t rest = x % divisor;
    const std::uint64_t other = divisor - rest;
    return quotient + ((rest > other) | ((rest == other) & (quotient & 1)));
}

// |value| x 10^power rounded to a whole number, exactly, for a power from 0 to 16, or
// OUT_OF_REACH.
std::uint64_t scale_up(const SplitFloat& value, int power)
{
    const std::uint64_t x = value.significand * POWERS_OF_5[static_cast<std::size_t>(power)];
    const int shift = value.exponent + power;  // x is below 2^62
    if (shift < 0)
        return shift_round(x, -shift);
    if (std::bit_width(x) + shift > 62)
        return OUT_OF_REACH;
    return x << shift;
}

// The same for any power.
std::uint64_t scale_round(const SplitFloat& value, int power)
{
    if (power >= 0)
        return power <= 16 ? scale_up(value, power) : OUT_OF_REACH;
    // |value| x 10^power = significand x 2^shift / 5^fives
    const int fives = -power;
    if (fives >= static_cast<int>(POWERS_OF_5.size()))
        return OUT_OF_REACH;
    const int shift = value.exponent - fives;
    const std::uint64_t divisor = POWERS_OF_5[static_cast<std::size_t>(fives)];
    if (shift >= 0) {
        if (std::bit_width(value.significand) + shift > 62)
            return OUT_OF_REACH;
        return divide_round(value.significand << shift, divisor);
    }
    if (std::bit_width(divisor) - shift > 62)
        return OUT_OF_REACH;
    return divide_round(value.significand, divisor << -shift);
}

// The decimal digits of `value`, at least `count` of them (leading zeros), written
// backwards so that they end just before `end`; returns the first.
char* put_digits(char* end, std::uint64_t value, int count)
{
    char* first = end;
    while (value >= 100) {
        first -= 2;
        std::memcpy(first, &DIGIT_PAIRS[2 * (value % 100)], 2);
        value /= 100;
    }
    if (value >= 10) {
        first -= 2;
        std::memcpy(first, &DIGIT_PAIRS[2 * value], 2);
    } else {
        *--first = static_cast<char>('0' + value);
    }
    while (end - first < count)
        *--first = '0';
    return first;
}

// Exactly COUNT digits of `value` (below 10^COUNT, at most 9 digits) ending before
// `end`. A fixed count keeps unpredictable branches out, and halving the number first
// lets the divisions of the halves run side by side.
template <int COUNT>
char* put_exact_digits(char* end, std::uint32_t value)
{
    if constexpr (COUNT > 4) {
        put_exact_digits<4>(end, value % 10000);
        return put_exact_digits<COUNT - 4>(end - 4, value / 10000);
    } else if constexpr (COUNT >= 2) {
        std::memcpy(end - 2, &DIGIT_PAIRS[2 * (value % 100)], 2);
        return put_exact_digits<COUNT - 2>(end - 2, value / 100);
    } else if constexpr (COUNT == 1) {
        end[-1] = static_cast<char>('0' + value);
        return end - 1;
    } else {
        return end;
    }
}

// The text [first, last) right-aligned in `width` at `out`; returns the end.
char* put_padded(char* out, const char* first, const char* last, int width)
{
    const auto length = static_cast<std::size_t>(last - first);
    const auto field = std::max(static_cast<std::size_t>(width > 0 ? width : 0), length);
    std::memset(out, ' ', field - length);
    std::memcpy(out + (field - length), first, length);
    return out + field;
}

// The density loops write each field straight into place, stores only: text built in a
// buffer and copied would be read back before its stores have landed, which stalls the
// processor. The field is first filled with blanks by one fixed-size store, which also
// covers up to FIELD_ROOM - width characters after it; those are overwritten by later
// text (callers have room for MAX_FLOAT_CHARS). The field ends `width` characters on,
// whatever the value, so that where the next value goes need not wait for this one's
// digits; text longer than the width, and wider fields, take the buffer route.
constexpr int FIELD_ROOM = 32;

// A minus sign at `at` when `negative`. The store lands at `spare`, a character that
// later text overwrites, otherwise: random signs must not cost a mispredicted branch.
void put_minus(char* at, char* spare, bool negative)
{
    *(negative ? at : spare) = '-';
}

// Fixed notation with PRECISION decimals of |value| x 10^PRECISION = `scaled`.
template <int PRECISION>
char* put_fixed(char* out, bool negative, std::uint64_t scaled, int width)
{
    constexpr std::uint64_t UNIT = POWERS_OF_10[PRECISION];
    constexpr int DECIMALS = PRECISION > 0 ? PRECISION + 1 : 0;  // the point and digits
    const std::uint64_t whole = scaled / UNIT;
    const auto fraction = static_cast<std::uint32_t>(scaled % UNIT);
    const int digits = 1 + (whole >= 10) + (whole >= 100) + (whole >= 1000);
    const int length = (negative ? 1 : 0) + digits + DECIMALS;
    if (whole >= 10000 || length > width || width > FIELD_ROOM || width < DECIMALS + 4) {
        char text[64];
        char* const last = text + sizeof text;
        char* first = last;
        if constexpr (PRECISION > 0) {
            first = put_exact_digits<PRECISION>(first, fraction);
            *--first = '.';
        }
        first = put_digits(first, whole, 1);
        if (negative)
            *--first = '-';
        return put_padded(out, first, last, width);
    }
    std::memset(out, ' ', FIELD_ROOM);
    char* const end = out + width;
    char* point = end;
    if constexpr (PRECISION > 0) {
        point = put_exact_digits<PRECISION>(end, fraction) - 1;
        *point = '.';
    }
    // Four places for the whole part (the field leaves room for them): blanks where
    // its leading zeros would be.
    const char* high = whole >= 100 ? &BLANKED_PAIRS[2 * (whole / 100)] : &BLANKED_PAIRS[200];
    const char* low = whole >= 100 ? &DIGIT_PAIRS[2 * (whole % 100)] : &BLANKED_PAIRS[2 * whole];
    std::memcpy(point - 4, high, 2);
    std::memcpy(point - 2, low, 2);
    put_minus(point - digits - 1, end, negative);
    return end;
}

// Scientific notation with PRECISION decimals: `digits` holds PRECISION + 1 significant
// digits (or is 0 for zero) and `exponent` the power of ten of the first.
template <int PRECISION>
char* put_scientific(char* out, bool negative, std::uint64_t digits, int exponent, int width)
{
    constexpr std::uint64_t UNIT = POWERS_OF_10[PRECISION];
    constexpr int MANTISSA = PRECISION > 0 ? PRECISION + 2 : 1;  // d.ddd
    const int magnitude = exponent < 0 ? -exponent : exponent;
    const int length = (negative ? 1 : 0) + MANTISSA + 4;
    if (magnitude >= 100 || length > width || width > FIELD_ROOM) {
        char text[64];
        char* const last = text + sizeof text;
        char* first = put_digits(last, static_cast<std::uint64_t>(magnitude), 2);
        *--first = exponent < 0 ? '-' : '+';
        *--first = 'E';
        if constexpr (PRECISION > 0) {
            first = put_exact_digits<PRECISION>(first, static_cast<std::uint32_t>(digits % UNIT));
            *--first = '.';
        }
        *--first = static_cast<char>('0' + digits / UNIT);
        if (negative)
            *--first = '-';
        return put_padded(out, first, last, width);
    }
    std::memset(out, ' ', FIELD_ROOM);
    char* const end = out + width;
    char* first = end - 4;
    if constexpr (PRECISION > 0) {
        // The first two digits with the point between them in one move (its fourth
        // character is overwritten by the digits after them, or the exponent), the
        // rest as one number: fewer steps from the digits to the text.
        constexpr std::uint64_t TAIL_UNIT = POWERS_OF_10[PRECISION - 1];
        first -= PRECISION + 2;
        std::memcpy(first, &POINTED_PAIRS[4 * (digits / TAIL_UNIT)], 4);
        put_exact_digits<PRECISION - 1>(end - 4, static_cast<std::uint32_t>(digits % TAIL_UNIT));
    } else {
        *--first = static_cast<char>('0' + digits);
    }
    std::memcpy(end - 4, &EXPONENT_TEXTS[static_cast<std::size_t>(4 * (exponent + 99))], 4);
    put_minus(first - 1, end, negative);
    return end;
}

// printf spells the non-finite values "inf", "-inf", "nan" and "-nan" (upper case for
// %E); to_chars agrees on the letters and the sign, so only the case needs mending.
// Doubles that are not floats and floats beyond the exact arithmetic come here.
char* put_general(char* out, double value, int width, int precision, std::chars_format style,
                  bool upper)
{
    char text[MAX_NUMBER_CHARS];
    char* const first = text;
    char* const last = std::to_chars(text, text + sizeof text, value, style, precision).ptr;
    if (upper) {
        for (char* c = first; c != last; ++c)
            *c = static_cast<char>(std::toupper(static_cast<unsigned char>(*c)));
    }
    return put_padded(out, first, last, width);
}

// A float in scientific notation: `digits` holds the significant digits (0 for zero)
// and `exponent` the power of ten of the first; `digits` is OUT_OF_REACH beyond the
// exact arithmetic.
struct Scientific {
    std::uint64_t digits;
    int exponent;
};

// PRECISION + 1 significant digits, exactly rounded.
template <int PRECISION>
Scientific find_scientific(float value, const SplitFloat& split)
{
    if (split.significand == 0)
        return {0, 0};
    // floor(log10 |value|), or one less: from the binary exponent, corrected by one
    // comparison; the loop settles what rounding carries over.
    const int binary = split.exponent + std::bit_width(split.significand) - 1;
    int exponent = (binary * 78913) >> 18;
    exponent += std::fabs(value) >=
                DECIMAL_POWERS[static_cast<std::size_t>(exponent + 1 + DECIMAL_POWER_OFFSET)];
    constexpr std::uint64_t UNIT = POWERS_OF_10[PRECISION];
    // Densities take one product and one rounding shift: a power from 0 to 16 and a
    // binary exponent that leaves a fraction to round. A carry to 10 x UNIT is UNIT at
    // the next exponent; fewer digits than UNIT mean a guess one too large.
    const int power = PRECISION - exponent;
    const int shift = -(split.exponent + power);
    if (power >= 0 && power <= 16 && shift > 0 && shift < 64) {
        const std::uint64_t x = split.significand * POWERS_OF_5[static_cast<std::size_t>(power)];
        // Half a unit less one, and one more when the quotient is odd, carries a rest
        // above half, or exactly half to an even quotient (x is below 2^62).
        const std::uint64_t odd = (x >> shift) & 1;
        const std::uint64_t digits = (x + (std::uint64_t{1} << (shift - 1)) - 1 + odd) >> shift;
        if (digits >= UNIT)
            return digits < 10 * UNIT ? Scientific{digits, exponent}
                                      : Scientific{UNIT, exponent + 1};
    }
    for (int attempt = 0; attempt < 3; ++attempt) {
        const std::uint64_t digits = scale_round(split, PRECISION - exponent);
        if (digits == OUT_OF_REACH)
            break;
        if (digits >= 10 * UNIT)
            ++exponent;
        else if (digits < UNIT)
            --exponent;
        else
            return {digits, exponent};
    }
    return {OUT_OF_REACH, 0};
}

// Fixed or scientific notation of a float with PRECISION decimals, by the exact integer
// arithmetic where it reaches, by to_chars elsewhere.
template <bool SCIENTIFIC, int PRECISION>
char* put_float(char* out, float value, int width)
{
    const SplitFloat split = split_float(value);
    if (split.finite) {
        if constexpr (SCIENTIFIC) {
            const Scientific found = find_scientific<PRECISION>(value, split);
            if (found.digits != OUT_OF_REACH)
                return put_scientific<PRECISION>(out, split.negative, found.digits,
                                                 found.exponent, width);
        } else {
            const std::uint64_t scaled = scale_up(split, PRECISION);
            if (scaled != OUT_OF_REACH)
                return put_fixed<PRECISION>(out, split.negative, scaled, width);
        }
    }
    return put_general(out, value, width, PRECISION,
                       SCIENTIFIC ? std::chars_format::scientific : std::chars_format::fixed,
                       SCIENTIFIC);
}

// Resampled grids hold long runs of zeros, the points outside the map: in fields of up
// to 16 their text is formatted once per call and copied, FIELD_ROOM characters at a
// time as put_fixed and put_scientific store.
template <bool SCIENTIFIC, int PRECISION>
char* put_floats(char* out, const float* values, std::size_t count, int width, char separator)
{
    const bool copy_zeros = width <= 16;
    char zero[MAX_FLOAT_CHARS];
    std::ptrdiff_t zero_length = -1;  // not yet formatted
    for (std::size_t n = 0; n < count; ++n) {
        if (copy_zeros && std::bit_cast<std::uint32_t>(values[n]) == 0) {
            if (zero_length < 0) {
                std::memset(zero, ' ', FIELD_ROOM);
                zero_length = put_float<SCIENTIFIC, PRECISION>(zero, 0.0f, width) - zero;
            }
            std::memcpy(out, zero, FIELD_ROOM);
            out += zero_length;
        } else {
            out = put_float<SCIENTIFIC, PRECISION>(out, values[n], width);
        }
        *out = separator;
        out += separator != '\0';
    }
    return out;
}

using FloatsWriter = char* (*)(char*, const float*, std::size_t, int, char);

template <bool SCIENTIFIC, int... PRECISION>
constexpr std::array<FloatsWriter, sizeof...(PRECISION)> floats_writers(
    std::integer_sequence<int, PRECISION...>)
{
    return {&put_floats<SCIENTIFIC, PRECISION>...};
}

// One loop per precision 0 to 9, so that every division is by a constant.
constexpr auto FIXED_WRITERS = floats_writers<false>(std::make_integer_sequence<int, 10>());
constexpr auto SCIENTIFIC_WRITERS = floats_writers<true>(std::make_integer_sequence<int, 10>());

// The text [first, last) right-aligned in `width` at the end of `out`.
void append_padded(std::string& out, const char* first, const char* last, int width)
{
    const auto length = static_cast<int>(last - first);
    if (length < width)
        out.append(static_cast<std::size_t>(width - length), ' ');
    out.append(first, last);
}

}  // namespace

char* write_fixed(char* out, double value, int width, int precision)
{
    const std::optional<float> narrow = exact_float(value);
    if (narrow && precision >= 0 && precision <= 9)
        return FIXED_WRITERS[static_cast<std::size_t>(precision)](out, &*narrow, 1, width, '\0');
    return put_general(out, value, width, precision, std::chars_format::fixed, false);
}

char* write_scientific(char* out, double value, int width, int precision)
{
    const std::optional<float> narrow = exact_float(value);
    if (narrow && precision >= 0 && precision <= 9)
        return SCIENTIFIC_WRITERS[static_cast<std::size_t>(precision)](out, &*narrow, 1, width,
                                                                      '\0');
    return put_general(out, value, width, precision, std::chars_format::scientific, true);
}

char* write_fixed_floats(char* out, const float* values, std::size_t count, int width,
                         int precision, char separator)
{
    if (precision >= 0 && precision <= 9)
        return FIXED_WRITERS[static_cast<std::size_t>(precision)](out, values, count, width,
                                                                 separator);
    for (std::size_t n = 0; n < count; ++n) {
        out = put_general(out, values[n], width, precision, std::chars_format::fixed, false);
        *out = separator;
        out += separator != '\0';
    }
    return out;
}

char* write_scientific_floats(char* out, const float* values, std::size_t count, int width,
                              int precision)
{
    if (precision >= 0 && precision <= 9)
        return SCIENTIFIC_WRITERS[static_cast<std::size_t>(precision)](out, values, count,
                                                                      width, '\0');
    for (std::size_t n = 0; n < count; ++n)
        out = put_general(out, values[n], width, precision, std::chars_format::scientific, true);
    return out;
}

// Flattened: put_float inlined with the width and precision fixed folds the field's
// checks away, which the general loops, taking the width as it comes, cannot.
[[gnu::flatten]] char* write_cube_fields(char* out, const float* values, std::size_t count)
{
    return put_floats<true, 5>(out, values, count, 13, '\0');
}

void append_fixed(std::string& out, double value, int width, int precision)
{
    char text[MAX_NUMBER_CHARS];
    append_padded(out, text, write_fixed(text, value, 0, precision), width);
}

void append_scientific(std::string& out, double value, int width, int precision)
{
    char text[MAX_NUMBER_CHARS];
    append_padded(out, text, write_scientific(text, value, 0, precision), width);
}

void append_int(std::string& out, long long value, int width)
{
    char text[24];
    append_padded(out, text, std::to_chars(text, text + sizeof text, value).ptr, width);
}

}  // namespace grix
