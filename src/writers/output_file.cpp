#include "writers/output_file.hpp"

#include "common/fatal.hpp"
#include "common/printf_text.hpp"

#include <cerrno>
#include <charconv>
#include <climits>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <random>
#include <vector>

#include <fcntl.h>
#if defined(_WIN32)
#include <io.h>
#else
#include <pthread.h>
#include <signal.h>
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

// The temporary file as a plain C string, for a signal handler to remove; recorded and
// forgotten only while signals are held, so a handler never sees half a name.
char temporary_for_signals[4096];
volatile std::sig_atomic_t temporary_recorded = 0;

// Holds every signal for its lifetime: a signal that ends the run then comes after the
// temporary file was created and recorded, or after it was put in place or removed.
class SignalsHeld {
public:
#if defined(_WIN32)
    SignalsHeld() {}
#else
    SignalsHeld()
    {
        sigset_t all;
        sigfillset(&all);
        pthread_sigmask(SIG_BLOCK, &all, &before_);
    }
    ~SignalsHeld() { pthread_sigmask(SIG_SETMASK, &before_, nullptr); }
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

private:
    sigset_t before_;
#endif
};

void record_temporary(const std::string& path)
{
    temporary_recorded = 0;
    if (path.size() >= sizeof temporary_for_signals)
        return;  // longer than any name the system creates
    std::memcpy(temporary_for_signals, path.c_str(), path.size() + 1);
    temporary_recorded = 1;
}

