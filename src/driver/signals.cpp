#include "driver/signals.hpp"

#include "writers/output_file.hpp"

#include "common/printf_text.hpp"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>

#if !defined(_WIN32)
#include <signal.h>
#include <unistd.h>
#endif

namespace grix {
namespace {

#if !defined(_WIN32)
// Only what is safe in a signal handler: unlink, then the default action raised again.
// errno is left as it was, as a handler must leave it.
extern "C" void end_by_signal(int number)
{
    const int error = errno;
    remove_temporary_output();
    std::signal(number, SIG_DFL);
    std::raise(number);
    errno = error;
}

// The whole message for a mapped map file that shrank, written before any signal can
// need it; empty while no map is mapped.
char shrunk_map_message[4352];
volatile std::sig_atomic_t shrunk_map_length = 0;

// A signal handler cannot throw to the one place that reports failures, so it says
// what that place would say and ends the run as it would.
extern "C" void end_by_shrunk_map(int number)
{
    if (shrunk_map_length == 0) {
        end_by_signal(number);
        return;
    }
    remove_temporary_output();
    const auto length = static_cast<std::size_t>(shrunk_map_length);
    const ssize_t ignored = ::write(2, shrunk_map_message, length);
    static_cast<void>(ignored);
    _exit(1);
}
#endif

}  // namespace

void note_mapped_map_file([[maybe_unused]] const std::string& name)
{
#if !defined(_WIN32)
    const std::string message = printf_text(
        "Error reading Fourier map file %s; it ended early, changed while it was read.\n",
        name.c_str());
    shrunk_map_length = 0;
    const std::size_t length = std::min(message.size(), sizeof shrunk_map_message);
    std::memcpy(shrunk_map_message, message.data(), length);
    shrunk_map_length = static_cast<std::sig_atomic_t>(length);
#endif
}

void install_signal_handlers()
{
#if !defined(_WIN32)
    struct sigaction action {};
    action.sa_handler = end_by_signal;
    sigfillset(&action.sa_mask);
    for (const int number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
        struct sigaction before {};
        if (sigaction(number, nullptr, &before) == 0 && before.sa_handler != SIG_IGN)
            sigaction(number, &action, nullptr);
    }
    std::signal(SIGXFSZ, SIG_IGN);
    action.sa_handler = end_by_shrunk_map;
    sigaction(SIGBUS, &action, nullptr);
#endif
}

}  // namespace grix
