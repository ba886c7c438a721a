#include "support/child_server.h"

#include "support/test_support.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace bvtest {

ChildServer::ChildServer(const std::vector<std::string>& argv, double start_timeout_seconds)
{
    int pipe_ends[2];
    if (pipe(pipe_ends) != 0)
        return;
    pid_ = fork();
    if (pid_ < 0) {
        close(pipe_ends[0]);
        close(pipe_ends[1]);
        return;
    }
    if (pid_ == 0) {
        dup2(pipe_ends[1], 1);
        close(pipe_ends[0]);
        close(pipe_ends[1]);
        exec_or_exit(argv);
    }
    close(pipe_ends[1]);
    out_ = pipe_ends[0];
    first_line_ = next_line(start_timeout_seconds);
    const std::string prefix = "listening on 127.0.0.1:";
    if (first_line_.rfind(prefix, 0) == 0)
        port_ = atoi(first_line_.c_str() + prefix.size());
}

ChildServer::~ChildServer()
{
    stop();
}

std::string ChildServer::next_line(double timeout_seconds)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeout_seconds);
    for (;;) {
        size_t end = pending_.find('\n');
        if (end != std::string::npos) {
            std::string line = pending_.substr(0, end);
            pending_.erase(0, end + 1);
            return line;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (out_ < 0 || left.count() <= 0)
            return "";
        pollfd p{out_, POLLIN, 0};
        int ready = poll(&p, 1, int(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return "";
        char chunk[512];
        ssize_t got = read(out_, chunk, sizeof chunk);
        if (got <= 0)
            return "";
        pending_.append(chunk, size_t(got));
    }
}

int ChildServer::stop()
{
    if (pid_ <= 0)
        return -1;
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    if (out_ >= 0)
        close(out_);
    out_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
}

}  // namespace bvtest
