// A server program run as a child process for a test: its first stdout line names the
// port it listens on ("listening on 127.0.0.1:PORT"); it is stopped with SIGTERM when
// the object dies.
#pragma once
#include <string>
#include <vector>

#include <sys/types.h>

namespace bvtest {

class ChildServer {
public:
    // The timeouts only fail a test: they are long enough for a busy machine.
    explicit ChildServer(const std::vector<std::string>& argv, double start_timeout_seconds = 60);
    ~ChildServer();
    ChildServer(const ChildServer&) = delete;
    ChildServer& operator=(const ChildServer&) = delete;

    int port() const { return port_; }  // 0 when the program did not say where it listens
    const std::string& first_line() const { return first_line_; }
    // The next line of its output without the line end, "" when none came in time.
    std::string next_line(double timeout_seconds = 60);
    // SIGTERM and the wait; the exit status, or 128 + signal.
    int stop();

private:
    pid_t pid_ = -1;
    int out_ = -1;
    int port_ = 0;
    std::string first_line_;
    std::string pending_;
};

}  // namespace bvtest
