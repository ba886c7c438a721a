// A disk that cannot hold more: files of at most `bytes` bytes from now on, in this
// process and the ones it starts, with the signal a longer write would raise ignored so
// that the write fails instead. Both are put back when it goes.
#pragma once
#include <csignal>

#include <sys/resource.h>

namespace bvtest {

struct FileSizeLimit {
    rlimit kept{};
    explicit FileSizeLimit(rlim_t bytes)
    {
        signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &kept);
        rlimit small = kept;
        small.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &small);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &kept);
        signal(SIGXFSZ, SIG_DFL);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
};

}  // namespace bvtest
