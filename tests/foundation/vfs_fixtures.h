// Fixtures for the file-handle, data-path and index tests: gzip members and ".saf"
// archives built in memory, whole-handle reads, and scenarios run in a fresh process
// (the search folders, the index and the log are decided once per process).
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

#include "foundation/vfs.h"

namespace vfstest {

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
// come back as the child's standard error and fail the test.
inline void expect_in_fresh_process(const std::function<std::string()>& scenario)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto run = [&] {
        std::string problems = scenario();
        fputs(problems.c_str(), stderr);
        fflush(stderr);
        _exit(problems.empty() ? 0 : 1);  // no leak checker between the verdict and the parent
    };
    EXPECT_EXIT(run(), ::testing::ExitedWithCode(0), "");
}

inline void use_folders(const std::string& user_base, const std::string& game)
{
    setenv("XDG_DATA_HOME", user_base.c_str(), 1);
    setenv("BV_HOME", game.c_str(), 1);
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

// The whole data behind a name, or "(none)" when it does not open.
inline std::string read_named(const std::string& name)
{
    return read_all(vfs_open(name.c_str(), "rb"));
}

}  // namespace vfstest
