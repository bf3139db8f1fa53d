// One fuzz input of the conversion target holds a whole batch run: a selector byte (the
// output format and the ASCII precision), the map file's length as a little-endian
// 32-bit word, the map file, and then the experiment file, which runs to the end.
#pragma once

#include "common/byte_order.hpp"
#include "writers/formats.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct ConversionInput {
    std::uint8_t selector = 0;
    std::string_view map;
    std::string_view exp;
};

inline constexpr std::size_t CONVERSION_PREFIX_BYTES = 5;

// A length beyond the bytes there gives the map all of them and an empty experiment file;
// bytes missing from the prefix count as zeros.
inline ConversionInput split_conversion_input(const std::uint8_t* data, std::size_t size)
{
    unsigned char prefix[CONVERSION_PREFIX_BYTES] = {};
    std::copy(data, data + std::min(size, CONVERSION_PREFIX_BYTES), prefix);
    const std::string_view rest =
        size > CONVERSION_PREFIX_BYTES
            ? std::string_view(reinterpret_cast<const char*>(data) + CONVERSION_PREFIX_BYTES,
                               size - CONVERSION_PREFIX_BYTES)
            : std::string_view();
    const std::size_t map_size = std::min<std::size_t>(grix::decode_le32(prefix + 1), rest.size());
    return {prefix[0], rest.substr(0, map_size), rest.substr(map_size)};
}

inline std::string join_conversion_input(std::uint8_t selector, const std::string& map,
                                         const std::string& exp)
{
    std::string bytes(1, static_cast<char>(selector));
    grix::append_le32(bytes, static_cast<std::uint32_t>(map.size()));
    return bytes + map + exp;
}

// The selector modulo the number of formats picks the format, in the order of the
// format table; for the ASCII dump the selector / that number, modulo 7, is the precision.
inline const grix::OutputFormat& conversion_format(std::uint8_t selector)
{
    const auto formats = grix::output_formats();
    return formats[selector % formats.size()];
}

// The command line of the batch run to `format`, program name first.
inline std::vector<std::string> conversion_args(const grix::OutputFormat& format,
                                                std::uint8_t selector, const std::string& expnam)
{
    std::vector<std::string> args{"grix", std::string(format.long_option)};
    if (format.asks_precision)
        args.push_back(std::to_string(selector / grix::output_formats().size() % 7));
    args.push_back(expnam);
    return args;
}

// The command line of the batch run to the format the selector picks.
inline std::vector<std::string> conversion_args(std::uint8_t selector, const std::string& expnam)
{
    return conversion_args(conversion_format(selector), selector, expnam);
}
