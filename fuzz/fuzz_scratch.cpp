#include "fuzz_scratch.hpp"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

#include <unistd.h>

namespace {

void remove_scratch_dir()
{
    std::error_code ignored;
    std::filesystem::remove_all(scratch_dir(), ignored);
}

// Below $GRIX_FUZZ_SCRATCH when set, which fuzz/run-fuzz.sh removes at the end: a
// process that a crash ends cannot remove its own directory.
std::string make_scratch_dir()
{
    const char* parent = std::getenv("GRIX_FUZZ_SCRATCH");
    std::string pattern = std::string(parent != nullptr ? parent : "/tmp") + "/grix-fuzz-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::perror("grix fuzz: cannot make a scratch directory");
        std::abort();
    }
    std::atexit(remove_scratch_dir);
    return pattern;
}

}  // namespace

const std::string& scratch_dir()
{
    // Never destroyed: the exit handler that removes the directory still needs its name.
    static const std::string& dir = *new std::string(make_scratch_dir());
    return dir;
}

std::string scratch_path(const std::string& name)
{
    return scratch_dir() + "/" + name;
}

void write_scratch_file(const std::string& name, const std::uint8_t* data, std::size_t size)
{
    std::ofstream file(scratch_path(name), std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    require(file.good(), "cannot write an input file to the scratch directory");
}

void clear_scratch_dir()
{
    for (const auto& entry : std::filesystem::directory_iterator(scratch_dir()))
        std::filesystem::remove_all(entry.path());
}

void require(bool holds, const char* what)
{
    if (holds)
        return;
    std::fprintf(stderr, "grix fuzz: broken promise: %s\n", what);
    std::abort();
}
