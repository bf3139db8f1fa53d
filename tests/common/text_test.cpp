#include "common/text.hpp"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include <gtest/gtest.h>

using namespace grix;

namespace {

// The same value through printf ("%*.*f" or "%*.*E") and through our formatting.
std::string by_printf(char conversion, double value, int width, int precision)
{
    const char format[] = {'%', '*', '.', '*', conversion, '\0'};
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, format, width, precision, value);
    return buffer;
}

std::string by_us(char conversion, double value, int width, int precision)
{
    std::string text;
    if (conversion == 'f')
        append_fixed(text, value, width, precision);
    else
        append_scientific(text, value, width, precision);
    return text;
}

// Floats of every kind the maps and headers hold: random bit patterns (subnormals,
// huge values, infinities, NaNs of both signs), decimal ties, and the edge values.
std::vector<float> sample_floats()
{
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    std::vector<float> values = {0.0f, -0.0f, inf, -inf, nan, -nan, 1e-45f, -1e-45f,
                                 -5.1e-11f, 5.1e-13f, 0.5f, 1.5f, 2.5f, -2.5f, 0.125f,
                                 0.375f, 9.5f, 99.5f, 999999.5f, 1e10f, -1e38f, 3.4e38f,
                                 0.00000005f, 0.000000015f, 1.00000005f, 12345.678f};
    std::mt19937 random(12345);
    std::uniform_int_distribution<std::uint32_t> bits;
    std::uniform_real_distribution<float> ordinary(-1000.0f, 1000.0f);
    for (int n = 0; n < 20000; ++n) {
        const std::uint32_t word = bits(random);
        float value;
        std::memcpy(&value, &word, 4);
        values.push_back(value);
        values.push_back(ordinary(random));
        values.push_back(static_cast<float>(static_cast<int>(bits(random) % 20001) - 10000) /
                         1024.0f);
    }
    return values;
}

struct NumberFormat {
    char conversion;
    int width;
    int precision;
};

// Every format the output files use, and the other ASCII dump precisions.
constexpr NumberFormat FORMATS[] = {{'f', 15, 8}, {'f', 6, 0}, {'f', 7, 1}, {'f', 9, 3},
                                    {'f', 12, 6}, {'f', 0, 6}, {'E', 13, 4}, {'E', 15, 5}};

TEST(NumberText, FloatsMatchPrintf)
{
    const std::vector<float> values = sample_floats();
    for (const NumberFormat& f : FORMATS) {
        for (float value : values)
            ASSERT_EQ(by_us(f.conversion, value, f.width, f.precision),
                      by_printf(f.conversion, value, f.width, f.precision))
                << f.conversion << " width " << f.width << " precision " << f.precision;
    }
}

// The cube's and XSF's own loop for "%13.5E", over every kind of float at once.
TEST(NumberText, CubeFieldsMatchPrintf)
{
    const std::vector<float> values = sample_floats();
    std::string expected;
    for (float value : values)
        expected += by_printf('E', value, 13, 5);
    std::string text(values.size() * (MAX_FLOAT_CHARS + 1), '#');
    text.resize(static_cast<std::size_t>(
        write_cube_fields(text.data(), values.data(), values.size()) - text.data()));
    EXPECT_TRUE(text == expected);
}

TEST(NumberText, DoublesFromCellArithmeticMatchPrintf)
{
    // CELL lines print angle x DEG_TO_RAD as a double, never rounded to float.
    for (double value : {90 * 0.01745329252, 120 * 0.01745329252, 1.0 / 3.0, -2.0 / 3.0,
                         1e300, -1e-300, 0.1 + 0.2}) {
        for (const NumberFormat& f : FORMATS)
            EXPECT_EQ(by_us(f.conversion, value, f.width, f.precision),
                      by_printf(f.conversion, value, f.width, f.precision));
    }
}

TEST(NumberText, IntegersRightAligned)
{
    for (long long value : {0LL, 7LL, -7LL, 441LL, 12345678LL, 123456789LL, -2147483648LL}) {
        std::string text;
        append_int(text, value, 8);
        char expected[32];
        std::snprintf(expected, sizeof expected, "%8lld", value);
        EXPECT_EQ(text, expected);
    }
}

}  // namespace
