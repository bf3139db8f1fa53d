// A console whose standard input is a string and whose output and error are kept.
#pragma once

#include "driver/console.hpp"

#include <sstream>
#include <string>

struct StringConsole {
    explicit StringConsole(const std::string& input = "") : in(input) {}
    std::istringstream in;
    std::ostringstream out;
    std::ostringstream err;
    grix::Console console{in, out, err};
};
