// Runs a command as a child and prints its wall-clock seconds, its peak resident memory
// (KiB) and its processor seconds (user and system, all threads; both from wait4) on
// standard output; the command's own output goes to /dev/null.
// A process keeps the peak of the memory it had before it started the command, so the
// benchmark starts each run from this small program rather than from the interpreter
// that drives it.
//
//   measure_run COMMAND [ARGUMENTS...]
//
// prints "SECONDS PEAK_KIB CPU_SECONDS"; fails when the command fails.

#include <cstdio>
#include <ctime>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: measure_run COMMAND [ARGUMENTS...]\n");
        return 2;
    }
    timespec start{}, end{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    const pid_t child = fork();
    if (child == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        execvp(argv[1], argv + 1);
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) != child) {
        std::perror("measure_run");
        return 2;
    }
    clock_gettime(CLOCK_MONOTONIC, &end);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "measure_run: %s failed (status %d)\n", argv[1], status);
        return 1;
    }
    const double seconds = static_cast<double>(end.tv_sec - start.tv_sec) +
                           static_cast<double>(end.tv_nsec - start.tv_nsec) / 1e9;
    const auto cpu = [](const timeval& time) {
        return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
    };
    std::printf("%.6f %ld %.6f\n", seconds, usage.ru_maxrss,
                cpu(usage.ru_utime) + cpu(usage.ru_stime));
    return 0;
}
