// Orthogonalisation of the unit cell: X along a, Y in the a-b plane, Z along c*.
#pragma once

#include "common/records.hpp"

// Fills `frac_to_cart` and `cart_to_frac` from the cell. A cell without positive
// squared volume ends the run with a three-line report on standard output.
void orthogonalise_cell(StructureInfo& structure);
