// Turning a block of values so that its columns become runs: the WinGX map and the cube
// both write a map's sections in the other order from the one they are held in.
#pragma once

#include <cstddef>
#include <cstring>

#if defined(__SSE2__)
#include <xmmintrin.h>
#endif

namespace grix {

// Each value as it is.
struct AsHeld {
    float operator()(float value) const { return value; }
#if defined(__SSE2__)
    __m128 operator()(__m128 values) const { return values; }
#endif
};

// `down` rows of `columns` values, rows `across` apart, written to `out` as `columns` runs
// of `down` values, runs `length` values apart, each value passed through `convert` (one
// float, or four in a register where the processor has them). Blocks of 4 x 4 are turned
// in registers: four loads and four stores instead of sixteen of each. `out` is bytes, so
// that a buffer of the file's bytes takes the values as well as one of floats.
template <class Convert>
void turn_block(const float* values, std::size_t across, std::size_t down, std::size_t columns,
                unsigned char* out, std::size_t length, Convert convert)
{
    auto put = [&](std::size_t column, std::size_t j, float value) {
        std::memcpy(out + sizeof(float) * (column * length + j), &value, sizeof value);
    };
    std::size_t c = 0;
#if defined(__SSE2__)
    for (; c + 4 <= columns; c += 4) {
        std::size_t j = 0;
        for (; j + 4 <= down; j += 4) {
            const float* run = values + j * across + c;
            __m128 r0 = convert(_mm_loadu_ps(run));
            __m128 r1 = convert(_mm_loadu_ps(run + across));
            __m128 r2 = convert(_mm_loadu_ps(run + 2 * across));
            __m128 r3 = convert(_mm_loadu_ps(run + 3 * across));
            _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
            unsigned char* column = out + sizeof(float) * (c * length + j);
            const std::size_t step = sizeof(float) * length;
            _mm_storeu_ps(reinterpret_cast<float*>(column), r0);
            _mm_storeu_ps(reinterpret_cast<float*>(column + step), r1);
            _mm_storeu_ps(reinterpret_cast<float*>(column + 2 * step), r2);
            _mm_storeu_ps(reinterpret_cast<float*>(column + 3 * step), r3);
        }
        for (; j < down; ++j)
            for (std::size_t k = c; k < c + 4; ++k)
                put(k, j, convert(values[j * across + k]));
    }
#endif
    for (; c < columns; ++c)
        for (std::size_t j = 0; j < down; ++j)
            put(c, j, convert(values[j * across + c]));
}

}  // namespace grix
