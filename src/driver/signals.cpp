#include "driver/signals.hpp"

#include "writers/output_file.hpp"

#include <cerrno>
#include <csignal>

#if !defined(_WIN32)
#include <signal.h>
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
#endif

}  // namespace

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
#endif
}

}  // namespace grix
