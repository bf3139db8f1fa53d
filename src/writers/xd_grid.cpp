#include "writers/xd_grid.hpp"

#include "common/fatal.hpp"

void write_xd_grid(StructureInfo& /*structure*/, const MapHeader& /*header*/,
                   const MapSections& /*sections*/, int /*batch*/, const std::string& /*expnam*/,
                   Console& /*console*/)
{
    throw FatalError("This output format is not built yet.\n");
}
