// Runs the scanning engine over the same bytes either as a text (scan_string) or as
// a file opened through vfs_open (vfs_scanf), so every table checks both forms.
#pragma once
#include <cstdio>
#include <string>

#include "foundation/scan.h"
#include "foundation/vfs.h"
#include "support/test_support.h"

enum class ScanSource { text, file };

inline std::string source_name(ScanSource s)
{
    return s == ScanSource::text ? "Text" : "File";
}

class Scanner {
public:
    Scanner(ScanSource kind, std::string input) : kind_(kind), input_(std::move(input))
    {
        if (kind_ == ScanSource::file) {
            bvtest::write_file(dir_ / "input.txt", input_);
            file_ = vfs_open((dir_ / "input.txt").c_str(), "rb");
        }
    }
    ~Scanner()
    {
        if (file_)
            vfs_close(file_);
    }
    Scanner(const Scanner&) = delete;
    Scanner& operator=(const Scanner&) = delete;

    bool is_file() const { return kind_ == ScanSource::file; }
    vfs_file* file() const { return file_; }

    template <typename... Args>
    int operator()(const char* format, Args... args)
    {
        if (kind_ == ScanSource::text)
            return scan_string(input_.c_str(), format, args...);
        return file_ ? vfs_scanf(file_, format, args...) : -99;
    }

    // What a later read of the file gets: the look-ahead first, then the rest.
    std::string rest()
    {
        std::string out;
        for (int c; file_ && (c = vfs_getc(file_)) >= 0;)
            out += static_cast<char>(c);
        return out;
    }

private:
    ScanSource kind_;
    std::string input_;
    bvtest::TempDir dir_;
    vfs_file* file_ = nullptr;
};
