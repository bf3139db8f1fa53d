// What "-info" prints: the map and the experiment file as a conversion reads them.
#pragma once

#include "common/fourier_map.hpp"
#include "common/phase.hpp"

#include <cstddef>
#include <iosfwd>
#include <string>
#include <vector>

namespace grix {

struct MapInfo {
    const std::string& map_file;
    const FourierMap& map;
    const std::string* exp_file;        // null when none was found
    const std::vector<Phase>& phases;
    std::size_t chosen;                 // the phase a conversion takes, from 1; 0: none
};

void print_map_info(std::ostream& out, const MapInfo& info);

}  // namespace grix
