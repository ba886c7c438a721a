// Shared helpers for the tests: temporary folders, whole-file reads and writes,
// running a program as a child process with its output captured, and the processor
// time of the calling thread.
#pragma once
#include <string>
#include <utility>
#include <vector>

namespace bvtest {

// A fresh folder under $TMPDIR, removed with everything in it when the object dies.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

void write_file(const std::string& path, const std::string& bytes);  // makes parent folders
std::string read_file(const std::string& path);                       // "" when missing
bool file_exists(const std::string& path);
// What path holds once it is exactly want, or what it last held when seconds pass: a
// writer in another process may have made the file and not yet written all of it.
std::string read_file_once(const std::string& path, const std::string& want, double seconds = 30);
void make_dirs(const std::string& path);
// Bytes this process has read from files so far, as the kernel counts them: a cost the
// machine's load does not change.
long long bytes_read();

// A program run on the built data with a fresh user folder under home whose config asks
// for a window of the given size.
void use_built_program_in_window(const TempDir& home, int width, int height);

struct ProcessResult {
    int status = -1;   // exit status, or 128 + signal
    std::string out;
    std::string err;
};

struct EnvChange {
    std::string name;
    std::string value;
    bool unset = false;
};

// In a forked child: runs argv[0] with its arguments, or ends the child with status 127.
[[noreturn]] void exec_or_exit(const std::vector<std::string>& argv);

// Runs argv[0] with the current environment changed as listed; waits at most
// timeout_seconds (then kills it and reports status -1), a time that only fails a
// test and leaves room for a busy machine.
ProcessResult run_process(const std::vector<std::string>& argv,
                          const std::vector<EnvChange>& env = {},
                          int timeout_seconds = 240);

// True in the sanitizer build, which runs unoptimised and checks every access: the
// time and memory bounds of measured work stretch there by a factor each test knows.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kUnderSanitizers = true;
#else
inline constexpr bool kUnderSanitizers = false;
#endif

// Processor time the calling thread has used, in seconds. A test that bounds how long
// work takes measures this, not the wall clock: a busy machine keeps a thread waiting
// for as long as it likes, but the work done does not grow.
double thread_cpu_seconds();

// The log's "Listing skipped" and "Listing stopped" lines, each from those words to
// its end.
std::string listing_lines(const std::string& log);

}  // namespace bvtest
