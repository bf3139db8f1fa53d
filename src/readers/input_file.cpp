#include "readers/input_file.hpp"

#include <cerrno>

namespace grix {

std::optional<InputFile> open_first(const std::vector<std::string>& names,
                                    std::vector<FailedOpen>& failures)
{
    for (const std::string& name : names) {
        // The system would see the name only up to the NUL, another file's name.
        if (name.find('\0') != std::string::npos) {
            failures.push_back({name, EINVAL});
            continue;
        }
        errno = 0;
        std::ifstream stream(name, std::ios::binary);
        if (stream.is_open())
            return InputFile{name, std::move(stream)};
        failures.push_back({name, errno});
    }
    return std::nullopt;
}

}  // namespace grix
