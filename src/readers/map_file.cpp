#include "readers/map_file.hpp"

#include "common/fatal.hpp"

void read_map_file(std::string& /*expnam*/, const std::string& /*map_type*/, int /*show_header*/,
                   MapHeader& /*header*/, MapSections& /*sections*/, Console& /*console*/)
{
    throw FatalError("Could not find Fourier map file.\n");
}
