// Where a writer's bytes go, in order: the one place output is gathered and handed on.
// Text appended is gathered into a chunk and handed on a chunk at a time; a block already
// whole in memory (the text of a formatted piece, a run of the map's values) is handed on
// as it stands, after the text gathered before it, without being copied. A hand-over
// that fails throws, so nothing after it is written.
#pragma once

#include "writers/output_file.hpp"

#include <cstddef>
#include <span>
#include <string_view>
#include <vector>

namespace grix {

class OutputSink {
public:
    // Text is handed on in pieces of at most this size.
    static constexpr std::size_t CHUNK_BYTES = std::size_t{1} << 20;

    OutputSink() = default;
    virtual ~OutputSink() = default;
    OutputSink(const OutputSink&) = delete;
    OutputSink& operator=(const OutputSink&) = delete;

    void append(std::string_view text);

    // Room for `size` characters (at most CHUNK_BYTES) at the end of the text; the caller
    // writes there and passes the end of what it wrote to commit().
    char* reserve(std::size_t size);
    void commit(const char* end);

    // Hands on `size` bytes from `data` whole, after the text gathered so far.
    void write_block(const void* data, std::size_t size);

    // Hands on the text gathered so far. The sink's owner calls it once the writer is done.
    void flush();

    // Whether bytes already handed on can be written again: a file of the run's own, not
    // a pipe or a descriptor it was given.
    virtual bool can_rewrite() const = 0;
    // Writes `bytes` over those handed on from `offset`, after the text gathered so far.
    // Only where can_rewrite(); the output goes on from its end.
    void rewrite(std::size_t offset, std::string_view bytes);

protected:
    // Takes the next bytes of the output; throws when they cannot be written.
    virtual void put(const char* data, std::size_t size) = 0;
    virtual void put_at(std::size_t offset, std::string_view bytes) = 0;

private:
    std::vector<char> chunk_;  // allocated on the first text
    std::size_t used_ = 0;
};

// A sink writing to an output file.
class FileSink final : public OutputSink {
public:
    explicit FileSink(OutputFile& file) : file_(file) {}

    bool can_rewrite() const override;

private:
    void put(const char* data, std::size_t size) override;
    void put_at(std::size_t offset, std::string_view bytes) override;
    OutputFile& file_;
};

// Hands on `values` as little-endian IEEE single-precision words: as they stand on a
// little-endian host, turned a chunk at a time elsewhere.
void write_le32_floats(OutputSink& sink, std::span<const float> values);

}  // namespace grix
