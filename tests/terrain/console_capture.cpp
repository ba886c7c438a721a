#include "console_capture.h"

#include "track_files.h"

#include <cstdio>
#include <sys/stat.h>

namespace {

long size_of(const std::string& name)
{
    struct stat st {};
    return stat(name.c_str(), &st) == 0 ? long(st.st_size) : 0;
}

}  // namespace

ConsoleCapture::ConsoleCapture() : start_(size_of(trackfiles::log_file())) {}

std::string ConsoleCapture::text() const
{
    std::string all;
    if (FILE* f = fopen(trackfiles::log_file().c_str(), "rb")) {
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
