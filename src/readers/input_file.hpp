// Opening an input file under the first of its candidate names that exists.
#pragma once

#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace grix {

struct InputFile {
    std::string name;
    std::ifstream stream;  // binary
};

// A name that could not be opened and the system's error number for it.
struct FailedOpen {
    std::string name;
    int error = 0;
};

// The first of `names` that opens for reading; each name tried before it is added to
// `failures`, all of them when none opens.
std::optional<InputFile> open_first(const std::vector<std::string>& names,
                                    std::vector<FailedOpen>& failures);

}  // namespace grix
