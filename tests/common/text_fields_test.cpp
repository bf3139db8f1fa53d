// write_fixed and write_scientific fill whole fields as printf does, padding included,
// for floats from every part of the range: the densities' hot loops rely on them.
#include "common/text.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <random>

using namespace grix;

namespace {

std::vector<float> spread_floats()
{
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    std::vector<float> values = {0.0f, -0.0f, inf, -inf, nan, -nan, -4e-9f, 5e-9f, 0.5f, -2.5f,
                                 1.03125f, 9.99995f, 99999.5f, 3.4028235e38f, -1.1754944e-38f,
                                 1e-45f, 1.7e10f, 4.2e18f, 9.3e18f, -1e19f};
    // Every 65521st bit pattern reaches all exponents, subnormals, NaNs and both signs.
    for (std::uint64_t bits = 0; bits < (std::uint64_t{1} << 32); bits += 65521)
        values.push_back(std::bit_cast<float>(static_cast<std::uint32_t>(bits)));
    std::mt19937 random(99);
    std::uniform_real_distribution<float> ordinary(-2000.0f, 2000.0f);
    for (int n = 0; n < 30000; ++n)
        values.push_back(ordinary(random) / static_cast<float>(1 << (n % 24)));
    return values;
}

TEST(NumberFields, WriteMatchesPrintfWithPadding)
{
    struct Field {
        char conversion;
        int width, precision;
    };
    const Field fields[] = {{'f', 15, 8}, {'f', 6, 0}, {'f', 8, 2}, {'f', 12, 6}, {'f', 40, 3},
                            {'f', 2, 5},  {'E', 13, 4}, {'E', 15, 5}, {'E', 32, 1}, {'E', 4, 9}};
    const std::vector<float> values = spread_floats();
    for (const Field& field : fields) {
        const char format[] = {'%', '*', '.', '*', field.conversion, '\0'};
        for (const float value : values) {
            char expected[400];
            std::snprintf(expected, sizeof expected, format, field.width, field.precision,
                          static_cast<double>(value));
            char text[MAX_NUMBER_CHARS + 64];
            char* const last =
                field.conversion == 'f'
                    ? write_fixed(text, value, field.width, field.precision)
                    : write_scientific(text, value, field.width, field.precision);
            ASSERT_EQ(std::string(text, last), expected)
                << "%" << field.width << "." << field.precision << field.conversion << " of "
                << std::bit_cast<std::uint32_t>(value);
        }
    }
}

}  // namespace
