#include "writers/output_file.hpp"

#include "common/fatal.hpp"

namespace {

// Large stream buffer: the resampled maps run to hundreds of megabytes of text.
constexpr std::size_t STREAM_BUFFER_BYTES = 1 << 20;

[[noreturn]] void fail_write(const OutputFile& file)
{
    throw FatalError(format("Error writing output file %s.\n", file.name.c_str()));
}

}  // namespace

OutputFile open_output_file(Console& console, int batch, const std::string& expnam,
                            const char* extension, OutputMode mode)
{
    OutputFile file;
    if (batch) {
        file.name = expnam + extension;
    } else {
        print(console.out, "Enter output file name: ");
        file.name = read_word(console, "the output file name");
        if (file.name.size() > MAX_OUTPUT_NAME)
            throw FatalError(format("Output file name is longer than %zu characters.\n",
                                    MAX_OUTPUT_NAME));
    }
    file.stream.reset(std::fopen(file.name.c_str(), mode == OutputMode::text ? "w" : "wb"));
    if (!file.stream)
        throw FatalError(format("Can't open %s for output.\n", file.name.c_str()));
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
