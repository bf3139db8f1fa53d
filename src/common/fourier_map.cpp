#include "common/fourier_map.hpp"

#include <new>

namespace grix {

MapValues::MapValues(std::size_t section_points, std::size_t sections)
    : section_points_(section_points), sections_(sections), stride_(section_points)
{
    if (sections != 0 && section_points > static_cast<std::size_t>(-1) / sizeof(float) / sections)
        throw std::bad_alloc();
    // Default-initialised: every value is written before it is read.
    std::shared_ptr<float[]> block(new float[section_points * sections]);
    first_ = block.get();
    storage_ = std::move(block);
}

}  // namespace grix
