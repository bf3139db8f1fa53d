// The output file of every writer. A regular file is written under a temporary name and
// put in place of its target only when everything was written and closed without error,
// so a run that fails leaves the old file (or none) in place; every write and the close
// are checked, so a full disk never passes as success. A replaced file keeps what makes
// it that file: its permission bits, owner, group and other names.
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace grix {

enum class OutputMode { text, binary };

class OutputFile {
public:
    OutputFile() = default;
    OutputFile(OutputFile&&) = default;
    OutputFile& operator=(OutputFile&&) = delete;
    // A file that was not closed is given up: its temporary file is removed.
    ~OutputFile();

    std::string name;       // as given, for messages
    std::string target;     // the file replaced: a symbolic link's target
    std::string temporary;  // where the bytes go until they are complete; empty when
                            // the target is written directly (a device, a FIFO, a
                            // descriptor)
    bool copy_over = false; // the finished temporary is copied over the target, which
                            // keeps its inode, rather than renamed onto it
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> stream{nullptr, &std::fclose};
};

// Opens the output `name`. A name that is the same file as one of `inputs` (links
// followed), or that cannot be opened, ends the run before anything is written.
// /dev/stdout, /dev/stderr, /dev/fd/N and /proc/self/fd/N (also reached through links)
// stand for the descriptor as it is open: written from where it stands, never replaced.
OutputFile open_output_file(const std::string& name, OutputMode mode,
                            std::span<const std::string> inputs = {});

// Writes the bytes; a failed write ends the run with a message naming the file.
void write_output(OutputFile& file, const void* data, std::size_t size);
void write_output(OutputFile& file, std::string_view text);

// Writes `bytes` over the temporary file's from `offset`, then goes on at its end; a
// failure ends the run as a failed write does.
void rewrite_output(OutputFile& file, std::size_t offset, std::string_view bytes);

// Flushes and closes the file, then puts it in place of its target; a failure ends the
// run with a message naming the file. Called once for a file.
void close_output_file(OutputFile& file);

// Removes the temporary file of the output being written, if there is one. Safe to call
// from a signal handler: it only unlinks a name recorded before.
void remove_temporary_output() noexcept;

}  // namespace grix
