// The GSAS experiment file: 80-column text records from which the cell, name and
// atoms of up to 10 phases are taken.
#pragma once

#include "common/console.hpp"
#include "common/records.hpp"

#include <string>

// Fills `structure` with the phase the map belongs to: the first phase in batch mode,
// the user's choice in interactive mode. A missing file or one without phases leaves a
// zero cell and no atoms and the run goes on; a phase with too many atoms ends the run.
void read_exp_file(const std::string& expnam, StructureInfo& structure, int batch,
                   Console& console);
