#include "log_capture.h"

#include "platform/qorl_log.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string log_path;
pid_t owner = 0;

void remove_log()
{
    // Death-test children exit through here too; only the parent owns the file.
    if (getpid() == owner && !getenv("QORL_LOGFILE"))
        remove(log_path.c_str());
}

const std::string& open_log()
{
    if (owner)
        return log_path;
    owner = getpid();
    if (const char* named = getenv("QORL_LOGFILE")) {
        log_path = named;
        while (!log_path.empty() && log_path[0] == '>')
            log_path.erase(0, 1);
    } else {
        const char* tmp = getenv("TMPDIR");
        log_path = std::string(tmp && *tmp ? tmp : "/tmp") + "/gfx_tests_" + std::to_string(owner) + ".log";
        atexit(remove_log);
    }
    // The first message decides where the log goes.
    qorl_log("QORL_LOGFILE=%s", log_path.c_str());
    return log_path;
}

// Before any test: a layer call that logs first would otherwise switch the log off.
const bool opened_at_start = (open_log(), true);

long file_size(const std::string& path)
{
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? static_cast<long>(st.st_size) : 0;
}

}  // namespace

LogCapture::LogCapture() : start_(file_size(open_log())) {}

std::string LogCapture::text() const
{
    std::string all;
    if (FILE* f = fopen(log_path.c_str(), "rb")) {
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, f)) > 0)
            all.append(buffer, n);
        fclose(f);
    }
    std::string since = static_cast<size_t>(start_) < all.size() ? all.substr(static_cast<size_t>(start_)) : "";
    std::string out;
    size_t at = 0;
    while (at < since.size()) {
        size_t end = since.find('\n', at);
        std::string line = since.substr(at, end == std::string::npos ? std::string::npos : end - at + 1);
        size_t prefix = line.find("] ");
        out += line[0] == '[' && prefix != std::string::npos ? line.substr(prefix + 2) : line;
        if (end == std::string::npos)
            break;
        at = end + 1;
    }
    return out;
}
