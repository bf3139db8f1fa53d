#include "common/fourier_map.hpp"

namespace grix {

MapValues::MapValues(std::size_t count) : values_(new float[count]), size_(count) {}

void MapValues::Release::operator()(float* values) const
{
    delete[] values;
}

}  // namespace grix
