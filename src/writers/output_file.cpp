#include "writers/output_file.hpp"

#include "common/fatal.hpp"
#include "common/printf_text.hpp"

namespace grix {
namespace {

// Large stream buffer: the resampled maps run to hundreds of megabytes of text.
constexpr std::size_t STREAM_BUFFER_BYTES = 1 << 20;

[[noreturn]] void fail_write(const OutputFile& file)
{
    throw FatalError(printf_text("Error writing output file %s.\n", file.name.c_str()));
}

}  // namespace

OutputFile open_output_file(const std::string& name, OutputMode mode)
{
    OutputFile file;
    file.name = name;
    file.stream.reset(std::fopen(file.name.c_str(), mode == OutputMode::text ? "w" : "wb"));
    if (!file.stream)
        throw FatalError(printf_text("Can't open %s for output.\n", file.name.c_str()));
    std::setvbuf(file.stream.get(), nullptr, _IOFBF, STREAM_BUFFER_BYTES);
    return file;
}

void write_output(OutputFile& file, const void* data, std::size_t size)
{
    if (size != 0 && std::fwrite(data, 1, size, file.stream.get()) != size)
        fail_write(file);
}

void write_output(OutputFile& file, std::string_view text)
{
    write_output(file, text.data(), text.size());
}

void write_when_full(OutputFile& file, std::string& text)
{
    if (text.size() >= OUTPUT_CHUNK_BYTES) {
        write_output(file, text);
        text.clear();
    }
}

void close_output_file(OutputFile& file)
{
    std::FILE* stream = file.stream.release();
    const bool flushed = std::fflush(stream) == 0;
    const bool closed = std::fclose(stream) == 0;
    if (!flushed || !closed)
        fail_write(file);
}

}  // namespace grix
