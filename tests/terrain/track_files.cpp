#include "track_files.h"

#include "support/test_support.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace trackfiles {
namespace {

// Made at start-up: the data folders are decided once per process, at the first data
// path, so both must be set by then.
struct Tree {
    bvtest::TempDir dir;
    Tree()
    {
        bvtest::make_dirs(dir / "user/Brovanta");
        bvtest::make_dirs(dir / "game");
        setenv("XDG_DATA_HOME", (dir / "user").c_str(), 1);
        setenv("BV_HOME", (dir / "game").c_str(), 1);
    }
};

const Tree& tree()
{
    static const Tree made;
    return made;
}

const bool made_at_start = (tree(), true);

}  // namespace

const std::string& root()
{
    return tree().dir.path();
}

const std::string& user_root()
{
    static const std::string user = root() + "/user/Brovanta";
    return user;
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
    std::filesystem::remove_all(path(folder), ignored);
}

std::string inline_heights(int n, float cell, float low, float high, const std::vector<uint16_t>& samples)
{
    char header[128];
    snprintf(header, sizeof header, "%d %f %f %f\n:", n, double(cell), double(low), double(high));
    std::string out = header;
    for (uint16_t v : samples)
        out += {char(v & 0xff), char(v >> 8)};
    return out;
}

std::string pgm(int w, int h, const std::vector<uint8_t>& bytes)
{
    return "P5\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n" + std::string(bytes.begin(), bytes.end());
}

}  // namespace trackfiles
