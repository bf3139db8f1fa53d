// The one way a run ends in failure: throw FatalError where the fault is found; the
// driver prints the message on the stream it belongs to and exits with status 1.
#pragma once

#include <stdexcept>
#include <string>

namespace grix {

enum class FatalStream { out, err };

struct FatalError : std::runtime_error {
    explicit FatalError(std::string message, FatalStream stream = FatalStream::err)
        : std::runtime_error(std::move(message)), stream(stream) {}
    FatalStream stream;
};

}  // namespace grix
