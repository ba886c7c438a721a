#include "log_capture.h"

#include "platform/qorl_log.h"
#include "support/test_support.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

std::string log_path;
pid_t owner = 0;

const std::string& open_log()
{
    if (owner)
        return log_path;
    owner = getpid();
    if (const char* named = getenv("QORL_LOGFILE")) {
        log_path = named;
        log_path.erase(0, log_path.find_first_not_of('>'));
    } else {
        const char* tmp = getenv("TMPDIR");
        log_path = std::string(tmp && *tmp ? tmp : "/tmp") + "/gfx_tests_" + std::to_string(owner) + ".log";
        // Death-test children exit through here too; only the parent owns the file.
        atexit([] {
            if (getpid() == owner)
                remove(log_path.c_str());
        });
    }
    // The first message decides where the log goes.
    qorl_log("QORL_LOGFILE=%s", log_path.c_str());
    return log_path;
}

// Before any test: a layer call that logs first would otherwise switch the log off.
const bool opened_at_start = (open_log(), true);

}  // namespace

LogCapture::LogCapture() : start_(static_cast<long>(bvtest::read_file(open_log()).size())) {}

std::string LogCapture::text() const
{
    const std::string all = bvtest::read_file(log_path);
    std::string out;
    for (size_t at = static_cast<size_t>(start_); at < all.size();) {
        size_t end = all.find('\n', at);
        end = end == std::string::npos ? all.size() : end + 1;
        std::string line = all.substr(at, end - at);
        const size_t prefix = line.find("] ");
        out += line[0] == '[' && prefix != std::string::npos ? line.substr(prefix + 2) : line;
        at = end;
    }
    return out;
}
