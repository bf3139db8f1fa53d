#include "geometry/cell.hpp"

#include "common/fatal.hpp"

void orthogonalise_cell(StructureInfo& /*structure*/)
{
    throw FatalError("Error: Bad unit cell volume.\n", FatalStream::out);
}
