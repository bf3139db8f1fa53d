#include "writers/output_file.hpp"

#include "common/fatal.hpp"
#include "common/printf_text.hpp"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>

#include <fcntl.h>
#if defined(_WIN32)
#include <io.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace grix {
namespace {

namespace fs = std::filesystem;

// Large stream buffer: the resampled maps run to hundreds of megabytes of text.
constexpr std::size_t STREAM_BUFFER_BYTES = 1 << 20;

// Links followed before a name counts as a loop of links, as the system counts them.
constexpr int MAX_LINKS = 40;

// Names tried for the temporary file before giving up.
constexpr int TEMPORARY_ATTEMPTS = 100;

// The message, then the name and the system's reason for the error `error`.
[[noreturn]] void fail(std::string message, const std::string& name, int error)
{
    throw FatalError(message + printf_text("  %s: %s\n", name.c_str(), std::strerror(error)));
}

[[noreturn]] void fail_open(const std::string& name, int error)
{
    fail(printf_text("Can't open %s for output.\n", name.c_str()), name, error);
}

[[noreturn]] void fail_write(const OutputFile& file, int error)
{
    fail(printf_text("Error writing output file %s.\n", file.name.c_str()), file.name, error);
}

// The file a name stands for: symbolic links followed, also to a target that does not
// exist yet, which is then the file created.
fs::path follow_links(const std::string& name)
{
    fs::path path = name;
    for (int links = 0;; ++links) {
        std::error_code error;
        if (!fs::is_symlink(fs::symlink_status(path, error)))
            return path;
        if (links == MAX_LINKS)
            fail_open(name, ELOOP);
        const fs::path next = fs::read_symlink(path, error);
        if (error)
            fail_open(name, error.value());
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
}

void refuse_inputs(const std::string& name, std::span<const std::string> inputs)
{
    for (const std::string& input : inputs) {
        std::error_code error;
        if (fs::equivalent(name, input, error))
            throw FatalError(printf_text("Output file %s is an input of this run.\n", name.c_str()));
    }
}

// A file that did not exist before, opened as fopen opens for writing, readable by its
// owner alone while it is written.
std::FILE* create_new_file(const std::string& path, OutputMode mode)
{
    int flags = O_WRONLY | O_CREAT | O_EXCL;
#if defined(O_BINARY)
    if (mode == OutputMode::binary)
        flags |= O_BINARY;
#endif
    const int descriptor = ::open(path.c_str(), flags, 0600);
    if (descriptor < 0)
        return nullptr;
    std::FILE* stream = ::fdopen(descriptor, mode == OutputMode::text ? "w" : "wb");
    if (stream == nullptr) {
        const int error = errno;
        ::close(descriptor);
        std::remove(path.c_str());
        errno = error;
    }
    return stream;
}

// A new file beside `target`, named after it, that no other file had.
std::FILE* create_temporary(const fs::path& target, OutputMode mode, std::string& temporary)
{
    std::random_device seed;
    std::mt19937 random(seed());
    for (int attempt = 0; attempt < TEMPORARY_ATTEMPTS; ++attempt) {
        fs::path candidate = target;
        candidate += printf_text(".grix-%08x", static_cast<unsigned>(random()));
        errno = 0;
        if (std::FILE* stream = create_new_file(candidate.string(), mode)) {
            temporary = candidate.string();
            return stream;
        }
        if (errno != EEXIST)
            return nullptr;
    }
    return nullptr;
}

// The permission bits the output ends with: the replaced file's, or for a new file those
// fopen would have given it, 0666 less the umask.
fs::perms final_permissions(const fs::file_status& target)
{
    if (fs::exists(target))
        return target.permissions();
#if defined(_WIN32)
    return fs::perms::owner_read | fs::perms::owner_write;
#else
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return static_cast<fs::perms>(0666 & ~mask);
#endif
}

// Renaming replaces a file whatever its permission bits; the user may write it, as
// opening it in place would have asked, or the run is refused.
void refuse_unwritable(const std::string& name, const fs::path& target)
{
    errno = 0;
    if (std::FILE* probe = std::fopen(target.string().c_str(), "ab"))
        std::fclose(probe);
    else
        fail_open(name, errno);
}

}  // namespace

OutputFile::~OutputFile()
{
    if (!temporary.empty()) {
        stream.reset();
        std::error_code ignored;
        fs::remove(temporary, ignored);
    }
}

OutputFile open_output_file(const std::string& name, OutputMode mode,
                            std::span<const std::string> inputs)
{
    refuse_inputs(name, inputs);
    OutputFile file;
    file.name = name;
    const fs::path target = follow_links(name);
    file.target = target.string();
    std::error_code error;
    const fs::file_status status = fs::status(target, error);
    if (fs::is_regular_file(status))
        refuse_unwritable(name, target);
    errno = 0;
    if (fs::exists(status) && !fs::is_regular_file(status))
        file.stream.reset(std::fopen(file.target.c_str(), mode == OutputMode::text ? "w" : "wb"));
    else
        file.stream.reset(create_temporary(target, mode, file.temporary));
    if (!file.stream)
        fail_open(name, errno);
    std::setvbuf(file.stream.get(), nullptr, _IOFBF, STREAM_BUFFER_BYTES);
    return file;
}

void write_output(OutputFile& file, const void* data, std::size_t size)
{
    errno = 0;
    if (size != 0 && std::fwrite(data, 1, size, file.stream.get()) != size)
        fail_write(file, errno);
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
    errno = 0;
    const bool flushed = std::fflush(stream) == 0;
    int error = errno;
    const bool closed = std::fclose(stream) == 0;
    if (!flushed || !closed)
        fail_write(file, flushed ? errno : error);
    if (file.temporary.empty())
        return;
    std::error_code missing;  // a new file
    const fs::file_status old = fs::status(file.target, missing);
    std::error_code failure;
    fs::permissions(file.temporary, final_permissions(old), failure);
    if (!failure)
        fs::rename(file.temporary, file.target, failure);
    if (failure)
        fail_write(file, failure.value());
    file.temporary.clear();
}

}  // namespace grix
