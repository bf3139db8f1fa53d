#include "readers/input_file.hpp"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>

#if defined(_WIN32)
#include <io.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace grix {
namespace {

#if defined(_WIN32)
int open_for_reading(const char* name) { return _open(name, _O_RDONLY | _O_BINARY); }
long long read_some(int descriptor, void* data, std::size_t size)
{
    return _read(descriptor, data, static_cast<unsigned>(std::min<std::size_t>(size, 1u << 30)));
}
void close_file(int descriptor) { _close(descriptor); }
#else
int open_for_reading(const char* name) { return ::open(name, O_RDONLY | O_CLOEXEC); }
long long read_some(int descriptor, void* data, std::size_t size)
{
    for (;;) {
        const ssize_t got = ::read(descriptor, data, std::min<std::size_t>(size, 1u << 30));
        if (got >= 0 || errno != EINTR)
            return got;
    }
}
void close_file(int descriptor) { ::close(descriptor); }
#endif

// Reads into `data` until `size` bytes, the end of the file or a failure; how many came.
std::size_t read_into(int descriptor, unsigned char* data, std::size_t size)
{
    std::size_t got = 0;
    while (got < size) {
        const long long now = read_some(descriptor, data + got, size - got);
        if (now <= 0)
            break;
        got += static_cast<std::size_t>(now);
    }
    return got;
}

#if !defined(_WIN32)
// The regular file's bytes mapped privately; no bytes when it cannot be mapped.
FileBytes map_regular_file(int descriptor, bool writable)
{
    struct stat status {};
    if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode) || status.st_size <= 0)
        return {};
    const auto size = static_cast<std::size_t>(status.st_size);
    int flags = MAP_PRIVATE;
#if defined(MAP_POPULATE)
    flags |= MAP_POPULATE;  // every page at once, rather than a fault per page later
#endif
    void* start = mmap(nullptr, size, writable ? PROT_READ | PROT_WRITE : PROT_READ, flags,
                       descriptor, 0);
    if (start == MAP_FAILED)
        return {};
    std::shared_ptr<void> mapping(start, [size](void* at) { munmap(at, size); });
    return {std::move(mapping), static_cast<unsigned char*>(start), size, true};
}
#endif

// The bytes read into a block of floats, so that they lie on a 4-byte boundary.
FileBytes read_file_bytes(int descriptor)
{
    constexpr std::size_t STEP = std::size_t{1} << 20;
    std::size_t capacity = STEP;
    std::shared_ptr<float[]> block(new float[capacity / 4]);
    std::size_t size = 0;
    for (;;) {
        auto* bytes = reinterpret_cast<unsigned char*>(block.get());
        const std::size_t got = read_into(descriptor, bytes + size, capacity - size);
        size += got;
        if (size < capacity)
            return {block, bytes, size};
        if (capacity > static_cast<std::size_t>(-1) / 2)
            throw std::bad_alloc();
        std::shared_ptr<float[]> larger(new float[2 * capacity / 4]);
        std::copy_n(bytes, size, reinterpret_cast<unsigned char*>(larger.get()));
        block = std::move(larger);
        capacity *= 2;
    }
}

}  // namespace

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept
{
    if (this != &other) {
        if (descriptor_ >= 0)
            close_file(descriptor_);
        descriptor_ = other.descriptor_;
        other.descriptor_ = -1;
    }
    return *this;
}

FileDescriptor::~FileDescriptor()
{
    if (descriptor_ >= 0)
        close_file(descriptor_);
}

std::optional<InputFile> open_first(const std::vector<std::string>& names,
                                    std::vector<FailedOpen>& failures)
{
    for (const std::string& name : names) {
        // The system would see the name only up to the NUL, another file's name.
        if (name.find('\0') != std::string::npos) {
            failures.push_back({name, EINVAL});
            continue;
        }
        errno = 0;
        const int descriptor = open_for_reading(name.c_str());
        if (descriptor >= 0)
            return InputFile{name, FileDescriptor(descriptor)};
        failures.push_back({name, errno});
    }
    return std::nullopt;
}

std::string read_whole_file(InputFile& file)
{
    const FileBytes bytes = read_file_bytes(file.descriptor.get());
    return {reinterpret_cast<const char*>(bytes.data), bytes.size};
}

bool keeps_its_length([[maybe_unused]] const InputFile& file,
                      [[maybe_unused]] const FileBytes& bytes)
{
#if !defined(_WIN32)
    struct stat status {};
    if (bytes.mapped && fstat(file.descriptor.get(), &status) == 0)
        return status.st_size >= 0 && static_cast<std::size_t>(status.st_size) >= bytes.size;
#endif
    return true;
}

FileBytes take_file_bytes(InputFile& file, [[maybe_unused]] bool writable)
{
#if !defined(_WIN32)
    if (FileBytes mapped = map_regular_file(file.descriptor.get(), writable);
        mapped.data != nullptr)
        return mapped;
#endif
    return read_file_bytes(file.descriptor.get());
}

}  // namespace grix
