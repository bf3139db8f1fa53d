#include "writers/output_sink.hpp"

#include "common/byte_order.hpp"

#include <algorithm>
#include <bit>
#include <cstring>
#include <stdexcept>
#include <utility>

namespace grix {

void OutputSink::append(std::string_view text)
{
    while (!text.empty()) {
        const std::size_t size = std::min(text.size(), CHUNK_BYTES);
        commit(std::copy_n(text.data(), size, reserve(size)));
        text.remove_prefix(size);
    }
}

char* OutputSink::reserve(std::size_t size)
{
    if (size > CHUNK_BYTES)
        throw std::length_error("output room beyond a chunk");
    if (chunk_.empty())
        chunk_.resize(CHUNK_BYTES);
    if (used_ + size > CHUNK_BYTES)
        flush();
    return chunk_.data() + used_;
}

void OutputSink::commit(const char* end)
{
    used_ = static_cast<std::size_t>(end - chunk_.data());
}

void OutputSink::write_block(const void* data, std::size_t size)
{
    flush();
    if (size != 0)
        put(static_cast<const char*>(data), size);
}

void OutputSink::flush()
{
    if (used_ == 0)
        return;
    // Emptied first: after a failed hand-over nothing is handed on twice.
    const std::size_t size = std::exchange(used_, 0);
    put(chunk_.data(), size);
}

void OutputSink::rewrite(std::size_t offset, std::string_view bytes)
{
    flush();
    put_at(offset, bytes);
}

void FileSink::put(const char* data, std::size_t size)
{
    write_output(file_, data, size);
}

bool FileSink::can_rewrite() const
{
    return !file_.temporary.empty();
}

void FileSink::put_at(std::size_t offset, std::string_view bytes)
{
    rewrite_output(file_, offset, bytes);
}

void write_le32_floats(OutputSink& sink, std::span<const float> values)
{
    if constexpr (std::endian::native == std::endian::little) {
        sink.write_block(values.data(), values.size_bytes());
    } else {
        constexpr std::size_t RUN = OutputSink::CHUNK_BYTES / 4;
        for (std::size_t at = 0; at < values.size(); at += RUN) {
            const std::size_t count = std::min(RUN, values.size() - at);
            auto* room = reinterpret_cast<unsigned char*>(sink.reserve(4 * count));
            std::memcpy(room, values.data() + at, 4 * count);
            make_le32_words(room, count);
            sink.commit(reinterpret_cast<const char*>(room + 4 * count));
        }
    }
}

}  // namespace grix
