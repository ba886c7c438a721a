#include "track_files.h"

#include "platform/qorl_log.h"
#include "support/test_support.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace fs = std::filesystem;

namespace trackfiles {
namespace {

std::string base;
pid_t owner = 0;

void remove_tree()
{
    if (getpid() == owner && !base.empty()) {
        std::error_code ignored;
        fs::remove_all(base, ignored);
    }
}

const std::string& make_tree()
{
    if (owner)
        return base;
    owner = getpid();
    const char* tmp = getenv("TMPDIR");
    base = std::string(tmp && *tmp ? tmp : "/tmp") + "/terrain_files_" + std::to_string(owner);
    fs::create_directories(base + "/user/Brovanta");
    fs::create_directories(base + "/game");
    // Decided once per process, at the first data path: both must be set by then.
    setenv("XDG_DATA_HOME", (base + "/user").c_str(), 1);
    setenv("BV_HOME", (base + "/game").c_str(), 1);
    // The log's first message names its file; console lines land there.
    qorl_log("QORL_LOGFILE=%s", (base + "/log.txt").c_str());
    atexit(remove_tree);
    return base;
}

const bool made = (make_tree(), true);

}  // namespace

const std::string& root()
{
    return make_tree();
}

std::string log_text()
{
    return bvtest::read_file(make_tree() + "/log.txt");
}

const std::string& user_root()
{
    static const std::string root = make_tree() + "/user/Brovanta";
    return root;
}

std::string path(const std::string& name)
{
    return user_root() + "/" + name;
}

void put(const std::string& name, const std::string& bytes)
{
    bvtest::write_file(path(name), bytes);
}

std::string get(const std::string& name)
{
    return bvtest::read_file(path(name));
}

void remove_folder(const std::string& folder)
{
    std::error_code ignored;
    fs::remove_all(path(folder), ignored);
}

std::string inline_heights(int n, float cell, float low, float high, const std::vector<uint16_t>& samples)
{
    char header[128];
    snprintf(header, sizeof header, "%d %f %f %f\n:", n, double(cell), double(low), double(high));
    std::string out = header;
    for (uint16_t v : samples) {
        out += char(v & 0xff);
        out += char(v >> 8);
    }
    return out;
}

std::string pgm(int w, int h, const std::vector<uint8_t>& bytes)
{
    return "P5\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n" + std::string(bytes.begin(), bytes.end());
}

}  // namespace trackfiles

std::string ConsoleCapture::text() const
{
    const std::string all = trackfiles::log_text();
    std::string out;
    for (size_t at = start_; at < all.size();) {
        size_t end = all.find('\n', at);
        end = end == std::string::npos ? all.size() : end + 1;
        std::string line = all.substr(at, end - at);
        const size_t stamp = line.find("] ");
        out += line[0] == '[' && stamp != std::string::npos ? line.substr(stamp + 2) : line;
        at = end;
    }
    return out;
}
