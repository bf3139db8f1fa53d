#include "writers/ascii_dump.hpp"

#include "common/fatal.hpp"

void write_ascii_dump(const StructureInfo& /*structure*/, const MapHeader& /*header*/,
                      const MapSections& /*sections*/, int /*batch*/, int /*precision*/,
                      const std::string& /*expnam*/, Console& /*console*/)
{
    throw FatalError("This output format is not built yet.\n");
}
