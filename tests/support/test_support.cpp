#include "support/test_support.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include <fcntl.h>
#include <time.h>
#include <xmmintrin.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace bvtest {

TempDir::TempDir()
{
    std::string pattern = (fs::temp_directory_path() / "bvtest-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir()
{
    std::error_code ec;
    fs::remove_all(path_, ec);
}

void make_dirs(const std::string& path)
{
    std::error_code ec;
    fs::create_directories(path, ec);
}

void write_file(const std::string& path, const std::string& bytes)
{
    fs::path p(path);
    if (p.has_parent_path())
        make_dirs(p.parent_path().string());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

long long bytes_read()
{
    std::ifstream io("/proc/self/io");
    std::string key;
    long long value = 0;
    while (io >> key >> value)
        if (key == "rchar:")
            return value;
    return -1;
}

std::string read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

bool file_exists(const std::string& path)
{
    return access(path.c_str(), F_OK) == 0;
}

std::string read_file_once(const std::string& path, const std::string& want, double seconds)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    std::string text = read_file(path);
    while (text != want && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        text = read_file(path);
    }
    return text;
}

void exec_or_exit(const std::vector<std::string>& argv)
{
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
}

double thread_cpu_seconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

std::string listing_lines(const std::string& log)
{
    std::string kept;
    for (size_t at = log.find("Listing s"); at != std::string::npos; at = log.find("Listing s", at + 1))
        kept += log.substr(at, log.find('\n', at) + 1 - at);
    return kept;
}

ProcessResult run_process(const std::vector<std::string>& argv, const std::vector<EnvChange>& env,
                          int timeout_seconds)
{
    TempDir capture;
    std::string out_path = capture / "out";
    std::string err_path = capture / "err";
    ProcessResult result;

    pid_t pid = fork();
    if (pid < 0)
        return result;
    if (pid == 0) {
        int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int in = open("/dev/null", O_RDONLY);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        for (const EnvChange& e : env) {
            if (e.unset)
                unsetenv(e.name.c_str());
            else
                setenv(e.name.c_str(), e.value.c_str(), 1);
        }
        exec_or_exit(argv);
    }

    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeout_seconds);
    int status = 0;
    for (;;) {
        pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid)
            break;
        if (r < 0 && errno != EINTR)
            return result;
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            result.out = read_file(out_path);
            result.err = read_file(err_path);
            return result;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (WIFEXITED(status))
        result.status = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        result.status = 128 + WTERMSIG(status);
    result.out = read_file(out_path);
    result.err = read_file(err_path);
    return result;
}

void use_built_program_in_window(const TempDir& home, int width, int height)
{
    write_file(home / "xdg/Brovanta/config", "video_mode=Windowed\nxres=" + std::to_string(width) +
                                                 "\nyres=" + std::to_string(height) + "\n");
    setenv("XDG_DATA_HOME", (home / "xdg").c_str(), 1);
    setenv("BV_HOME", BV_BUILD_DIR "/game", 1);
}

}  // namespace bvtest

namespace {

// Physics runs with denormals flushed, as the program sets up at start; every test
// process (and each re-executed child, whose MXCSR starts afresh) does the same.
[[maybe_unused]] const bool flush_denormals = [] {
    _mm_setcsr(_mm_getcsr() | 0x8040);
    return true;
}();

}  // namespace
