// The output file of every writer: named from the experiment (batch mode) or typed at
// the prompt (interactive mode), opened in text or binary mode, written through one
// checked path and closed with its errors reported, so a full disk never passes as success.
#pragma once

#include "common/console.hpp"

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

struct OutputFile {
    std::string name;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> stream{nullptr, &std::fclose};
};

enum class OutputMode { text, binary };

// How a writer computes the densities and their text. The plain path interpolates every
// point from scratch and formats every value with printf (one write per value of a
// binary map); it is kept as the reference that the shipped path must match byte for byte.
enum class WritePath { plain, shipped };

struct WriteOptions {
    WritePath path = WritePath::shipped;
    int threads = 0;  // threads formatting the densities; 0: one per core, at most 8
};

// Output is gathered in memory and handed to the file in pieces of about this size.
inline constexpr std::size_t OUTPUT_CHUNK_BYTES = 1 << 20;

// The longest output file name a user may type.
inline constexpr std::size_t MAX_OUTPUT_NAME = 259;

// Batch mode: `expnam` followed by `extension`. Interactive mode: "Enter output file
// name: " and one typed word. A name that cannot be opened ends the run.
OutputFile open_output_file(Console& console, int batch, const std::string& expnam,
                            const char* extension, OutputMode mode);

// Writes the bytes; a failed write ends the run with a message naming the file.
void write_output(OutputFile& file, const void* data, std::size_t size);
void write_output(OutputFile& file, std::string_view text);

// Hands `text` to the file and empties it once it holds OUTPUT_CHUNK_BYTES or more.
void write_when_full(OutputFile& file, std::string& text);

// Flushes and closes the file; a failure ends the run with a message naming the file.
void close_output_file(OutputFile& file);
