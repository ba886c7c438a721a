#include "console_capture.h"

#include "platform/qorl_log.h"

#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string path;
pid_t owner = 0;

void remove_log()
{
    if (getpid() == owner)
        remove(path.c_str());
}

const std::string& log_path()
{
    if (owner)
        return path;
    owner = getpid();
    const char* tmp = getenv("TMPDIR");
    path = std::string(tmp && *tmp ? tmp : "/tmp") + "/terrain_tests_" + std::to_string(owner) + ".log";
    atexit(remove_log);
    // The log's first message names its file.
    qorl_log("QORL_LOGFILE=%s", path.c_str());
    return path;
}

const bool opened = (log_path(), true);

long size_of(const std::string& name)
{
    struct stat st {};
    return stat(name.c_str(), &st) == 0 ? long(st.st_size) : 0;
}

}  // namespace

ConsoleCapture::ConsoleCapture() : start_(size_of(log_path())) {}

std::string ConsoleCapture::text() const
{
    std::string all;
    if (FILE* f = fopen(path.c_str(), "rb")) {
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, f)) > 0)
            all.append(buffer, n);
        fclose(f);
    }
    std::string out;
    for (size_t at = size_t(start_); at < all.size();) {
        size_t end = all.find('\n', at);
        std::string line = all.substr(at, end == std::string::npos ? std::string::npos : end - at + 1);
        size_t stamp = line.find("] ");
        out += line[0] == '[' && stamp != std::string::npos ? line.substr(stamp + 2) : line;
        if (end == std::string::npos)
            break;
        at = end + 1;
    }
    return out;
}
