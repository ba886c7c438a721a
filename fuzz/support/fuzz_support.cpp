#include "support/fuzz_support.h"

#include "platform/qorl_log.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include <unistd.h>

namespace fs = std::filesystem;

namespace fuzz {
namespace {

struct Tree {
    std::string root;
    std::string user;
    explicit Tree(bool with_base_data)
    {
        // In memory where the system has it: every input is written as a file, and a
        // disk busy with other work can stall a write past the time limit.
        std::error_code ec;
        const fs::path base = fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path();
        std::string pattern = (base / "bvfuzz-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        root = pattern;
        user = root + "/user/Brovanta";
        fs::create_directories(user);
        fs::create_directories(root + "/game");
        setenv("XDG_DATA_HOME", (root + "/user").c_str(), 1);
        setenv("BV_HOME", with_base_data ? BV_FUZZ_BASE_DATA : (root + "/game").c_str(), 1);
        const char* log = getenv("BV_FUZZ_LOG");
        qorl_log("QORL_LOGFILE=%s", log && log[0] ? log : "/dev/null");
    }
    ~Tree()
    {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }
};

bool base_data_wanted = false;

const Tree& tree()
{
    static const Tree made(base_data_wanted);
    return made;
}

}  // namespace

void start(bool with_base_data)
{
    base_data_wanted = with_base_data;
    tree();
}

const std::string& user_folder()
{
    return tree().user;
}

std::string plain_path(const std::string& name)
{
    return user_folder() + "/" + name;
}

std::string put(const std::string& name, const uint8_t* data, size_t size)
{
    const std::string path = plain_path(name);
    fs::create_directories(fs::path(path).parent_path());
    FILE* f = fopen(path.c_str(), "wb");
    if (!f)
        abort();
    if (size && fwrite(data, 1, size, f) != size)
        abort();
    fclose(f);
    return "@" + name;
}

std::string put(const std::string& name, const std::string& bytes)
{
    return put(name, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

void remove(const std::string& name)
{
    std::error_code ignored;
    fs::remove(plain_path(name), ignored);
}

Split split(const uint8_t* data, size_t size)
{
    const std::string all(reinterpret_cast<const char*>(data), size);
    const size_t at = all.find("\n----\n");
    if (at == std::string::npos)
        return {all, {}};
    return {all.substr(0, at + 1), all.substr(at + 6)};
}

}  // namespace fuzz

// The address checker returns free memory to the system every few seconds from inside
// whichever free() comes due, walking its free lists under the 1 s limit of the input
// being run; on the shared machine that walk once took past it. A fuzz process is
// short-lived: it keeps its memory.
extern "C" const char* __asan_default_options()
{
    return "allocator_release_to_os_interval_ms=-1";
}