// A descriptor closed when it goes out of scope.
struct Descriptor {
    explicit Descriptor(int number) : number(number) {}
    ~Descriptor()
    {
        if (number >= 0)
            ::close(number);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int number;
};

// Where the output goes: a file, or a descriptor already open.
struct Destination {
    fs::path path;
    int descriptor = -1;
};

// The descriptor a name stands for, or -1: /dev/stdout, /dev/stderr, /dev/fd/N and
// /proc/self/fd/N (or this process's own number in place of "self"). Windows has no
// such files, but takes the same names for its descriptors.
int named_descriptor(const fs::path& path)
{
    std::error_code error;
    const fs::path full = path.has_root_directory() ? path : fs::absolute(path, error);
    const std::string name = full.lexically_normal().generic_string();
    if (error)
        return -1;
    if (name == "/dev/stdout")
        return 1;
    if (name == "/dev/stderr")
        return 2;
    std::vector<std::string> folders = {"/dev/fd/", "/proc/self/fd/"};
#if !defined(_WIN32)
    folders.push_back(printf_text("/proc/%ld/fd/", static_cast<long>(::getpid())));
#endif
    for (const std::string& folder : folders) {
        if (!name.starts_with(folder))
            continue;
        const char* first = name.data() + folder.size();
        const char* last = name.data() + name.size();
        int number = -1;
        const auto [end, failure] = std::from_chars(first, last, number);
        const bool digits = failure == std::errc() && end == last && *first != '-';
        return digits ? number : -1;
    }
    return -1;
}

// The file a name stands for: symbolic links followed, also to a target that does not
// exist yet, which is then the file created; or the descriptor one of the links names.
// The descriptor is looked for before each link is followed, since the system's links
// for descriptors lead to the file behind them, which is not to be replaced.
Destination follow_links(const std::string& name)
{
    fs::path path = name;
    for (int links = 0;; ++links) {
        if (const int descriptor = named_descriptor(path); descriptor >= 0)
            return {path, descriptor};
        std::error_code error;
        if (!fs::is_symlink(fs::symlink_status(path, error)))
            return {path};
        if (links == MAX_LINKS)
            fail_open(name, ELOOP);
        const fs::path next = fs::read_symlink(path, error);
        if (error)
            fail_open(name, error.value());
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
}

// A stream on a copy of `descriptor`, which must be open for writing: writing starts
// where it stands (at the end when it appends) and nothing is truncated.
std::FILE* open_descriptor(int descriptor, OutputMode mode)
{
#if defined(_WIN32)
    const int copy = ::_dup(descriptor);
    if (copy < 0)
        return nullptr;
    if (mode == OutputMode::binary)
        ::_setmode(copy, _O_BINARY);
#else
    const int flags = ::fcntl(descriptor, F_GETFL);
    if (flags < 0)
        return nullptr;
    if ((flags & O_ACCMODE) == O_RDONLY) {
        errno = EBADF;  // what a write to it would say
        return nullptr;
    }
    const int copy = ::fcntl(descriptor, F_DUPFD_CLOEXEC, 0);
    if (copy < 0)
        return nullptr;
#endif
    std::FILE* stream = ::fdopen(copy, mode == OutputMode::text ? "w" : "wb");
    if (stream == nullptr) {
        const int error = errno;
        ::close(copy);
        errno = error;
    }
    return stream;
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

// A new file in `directory` that no other file had, recorded for the signal handler. Its
// short name does not grow with the target's, so any name the system takes for the
// target leaves room for it.
std::FILE* create_temporary(const fs::path& directory, OutputMode mode, std::string& temporary)
{
    std::random_device seed;
    std::mt19937 random(seed());
    for (int attempt = 0; attempt < TEMPORARY_ATTEMPTS; ++attempt) {
        const std::string candidate =
            (directory / printf_text(".grix-%08x", static_cast<unsigned>(random()))).string();
        const SignalsHeld held;
        errno = 0;
        if (std::FILE* stream = create_new_file(candidate, mode)) {
            temporary = candidate;
            record_temporary(temporary);
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

// Replacing a file needs no write permission on the file itself: the user must have it
// all the same, as opening it in place would have asked, or the run is refused. The file
// is opened without being created, which a sticky directory may forbid for files of
// other users.
void refuse_unwritable(const std::string& name, const fs::path& target)
{
    errno = 0;
    const Descriptor probe(::open(target.string().c_str(), O_WRONLY));
    if (probe.number < 0)
        fail_open(name, errno);
}

// Whether the new file can be renamed onto `target` without losing anything: the target
// has no other name, and its owner and group are given to the new file.
bool takes_identity(std::FILE* stream, const fs::path& target)
{
#if defined(_WIN32)
    (void)stream, (void)target;
    return true;
#else
    struct stat old {}, fresh {};
    const int descriptor = fileno(stream);
    if (::stat(target.c_str(), &old) != 0 || old.st_nlink > 1 || ::fstat(descriptor, &fresh) != 0)
        return false;
    return (fresh.st_uid == old.st_uid && fresh.st_gid == old.st_gid) ||
           ::fchown(descriptor, old.st_uid, old.st_gid) == 0;
#endif
}

// The output's stream for a file name: the target itself when it is a device or a FIFO,
// otherwise a temporary file beside it; where the directory refuses one, one in the
// directory for temporary files, to be copied over the target.
void open_file(OutputFile& file, const fs::path& target, OutputMode mode)
{
    std::error_code error;
    const fs::file_status status = fs::status(target, error);
    errno = 0;
    if (fs::exists(status) && !fs::is_regular_file(status)) {
        file.stream.reset(std::fopen(file.target.c_str(), mode == OutputMode::text ? "w" : "wb"));
        return;
    }
    const bool replaces = fs::is_regular_file(status);
    if (replaces)
        refuse_unwritable(file.name, target);
    file.stream.reset(create_temporary(target.parent_path(), mode, file.temporary));
    if (!file.stream && replaces) {
        const int beside = errno;
        const fs::path elsewhere = fs::temp_directory_path(error);
        if (!error)
            file.stream.reset(create_temporary(elsewhere, mode, file.temporary));
        file.copy_over = true;
        errno = file.stream ? 0 : beside;
        return;
    }
    if (file.stream && replaces)
        file.copy_over = !takes_identity(file.stream.get(), target);
}

// Writes the finished temporary file over the target in place, so that the target keeps
// its inode: its owner, group, mode and other names. Room for the new length is reserved
// first where the file system can, so that a full disk shows before the old contents
// are touched.
void copy_over(const OutputFile& file)
{
    int flags = 0;
#if defined(O_BINARY)
    flags |= O_BINARY;
#endif
    const Descriptor from(::open(file.temporary.c_str(), O_RDONLY | flags));
    if (from.number < 0)
        fail_write(file, errno);
    Descriptor to(::open(file.target.c_str(), O_WRONLY | flags));
    if (to.number < 0)
        fail_write(file, errno);
    std::error_code error;
    const std::uintmax_t length = fs::file_size(file.temporary, error);
    if (error)
        fail_write(file, error.value());
#if !defined(_WIN32)
    if (length > 0) {
        const int reserved = ::posix_fallocate(to.number, 0, static_cast<off_t>(length));
        if (reserved != 0 && reserved != EOPNOTSUPP && reserved != EINVAL)
            fail_write(file, reserved);
    }
#endif
    std::vector<char> buffer(STREAM_BUFFER_BYTES);
    for (;;) {
        const auto got = ::read(from.number, buffer.data(), static_cast<unsigned>(buffer.size()));
        if (got < 0)
            fail_write(file, errno);
        if (got == 0)
            break;
        for (std::size_t done = 0; done < static_cast<std::size_t>(got);) {
            const auto put = ::write(to.number, buffer.data() + done,
                                     static_cast<unsigned>(static_cast<std::size_t>(got) - done));
            if (put < 0)
                fail_write(file, errno);
            done += static_cast<std::size_t>(put);
        }
    }
    fs::resize_file(file.target, length, error);
    if (error)
        fail_write(file, error.value());
    const int closed = ::close(to.number);
    to.number = -1;
    if (closed != 0)
        fail_write(file, errno);
}

// The temporary file, finished, put in place of the target: renamed onto it with the
// final permission bits, or copied over it where the rename would lose something or the
// directory forbids it (a sticky directory and a file of another user).
void put_in_place(OutputFile& file)
{
    if (!file.copy_over) {
        std::error_code missing;  // a new file
        const fs::file_status old = fs::status(file.target, missing);
        std::error_code failure;
        fs::permissions(file.temporary, final_permissions(old), failure);
        if (!failure)
            fs::rename(file.temporary, file.target, failure);
        if (!failure)
            return;
        const bool forbidden = failure == std::errc::operation_not_permitted ||
                               failure == std::errc::permission_denied;
        if (!forbidden || !fs::is_regular_file(old))
            fail_write(file, failure.value());
    }
    copy_over(file);
    std::error_code ignored;
    fs::remove(file.temporary, ignored);
}

}  // namespace

OutputFile::~OutputFile()
{
    if (!temporary.empty()) {
        stream.reset();
        const SignalsHeld held;
        std::error_code ignored;
        fs::remove(temporary, ignored);
        temporary_recorded = 0;
    }
}

OutputFile open_output_file(const std::string& name, OutputMode mode,
                            std::span<const std::string> inputs)
{
    OutputFile file;
    file.name = name;
    // The system would see the name only up to the NUL, another file's name.
    if (name.find('\0') != std::string::npos)
        fail_open(name, EINVAL);
    refuse_inputs(name, inputs);
    const Destination destination = follow_links(name);
    file.target = destination.path.string();
    errno = 0;
    if (destination.descriptor >= 0)
        file.stream.reset(open_descriptor(destination.descriptor, mode));
    else
        open_file(file, destination.path, mode);
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

void rewrite_output(OutputFile& file, std::size_t offset, std::string_view bytes)
{
    std::FILE* stream = file.stream.get();
    errno = 0;
    if (offset > static_cast<std::size_t>(LONG_MAX) ||
        std::fseek(stream, static_cast<long>(offset), SEEK_SET) != 0)
        fail_write(file, errno);
    write_output(file, bytes);
    errno = 0;
    if (std::fseek(stream, 0, SEEK_END) != 0)
        fail_write(file, errno);
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
    // Once begun, the file is put in place whole: a signal waits until it is done.
    const SignalsHeld held;
    put_in_place(file);
    file.temporary.clear();
    temporary_recorded = 0;
}

void remove_temporary_output() noexcept
{
    if (temporary_recorded)
        ::unlink(temporary_for_signals);
}

}  // namespace grix
