#include "writers/marching_cube.hpp"

#include "common/fatal.hpp"

void write_marching_cube(StructureInfo& /*structure*/, const MapHeader& /*header*/,
                         const MapSections& /*sections*/, int /*batch*/, const std::string& /*expnam*/,
                         Console& /*console*/)
{
    throw FatalError("This output format is not built yet.\n");
}
