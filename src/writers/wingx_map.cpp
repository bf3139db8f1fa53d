#include "writers/wingx_map.hpp"

#include "common/fatal.hpp"

void write_wingx_map(const StructureInfo& /*structure*/, const MapHeader& /*header*/,
                     const MapSections& /*sections*/, int /*batch*/, const std::string& /*expnam*/,
                     Console& /*console*/)
{
    throw FatalError("This output format is not built yet.\n");
}
