// What the foundation tests share: scenarios run in a fresh process (search folders,
// the index, the log and the allocator mode are decided once per process), captured
// stderr, gzip members and ".saf" archives built in memory, whole-handle reads, and a
// scanner that runs one table over a text and over a file.
#pragma once
#include <gtest/gtest.h>

#include <zlib.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <unistd.h>

#include "foundation/door/door_faults.h"
#include "foundation/text/scan.h"
#include "foundation/vfs/vfs.h"
#include "support/archive_bytes.h"
#include "support/fresh_process.h"
#include "support/test_support.h"

namespace fixtures {

using bvtest::TempDir;
using bvtest::read_file;
using bvtest::write_file;
using bvtest::Problems;
using bvtest::in_fresh_process;
using bvtest::use_folders;
using bvtest::GzipHeader;
using bvtest::gzip_bytes;
using bvtest::saf_bytes;

// The openat2 answer this run of the suite meets: the kernel's own, or what
// BV_TEST_OPENAT2 names ("ENOSYS" as an older kernel answers, "EPERM" as a filter
// does), which the suite's registration sets for its second and third runs.
inline int kernel_openat2_answer()
{
    const char* answer = getenv("BV_TEST_OPENAT2");
    if (!answer || !*answer)
        return 0;
    const std::string name = answer;
    return name == "ENOSYS" ? ENOSYS : name == "EPERM" ? EPERM : name == "EACCES" ? EACCES : EINVAL;
}

// The faults a test sets, under this run's openat2 answer unless it names its own.
inline door_faults under_kernel(door_faults faults = {})
{
    if (faults.openat2_answer == 0)
        faults.openat2_answer = kernel_openat2_answer();
    return faults;
}

// Sets name, or unsets it for null.
inline void set_env(const char* name, const char* value)
{
    if (value)
        setenv(name, value, 1);
    else
        unsetenv(name);
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


inline std::string random_bytes(size_t n, unsigned seed)
{
    std::mt19937 generator(seed);
    std::string out(n, '\0');
    for (char& c : out)
        c = static_cast<char>(generator());
    return out;
}

// Writes data.txt.gz and opens data.txt, so the open goes through the ".gz" fallback.
inline vfs_file* open_packed(const TempDir& dir, const std::string& bytes)
{
    write_file(dir / "data.txt.gz", bytes);
    return vfs_open((dir / "data.txt").c_str(), "rb");
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

// The log of a fresh process, where console lines land before a front end is installed.
struct LogFile {
    TempDir dir;
    LogFile() { setenv("QORL_LOGFILE", (dir / "log.txt").c_str(), 1); }
    std::string text() const { return read_file(dir / "log.txt"); }
};

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
