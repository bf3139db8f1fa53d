// Little-endian 32-bit words for the binary map files, built byte by byte so that a
// file written on any host reads the same everywhere.
#pragma once

#include <bit>
#include <cstdint>
#include <string>

inline void append_le32(std::string& bytes, std::uint32_t word)
{
    const char le[4] = {static_cast<char>(word & 0xFF), static_cast<char>((word >> 8) & 0xFF),
                        static_cast<char>((word >> 16) & 0xFF),
                        static_cast<char>((word >> 24) & 0xFF)};
    bytes.append(le, 4);
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
