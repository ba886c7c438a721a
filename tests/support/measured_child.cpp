#include "support/measured_child.h"

#include <ctime>
#include <cstdio>
#include <cstring>
#include <fstream>

#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace bvtest {

namespace {

struct report {
    int result;
    double seconds;
    long grown_kib;
};

// A line of /proc/self/status in KiB, 0 when missing.
double cpu_seconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

long status_kib(const char* key)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    const size_t n = strlen(key);
    while (std::getline(in, line))
        if (line.compare(0, n, key) == 0)
            return std::atol(line.c_str() + n);
    return 0;
}

}  // namespace

ChildCost run_measured(const std::function<int()>& body, int limit_seconds)
{
    ChildCost cost;
    int fds[2];
    if (pipe(fds) != 0)
        return cost;
    fflush(nullptr);
    const pid_t pid = fork();
    if (pid < 0) {
        close(fds[0]);
        close(fds[1]);
        return cost;
    }
    if (pid == 0) {
        close(fds[0]);
        // A case that spins is killed once it has used the limit in processor time.
        const rlimit cpu{rlim_t(limit_seconds), rlim_t(limit_seconds)};
        setrlimit(RLIMIT_CPU, &cpu);
        // The peak so far is the parent's; reset it so the peak read below is the case's.
        if (FILE* f = fopen("/proc/self/clear_refs", "w")) {
            fputs("5", f);
            fclose(f);
        }
        const long before = status_kib("VmRSS:");
        // The child's own processor time, not the wall clock: what the case costs,
        // whatever else the machine is running meanwhile.
        const double start = cpu_seconds();
        report r{};
        r.result = body();
        r.seconds = cpu_seconds() - start;
        r.grown_kib = status_kib("VmHWM:") - before;
        if (write(fds[1], &r, sizeof r) != sizeof r)
            _exit(2);
        _exit(0);
    }
    close(fds[1]);
    pollfd p{fds[0], POLLIN, 0};
    report r{};
    // One that waits for ever is killed by the wall clock, late enough that a busy
    // machine keeping an honest case waiting for its turn never reaches it.
    if (poll(&p, 1, limit_seconds * 10000) == 1 && read(fds[0], &r, sizeof r) == sizeof r) {
        cost.finished = true;
        cost.result = r.result;
        cost.seconds = r.seconds;
        cost.grown_kib = r.grown_kib;
    } else {
        kill(pid, SIGKILL);
    }
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return cost;
}

std::string describe(const std::string& name, const ChildCost& cost)
{
    char line[300];
    if (!cost.finished)
        snprintf(line, sizeof line, "%s: did not finish", name.c_str());
    else
        snprintf(line, sizeof line, "%s: %.3f s, +%ld KiB", name.c_str(), cost.seconds, cost.grown_kib);
    return line;
}

}  // namespace bvtest
