// The tracking mode is decided once per process, so every scenario runs in a
// re-executed child (threadsafe death tests) that sets BV_CHECK_ALLOC itself,
// checks its own stderr and exits 0 only when everything matched.
#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <sys/mman.h>
#include <unistd.h>

#include "foundation/memory.h"

namespace {

// Collects the child's verdict; on a mismatch the child says why on the real stderr.
struct Verdict {
    std::string problems;
    void expect(bool ok, const char* what, ...) __attribute__((format(printf, 3, 4)))
    {
        if (ok)
            return;
        char line[512];
        va_list args;
        va_start(args, what);
        vsnprintf(line, sizeof line, what, args);
        va_end(args);
        problems += line;
        problems += '\n';
    }
    // _exit: blocks left live on purpose must not trip the leak checker of a sanitizer build.
    [[noreturn]] void finish()
    {
        fputs(problems.c_str(), stderr);
        fflush(stderr);
        _exit(problems.empty() ? 0 : 1);
    }
};

// Sends fd 2 to a temporary file until text() is called.
class StderrCapture {
public:
    StderrCapture()
    {
        fflush(stderr);
        file_ = tmpfile();
        saved_ = dup(2);
        dup2(fileno(file_), 2);
    }
    std::string text()
    {
        fflush(stderr);
        dup2(saved_, 2);
        close(saved_);
        std::string out;
        rewind(file_);
        char chunk[65536];
        size_t n;
        while ((n = fread(chunk, 1, sizeof chunk, file_)) > 0)
            out.append(chunk, n);
        fclose(file_);
        return out;
    }

private:
    FILE* file_;
    int saved_;
};

std::string leak_line(const void* block, int serial)
{
    char line[64];
    snprintf(line, sizeof line, "%p:%d\n", block, serial);
    return line;
}

std::string not_found_line(const void* block)
{
    char line[64];
    snprintf(line, sizeof line, "Allocation not found for %p!\n", block);
    return line;
}

void set_check_alloc(const char* value)
{
    if (value)
        setenv("BV_CHECK_ALLOC", value, 1);
    else
        unsetenv("BV_CHECK_ALLOC");
}

// A system allocator that looks at each block as it is released and can be told
// to refuse reallocations.
struct Watch {
    std::vector<std::string> released;   // contents at release time
    std::vector<size_t> sizes;           // size of each live block by order of allocation
    bool refuse_realloc = false;
} watch;

size_t watched_size(void* block)
{
    return reinterpret_cast<size_t*>(block)[-1];
}

void* watch_allocate(size_t size)
{
    size_t* raw = static_cast<size_t*>(malloc(size + sizeof(size_t)));
    if (!raw)
        return nullptr;
    raw[0] = size;
    return raw + 1;
}

void watch_release(void* block)
{
    if (!block)
        return;
    watch.released.emplace_back(static_cast<char*>(block), watched_size(block));
    free(static_cast<size_t*>(block) - 1);
}

void* watch_reallocate(void* block, size_t size)
{
    if (watch.refuse_realloc)
        return nullptr;
    if (size == 0) {
        watch_release(block);
        return nullptr;
    }
    void* moved = watch_allocate(size);
    if (moved && block) {
        size_t old = watched_size(block);
        memcpy(moved, block, old < size ? old : size);
        free(static_cast<size_t*>(block) - 1);
    }
    return moved;
}

const mem_system_allocator kWatch{watch_allocate, watch_reallocate, watch_release};

void* filled(size_t size, char fill)
{
    void* block = mem_alloc(size);
    if (block)
        memset(block, fill, size);
    return block;
}

// Three blocks, the middle one freed, then a realloc of the first, a free of a
// stranger and of null. Checks what reaches stderr and the released bytes.
void run_basic_scenario(const char* env_value, bool tracked)
{
    Verdict v;
    set_check_alloc(env_value);
    mem_set_system_allocator(&kWatch);

    StderrCapture capture;
    void* a = filled(24, 'a');
    void* b = filled(16, 'b');
    void* c = filled(8, 'c');
    mem_free(b);
    void* a2 = mem_realloc(a, 40);
    void* stranger = watch_allocate(4);
    mem_free(stranger);
    mem_free(nullptr);
    mem_report_leaks();
    std::string err = capture.text();

    v.expect(watch.released.size() >= 1, "the middle block was not released");
    if (!watch.released.empty())
        v.expect(watch.released[0] == (tracked ? std::string(16, '\0') : std::string(16, 'b')),
                 "middle block at release: '%s'", watch.released[0].c_str());
    if (tracked) {
        // Serial 1 was freed, serial 0 moved to serial 3; the stranger stays live.
        std::string expected = not_found_line(stranger) + leak_line(c, 2) + leak_line(a2, 3);
        v.expect(err == expected, "stderr was:\n%s\nexpected:\n%s", err.c_str(), expected.c_str());
        v.expect(watch.released.size() == 1, "%zu blocks released", watch.released.size());
    } else {
        v.expect(err.empty(), "stderr was:\n%s", err.c_str());
        v.expect(watch.released.size() == 2, "the stranger was not released");
    }
    v.finish();
}

class MemoryTracking : public ::testing::Test {
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_F(MemoryTracking, EnvironmentDecidesTheModeOnce)
{
    EXPECT_EXIT(run_basic_scenario(nullptr, false), ::testing::ExitedWithCode(0), "") << "unset";
    EXPECT_EXIT(run_basic_scenario("0", false), ::testing::ExitedWithCode(0), "") << "\"0\"";
    EXPECT_EXIT(run_basic_scenario("-3", false), ::testing::ExitedWithCode(0), "") << "\"-3\"";
    EXPECT_EXIT(run_basic_scenario("abc", false), ::testing::ExitedWithCode(0), "") << "\"abc\"";
    EXPECT_EXIT(run_basic_scenario("1", true), ::testing::ExitedWithCode(0), "") << "\"1\"";
    EXPECT_EXIT(run_basic_scenario("7x", true), ::testing::ExitedWithCode(0), "") << "\"7x\"";
}

TEST_F(MemoryTracking, ModeIsNotRereadAfterTheFirstCall)
{
    auto scenario = [] {
        Verdict v;
        set_check_alloc(nullptr);
        mem_free(mem_alloc(1));
        set_check_alloc("1");
        StderrCapture capture;
        void* block = mem_alloc(8);
        mem_report_leaks();
        std::string err = capture.text();
        v.expect(err.empty(), "tracking switched on late:\n%s", err.c_str());
        mem_free(block);
        v.finish();
    };
    EXPECT_EXIT(scenario(), ::testing::ExitedWithCode(0), "");
}

TEST_F(MemoryTracking, FailedReallocKeepsTheBlockTrackedAndFreeable)
{
    auto scenario = [] {
        Verdict v;
        set_check_alloc("1");
        mem_set_system_allocator(&kWatch);
        StderrCapture capture;
        void* block = filled(32, 'x');
        watch.refuse_realloc = true;
        void* moved = mem_realloc(block, 64);
        watch.refuse_realloc = false;
        v.expect(moved == nullptr, "realloc was meant to fail");
        mem_report_leaks();
        mem_free(block);
        mem_report_leaks();
        std::string err = capture.text();
        v.expect(err == leak_line(block, 0), "stderr was:\n%s", err.c_str());
        v.expect(watch.released.size() == 1 && watch.released[0] == std::string(32, '\0'),
                 "the old block was not wiped and released");
        v.finish();
    };
    EXPECT_EXIT(scenario(), ::testing::ExitedWithCode(0), "");
}

TEST_F(MemoryTracking, ReallocToZeroForgetsTheFreedBlock)
{
    // The C library's realloc(p, 0) frees p and answers null.
    auto scenario = [] {
        Verdict v;
        set_check_alloc("1");
        StderrCapture capture;
        void* block = mem_alloc(32);
        void* moved = mem_realloc(block, 0);
        mem_report_leaks();
        std::string err = capture.text();
        if (moved) {
            v.expect(err == leak_line(moved, 1), "stderr was:\n%s", err.c_str());
            mem_free(moved);
        } else {
            v.expect(err.empty(), "stderr was:\n%s", err.c_str());
        }
        v.finish();
    };
    EXPECT_EXIT(scenario(), ::testing::ExitedWithCode(0), "");
}

// Fake blocks, one byte each, so a full table costs nothing.
char arena[0x100000 + 8];
size_t arena_used = 0;
void* arena_allocate(size_t) { return &arena[arena_used++]; }
void* arena_reallocate(void*, size_t) { return nullptr; }
void arena_release(void*) {}

TEST_F(MemoryTracking, FullTableTurnsTrackingOff)
{
    auto scenario = [] {
        Verdict v;
        set_check_alloc("1");
        mem_system_allocator fake{arena_allocate, arena_reallocate, arena_release};
        mem_set_system_allocator(&fake);
        StderrCapture capture;
        for (int i = 0; i < 0x100000; ++i)
            mem_alloc(1);
        void* extra = mem_alloc(1);
        void* later = mem_alloc(1);
        arena[0] = 'q';
        mem_free(&arena[0]);   // no lookup now: neither wiped nor reported missing
        mem_free(&arena[5]);
        mem_free(&arena[sizeof arena - 1]);
        mem_report_leaks();
        std::string err = capture.text();
        const std::string full = "Too many allocations to check!\n";
        v.expect(err.compare(0, full.size(), full) == 0, "stderr began: %.80s", err.c_str());
        v.expect(err.find(full, 1) == std::string::npos, "the full-table line came twice");
        v.expect(err.find("not found") == std::string::npos, "a lookup happened after the table filled");
        v.expect(arena[0] == 'q', "a block was wiped after the table filled");
        std::string report = err.substr(full.size());
        size_t lines = 0;
        for (char ch : report)
            lines += ch == '\n';
        v.expect(lines == 0x100000, "%zu report lines", lines);
        v.expect(report.compare(0, leak_line(&arena[0], 0).size(), leak_line(&arena[0], 0)) == 0,
                 "report began: %.40s", report.c_str());
        v.expect(report.find(leak_line(extra, 0x100000)) == std::string::npos &&
                     report.find(leak_line(later, 0x100000)) == std::string::npos,
                 "a block past the limit was recorded");
        v.finish();
    };
    EXPECT_EXIT(scenario(), ::testing::ExitedWithCode(0), "");
}

TEST_F(MemoryTracking, BlockOfTwoGibibytesIsWipedOverItsWholeLength)
{
    // 2 GiB + 64 KiB of address space backed by two 64 KiB page sets: the first mapped
    // over and over, the second as the last chunk, so the wipe runs its full length
    // without the memory it would need, and its end can be seen.
    auto scenario = [] {
        Verdict v;
        const size_t chunk = 64 * 1024;
        const size_t size = (size_t(1) << 31) + 16;
        const size_t span = (size_t(1) << 31) + chunk;
        int fd = memfd_create("blocks", 0);
        if (fd < 0 || ftruncate(fd, 2 * chunk) != 0)
            _exit(77);
        char* base = static_cast<char*>(
            mmap(nullptr, span, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0));
        if (base == MAP_FAILED)
            _exit(77);
        for (size_t at = 0; at < span; at += chunk) {
            off_t offset = at + chunk == span ? off_t(chunk) : 0;
            if (mmap(base + at, chunk, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_FIXED, fd, offset) == MAP_FAILED)
                _exit(77);
        }
        char* tail = base + span - chunk;
        memset(base, 0x5a, chunk);
        memset(tail, 0x5a, chunk);

        static char* huge;
        huge = base;
        static bool released;
        mem_system_allocator fake{
            [](size_t) -> void* { return huge; },
            [](void*, size_t) -> void* { return nullptr; },
            [](void*) { released = true; }};
        set_check_alloc("1");
        mem_set_system_allocator(&fake);
        void* block = mem_alloc(size);
        mem_free(block);
        bool zero = true;
        for (size_t i = 0; i < chunk; ++i)
            zero = zero && base[i] == 0;
        for (size_t i = 0; i < 16; ++i)
            zero = zero && tail[i] == 0;
        v.expect(released, "the block was not released");
        v.expect(zero, "the block was not wiped to its end");
        v.expect(tail[16] == 0x5a, "the wipe ran past the block");
        v.finish();
    };
    EXPECT_EXIT(scenario(), ::testing::ExitedWithCode(0), "");
}

TEST_F(MemoryTracking, XmallocPassesLargeSizesWhole)
{
    auto scenario = [] {
        Verdict v;
        static size_t asked;
        mem_system_allocator fake{
            [](size_t size) -> void* { asked = size; return nullptr; },
            [](void*, size_t) -> void* { return nullptr; },
            [](void*) {}};
        mem_set_system_allocator(&fake);
        set_out_of_memory_hook([] {
            fprintf(stderr, "asked for %zu\n", asked);
        });
        xmalloc((size_t(5) << 30) + 3);
        v.expect(false, "xmalloc returned");
        v.finish();
    };
    EXPECT_EXIT(scenario(), ::testing::ExitedWithCode(1),
                "asked for 5368709123\n(.|\n)*Error: Out of virtual memory");
}

}  // namespace
