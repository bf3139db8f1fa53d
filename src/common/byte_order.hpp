// Little-endian 32-bit words of the binary map files, built and decoded byte by byte
// so that a file reads and writes the same on any host.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace grix {

inline void put_le32(unsigned char* at, std::uint32_t word)
{
    for (int n = 0; n < 4; ++n)
        at[n] = static_cast<unsigned char>(word >> (8 * n));
}

// Turns `count` 32-bit words at `words`, held in the host's order, into little-endian
// ones in place, a block at a time: nothing to do on a little-endian host.
inline void make_le32_words(unsigned char* words, std::size_t count)
{
    if constexpr (std::endian::native != std::endian::little) {
        for (std::size_t n = 0; n < count; ++n) {
            std::uint32_t word;
            std::memcpy(&word, words + 4 * n, 4);
            put_le32(words + 4 * n, word);
        }
    }
}

inline void append_le32(std::string& bytes, std::uint32_t word)
{
    unsigned char le[4];
    put_le32(le, word);
    bytes.append(reinterpret_cast<const char*>(le), 4);
}

inline void append_int32(std::string& bytes, std::int32_t value)
{
    append_le32(bytes, static_cast<std::uint32_t>(value));
}

// IEEE 754 single precision, bit for bit.
inline void append_float32(std::string& bytes, float value)
{
    append_le32(bytes, std::bit_cast<std::uint32_t>(value));
}

inline std::uint32_t decode_le32(const unsigned char* bytes)
{
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

inline std::int32_t decode_int32(const unsigned char* bytes)
{
    return static_cast<std::int32_t>(decode_le32(bytes));
}

inline float decode_float32(const unsigned char* bytes)
{
    return std::bit_cast<float>(decode_le32(bytes));
}

}  // namespace grix
