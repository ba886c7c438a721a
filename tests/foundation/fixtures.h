// What the foundation tests share: scenarios run in a fresh process (search folders,
// the index, the log and the allocator mode are decided once per process), captured
// stderr, gzip members and ".saf" archives built in memory, whole-handle reads, and a
// scanner that runs one table over a text and over a file.
#pragma once
#include <gtest/gtest.h>

#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <unistd.h>

#include "foundation/scan.h"
#include "foundation/vfs.h"
#include "support/test_support.h"

namespace fixtures {

using bvtest::TempDir;
using bvtest::read_file;
using bvtest::write_file;

// What a scenario found wrong, one line per problem.
struct Problems {
    std::string text;
    void check(bool ok, const std::string& what) { text += ok ? "" : what + "\n"; }
    void same(const std::string& got, const std::string& want, const std::string& what)
    {
        check(got == want, what + ": got [" + got.substr(0, 200) + "] want [" + want.substr(0, 200) + "]");
    }
};

// Runs scenario in a re-executed copy of the test program; the problems it returns
// come back as the child's stderr and fail the test.
inline void in_fresh_process(const std::function<std::string()>& scenario)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto run = [&] {
        std::string problems = scenario();
        fputs(problems.c_str(), stderr);
        fflush(stderr);
        _exit(problems.empty() ? 0 : 1);  // blocks left live on purpose: no leak checker
    };
    EXPECT_EXIT(run(), ::testing::ExitedWithCode(0), "");
}

// Sets name, or unsets it for null.
inline void set_env(const char* name, const char* value)
{
    if (value)
        setenv(name, value, 1);
    else
        unsetenv(name);
}

inline void use_folders(const std::string& user_base, const std::string& game)
{
    setenv("XDG_DATA_HOME", user_base.c_str(), 1);
    setenv("BV_HOME", game.c_str(), 1);
}

// A fresh process whose search folders are user + "/Brovanta/" and game (the scenario
// may still choose others before their first use).
inline void in_fresh_folders(const std::function<void(Problems&, const TempDir& user, const TempDir& game)>& scenario)
{
    in_fresh_process([&] {
        Problems p;
        TempDir user, game;
        use_folders(user.path(), game.path());
        scenario(p, user, game);
        return p.text;
    });
}

// Everything written to file descriptor 2 while body runs.
inline std::string stderr_of(const std::function<void()>& body)
{
    ::testing::internal::CaptureStderr();
    body();
    fflush(stderr);
    return ::testing::internal::GetCapturedStderr();
}

struct GzipHeader {
    bool name = false, comment = false, extra = false, header_crc = false;
};

// One gzip member holding data, with the chosen optional header fields.
inline std::string gzip_bytes(const std::string& data, GzipHeader fields = {})
{
    static char name[] = "original-name.txt";
    static char comment[] = "a comment";
    static unsigned char extra[] = {'A', 'P', 4, 0, 1, 2, 3, 4};
    z_stream z{};
    deflateInit2(&z, 6, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY);
    gz_header header{};
    header.name = fields.name ? reinterpret_cast<Bytef*>(name) : nullptr;
    header.comment = fields.comment ? reinterpret_cast<Bytef*>(comment) : nullptr;
    header.extra = fields.extra ? extra : nullptr;
    header.extra_len = fields.extra ? sizeof extra : 0;
    header.hcrc = fields.header_crc;
    deflateSetHeader(&z, &header);
    std::string out(deflateBound(&z, data.size()) + 256, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

// A ".saf" archive: "<size> <name>\n" lines, "-\n", then the data back to back.
inline std::string saf_bytes(const std::vector<std::pair<std::string, std::string>>& entries)
{
    std::string header, data;
    for (const auto& [name, bytes] : entries) {
        header += std::to_string(bytes.size()) + " " + name + "\n";
        data += bytes;
    }
    return header + "-\n" + data;
}

inline std::string random_bytes(size_t n, unsigned seed)
{
    std::mt19937 generator(seed);
    std::string out(n, '\0');
    for (char& c : out)
        c = static_cast<char>(generator());
    return out;
}

// Everything the handle still delivers, "(none)" for no handle; closes it.
inline std::string read_all(vfs_file* f)
{
    if (!f)
        return "(none)";
    std::string out;
    char chunk[333];
    for (int n; (n = vfs_read(f, chunk, sizeof chunk)) > 0;)
        out.append(chunk, static_cast<size_t>(n));
    vfs_close(f);
    return out;
}

inline std::string read_named(const std::string& name)
{
    return read_all(vfs_open(name.c_str(), "rb"));
}

enum class ScanSource { text, file };

// The same bytes scanned as a text (scan_string) or as a file (vfs_scanf).
class Scanner {
public:
    Scanner(ScanSource kind, std::string input) : kind_(kind), input_(std::move(input))
    {
        if (kind_ == ScanSource::file) {
            write_file(dir_ / "input.txt", input_);
            file_ = vfs_open((dir_ / "input.txt").c_str(), "rb");
        }
    }
    ~Scanner() { vfs_close(file_); }  // not copyable: TempDir is not

    vfs_file* file() const { return file_; }

    template <typename... Args>
    int operator()(const char* format, Args... args)
    {
        if (kind_ == ScanSource::text)
            return scan_string(input_.c_str(), format, args...);
        return file_ ? vfs_scanf(file_, format, args...) : -99;
    }

    // What a later read of the file gets: the look-ahead first, then the rest.
    std::string rest() { return read_all(std::exchange(file_, nullptr)); }

private:
    ScanSource kind_;
    std::string input_;
    TempDir dir_;
    vfs_file* file_ = nullptr;
};

}  // namespace fixtures
