// The output file of every writer, written through one checked path and closed with its
// errors reported, so a full disk never passes as success.
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace grix {

enum class OutputMode { text, binary };

struct OutputFile {
    std::string name;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> stream{nullptr, &std::fclose};
};

// Output is gathered in memory and handed to the file in pieces of about this size.
inline constexpr std::size_t OUTPUT_CHUNK_BYTES = 1 << 20;

// Opens `name` for writing; a name that cannot be opened ends the run.
OutputFile open_output_file(const std::string& name, OutputMode mode);

// Writes the bytes; a failed write ends the run with a message naming the file.
void write_output(OutputFile& file, const void* data, std::size_t size);
void write_output(OutputFile& file, std::string_view text);

// Hands `text` to the file and empties it once it holds OUTPUT_CHUNK_BYTES or more.
void write_when_full(OutputFile& file, std::string& text);

// Flushes and closes the file; a failure ends the run with a message naming the file.
void close_output_file(OutputFile& file);

}  // namespace grix
