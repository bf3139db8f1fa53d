// Opening an input file under the first of its candidate names that exists, and taking
// its bytes.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace grix {

// A file descriptor, closed with its owner.
class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int descriptor) : descriptor_(descriptor) {}
    FileDescriptor(FileDescriptor&& other) noexcept : descriptor_(other.descriptor_)
    {
        other.descriptor_ = -1;
    }
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    ~FileDescriptor();

    int get() const { return descriptor_; }

private:
    int descriptor_ = -1;
};

struct InputFile {
    std::string name;
    FileDescriptor descriptor;  // open for reading, binary
};

// A name that could not be opened and the system's error number for it.
struct FailedOpen {
    std::string name;
    int error = 0;
};

// The first of `names` that opens for reading; each name tried before it is added to
// `failures`, all of them when none opens.
std::optional<InputFile> open_first(const std::vector<std::string>& names,
                                    std::vector<FailedOpen>& failures);

// Every byte of the file from its start. What cannot be read (a directory) ends the
// bytes there, as the end of the file would.
std::string read_whole_file(InputFile& file);

// Every byte of the file, on a 4-byte boundary. `storage` keeps them alive.
struct FileBytes {
    std::shared_ptr<void> storage;
    unsigned char* data = nullptr;
    std::size_t size = 0;
    bool mapped = false;  // the file's own pages: they follow the file if it changes
};

// Whether the file is still as long as its bytes: a mapped file that shrinks loses the
// bytes beyond its new end.
bool keeps_its_length(const InputFile& file, const FileBytes& bytes);

// The file's bytes mapped in place where the system can map it (a regular file on a
// POSIX system): the pages come straight from the system's cache, none copied or
// cleared. Read into memory of their own otherwise, with read_whole_file's rule. Only
// `writable` bytes may be changed (never the file); mapped so, every page is copied.
// Fails with std::bad_alloc when they do not fit.
FileBytes take_file_bytes(InputFile& file, bool writable);

}  // namespace grix
