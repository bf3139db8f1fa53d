#include "writers/ccp4_map.hpp"

#include "common/fatal.hpp"

void write_ccp4_map(const StructureInfo& /*structure*/, const MapHeader& /*header*/,
                    const MapSections& /*sections*/, int /*batch*/, const std::string& /*expnam*/,
                    Console& /*console*/)
{
    throw FatalError("This output format is not built yet.\n");
}
