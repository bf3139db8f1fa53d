#include "common/fourier_map.hpp"

#include <cstdlib>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace grix {
namespace {

// A large map lies on whole 2 MiB pages, which the kernel can then back with huge pages:
// far fewer page faults as the reader first touches it. Smaller maps start on a cache line.
constexpr std::size_t HUGE_PAGE = std::size_t{2} << 20;
constexpr std::size_t CACHE_LINE = 64;

float* allocate_aligned(std::size_t count)
{
    const std::size_t bytes = count * sizeof(float);
    const std::size_t alignment = bytes >= HUGE_PAGE ? HUGE_PAGE : CACHE_LINE;
    if (count > static_cast<std::size_t>(-1) / sizeof(float) - alignment)
        throw std::bad_alloc();
    const std::size_t rounded = (bytes + alignment - 1) / alignment * alignment;
    void* memory = ::operator new(rounded, std::align_val_t{alignment});
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    if (alignment == HUGE_PAGE)
        madvise(memory, rounded, MADV_HUGEPAGE);  // only advice: ignored where unsupported
#endif
    return static_cast<float*>(memory);
}

}  // namespace

MapValues::MapValues(std::size_t count)
    : values_(allocate_aligned(count), Release{count}), size_(count)
{
}

void MapValues::Release::operator()(float* values) const
{
    const std::size_t bytes = size * sizeof(float);
    ::operator delete(values, std::align_val_t{bytes >= HUGE_PAGE ? HUGE_PAGE : CACHE_LINE});
}

}  // namespace grix
