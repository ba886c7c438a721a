#include "support/console_capture.h"

#include "platform/qorl_log.h"
#include "support/test_support.h"

namespace bvtest {
namespace {

// The log's first message names its file, so the offer goes out before any test logs.
struct LogFile {
    TempDir dir;
    std::string path = dir / "log.txt";
    LogFile() { qorl_log("QORL_LOGFILE=%s", path.c_str()); }
};

const LogFile& log_file()
{
    static const LogFile made;
    return made;
}

const bool offered_at_start = (log_file(), true);

}  // namespace

std::string console_log_text()
{
    return read_file(log_file().path);
}

}  // namespace bvtest

std::string ConsoleCapture::text() const
{
    const std::string all = bvtest::console_log_text();
    std::string out;
    for (size_t at = start_; at < all.size();) {
        size_t end = all.find('\n', at);
        end = end == std::string::npos ? all.size() : end + 1;
        const std::string line = all.substr(at, end - at);
        const size_t stamp = line.find("] ");
        out += line[0] == '[' && stamp != std::string::npos ? line.substr(stamp + 2) : line;
        at = end;
    }
    return out;
}
