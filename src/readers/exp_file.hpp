// The GSAS experiment file: 80-column text records from which the name, cell, atoms and
// space group of up to 10 phases are taken.
#pragma once

#include "common/phase.hpp"

#include <iosfwd>
#include <vector>

namespace grix {

// The phases in file order; none when the file holds no phase name record. A phase that
// the end of the file cuts short keeps what was read. A phase with more than MAXATOMS
// atoms ends the run.
std::vector<Phase> read_exp_file(std::istream& file);

}  // namespace grix
