#include "support/xvfb_server.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <random>
#include <ctime>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace bvtest {

namespace {

constexpr char reuse_variable[] = "BV_TEST_XVFB_DISPLAY";
constexpr int start_timeout_ms = 60000;   // only fails a test: room for a busy machine

// Reads the display number that Xvfb writes once it accepts connections.
std::string read_display_number(int fd)
{
    std::string text;
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        int ready = poll(&p, 1, start_timeout_ms);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return {};
        char c = 0;
        ssize_t got = read(fd, &c, 1);
        if (got <= 0)
            return {};
        if (c == '\n')
            return text.empty() ? std::string() : ":" + text;
        text += c;
    }
}

}  // namespace

bool XvfbServer::installed()
{
    const char* path = getenv("PATH");
    std::stringstream dirs(path ? path : "/usr/bin:/bin");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        if (!dir.empty() && access((dir + "/Xvfb").c_str(), X_OK) == 0)
            return true;
    }
    return false;
}

void XvfbServer::start(int number, const char* screen)
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return;
    std::string name = ":" + std::to_string(number);
    pid_ = fork();
    if (pid_ == 0) {
        int keep = dup(fds[1]);  // without close-on-exec, for Xvfb to write into
        int null = open("/dev/null", O_RDWR);
        dup2(null, 0);
        dup2(null, 1);
        dup2(null, 2);
        std::string fd_text = std::to_string(keep);
        execlp("Xvfb", "Xvfb", name.c_str(), "-displayfd", fd_text.c_str(), "-screen", "0",
               screen, "-nolisten", "tcp", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    if (pid_ > 0)
        display_ = read_display_number(fds[0]);
    close(fds[0]);
    if (display_.empty() && pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    if (display_.empty())
        pid_ = -1;
}

XvfbServer::XvfbServer(const char* screen)
{
    // Mesa's software renderer: the same pixels on every machine, no GPU needed.
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
    if (const char* inherited = getenv(reuse_variable)) {
        display_ = inherited;
        setenv("DISPLAY", display_.c_str(), 1);
        return;
    }
    if (!installed())
        return;
    // Our own pick among high numbers: a server that another test is just shutting down
    // may still remove the socket of a low number that Xvfb would hand out again.
    std::mt19937 pick(static_cast<unsigned>(getpid()) ^ static_cast<unsigned>(time(nullptr)));
    for (int attempt = 0; attempt < 8 && display_.empty(); ++attempt) {
        int number = 100 + static_cast<int>(pick() % 4000);
        std::string lock = "/tmp/.X" + std::to_string(number) + "-lock";
        std::string socket = "/tmp/.X11-unix/X" + std::to_string(number);
        if (access(lock.c_str(), F_OK) == 0 || access(socket.c_str(), F_OK) == 0)
            continue;
        start(number, screen);
    }
    if (display_.empty())
        return;
    owner_ = true;
    setenv("DISPLAY", display_.c_str(), 1);
    setenv(reuse_variable, display_.c_str(), 1);
}

XvfbServer::~XvfbServer()
{
    if (!owner_)
        return;
    unsetenv(reuse_variable);
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
}

}  // namespace bvtest
