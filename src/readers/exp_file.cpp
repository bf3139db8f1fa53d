#include "readers/exp_file.hpp"

void read_exp_file(const std::string& /*expnam*/, StructureInfo& /*structure*/, int /*batch*/,
                   Console& /*console*/)
{
}
