// Allocator tracking. The mode is decided once per process, so every scenario runs in
// a fresh process that sets BV_CHECK_ALLOC itself.
#include <algorithm>
#include <cstring>

#include <sys/mman.h>

#include "fixtures.h"
#include "foundation/memory.h"

namespace {

using namespace fixtures;

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

// A system allocator that keeps the first 16 bytes of each block as they were at its
// release (every watched block is at least that long), and can refuse reallocations.
struct Watch {
    std::vector<std::string> released;
    bool refuse_realloc = false;
} watch;

void watch_release(void* block)
{
    if (block)
        watch.released.emplace_back(static_cast<char*>(block), 16);
    free(block);
}

void* watch_reallocate(void* block, size_t size)
{
    if (watch.refuse_realloc)
        return nullptr;
    if (size == 0) {  // as the C library: frees the block and answers null
        watch_release(block);
        return nullptr;
    }
    return realloc(block, size);
}

const mem_system_allocator kWatch{malloc, watch_reallocate, watch_release};

void* filled(size_t size, char fill)
{
    return memset(mem_alloc(size), fill, size);
}

// Three blocks, the middle one freed, a realloc of the first, frees of a stranger and
// of null, a leak report. The variable flips after the first call, which changes nothing.
std::string basic_scenario(const char* value, bool tracked)
{
    Problems p;
    set_env("BV_CHECK_ALLOC", value);
    mem_set_system_allocator(&kWatch);
    void *c = nullptr, *moved = nullptr, *stranger = malloc(16);
    std::string err = stderr_of([&] {
        void* a = filled(24, 'a');
        setenv("BV_CHECK_ALLOC", tracked ? "0" : "1", 1);
        void* b = filled(16, 'b');
        c = filled(8, 'c');
        mem_free(b);
        moved = mem_realloc(a, 40);
        mem_free(stranger);
        mem_free(nullptr);
        mem_report_leaks();
    });
    p.same(watch.released.empty() ? "(none)" : watch.released[0], std::string(16, tracked ? '\0' : 'b'),
           "the freed block at its release");
    if (tracked) {
        // Serial 1 was freed, serial 0 moved to serial 3; the stranger stays live.
        p.same(err, not_found_line(stranger) + leak_line(c, 2) + leak_line(moved, 3), "stderr");
        p.check(watch.released.size() == 1, "the stranger was released");
    } else {
        p.same(err, "", "stderr");
        p.check(watch.released.size() == 2, "the stranger was not released");
    }
    return p.text;
}

TEST(MemoryTracking, APositiveNumberTurnsItOnOnceForTheRun)
{
    const std::pair<const char*, bool> values[] = {
        {nullptr, false}, {"0", false}, {"-3", false}, {"abc", false}, {"1", true}, {"7x", true}};
    for (auto [value, tracked] : values) {
        SCOPED_TRACE(value ? value : "unset");
        in_fresh_process([=] { return basic_scenario(value, tracked); });
    }
}

TEST(MemoryTracking, FailedReallocKeepsTheBlockAndReallocToZeroForgetsIt)
{
    in_fresh_process([] {
        Problems p;
        setenv("BV_CHECK_ALLOC", "1", 1);
        mem_set_system_allocator(&kWatch);
        void* kept = filled(32, 'x');
        void* gone = mem_alloc(16);
        std::string err = stderr_of([&] {
            watch.refuse_realloc = true;
            p.check(mem_realloc(kept, 64) == nullptr, "realloc was meant to fail");
            watch.refuse_realloc = false;
            p.check(mem_realloc(gone, 0) == nullptr, "realloc to 0 answered a block");
            mem_report_leaks();
            mem_free(kept);
            mem_report_leaks();
        });
        p.same(err, leak_line(kept, 0), "stderr");
        p.check(watch.released.size() == 2 && watch.released[1] == std::string(16, '\0'),
                "the kept block was not wiped and released");
        return p.text;
    });
}

// Fake blocks, one byte each, so a full table costs nothing.
char arena[0x100000 + 8];
size_t arena_used = 0;

TEST(MemoryTracking, FullTableTurnsTrackingOff)
{
    in_fresh_process([] {
        Problems p;
        setenv("BV_CHECK_ALLOC", "1", 1);
        mem_system_allocator fake{[](size_t) -> void* { return &arena[arena_used++]; },
                                  [](void*, size_t) -> void* { return nullptr; }, [](void*) {}};
        mem_set_system_allocator(&fake);
        std::string err = stderr_of([] {
            for (int i = 0; i < 0x100000 + 2; ++i)
                mem_alloc(1);
            arena[0] = 'q';
            mem_free(&arena[0]);  // no lookup now: neither wiped nor reported missing
            mem_free(&arena[sizeof arena - 1]);
            mem_report_leaks();
        });
        const std::string full = "Too many allocations to check!\n";
        p.check(err.compare(0, full.size(), full) == 0 && err.find(full, 1) == std::string::npos,
                "the full-table line is not there exactly once");
        p.check(err.find("not found") == std::string::npos && arena[0] == 'q', "a lookup after the table filled");
        p.check(std::count(err.begin(), err.end(), '\n') == 0x100000 + 1, "the report is not the full table");
        p.check(err.find(leak_line(&arena[0], 0)) == full.size(), "the report does not start with the first block");
        return p.text;
    });
}

TEST(MemoryTracking, BlockOfTwoGibibytesIsWipedOverItsWholeLength)
{
    // 2 GiB + 64 KiB of address space backed by two 64 KiB page sets: the first mapped
    // over and over, the second as the last chunk, so the wipe runs its full length
    // without the memory it would need, and its end can be seen.
    in_fresh_process([] {
        Problems p;
        const size_t chunk = 64 * 1024, size = (size_t(1) << 31) + 16, span = (size_t(1) << 31) + chunk;
        int fd = memfd_create("blocks", 0);
        if (fd < 0 || ftruncate(fd, 2 * chunk) != 0)
            return std::string("no memfd\n");
        static char* base;
        base = static_cast<char*>(mmap(nullptr, span, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0));
        if (base == MAP_FAILED)
            return std::string("no address space\n");
        for (size_t at = 0; at < span; at += chunk) {
            off_t offset = at + chunk == span ? off_t(chunk) : 0;
            if (mmap(base + at, chunk, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_FIXED, fd, offset) == MAP_FAILED)
                return std::string("mapping failed\n");
        }
        char* tail = base + span - chunk;
        memset(base, 0x5a, chunk);
        memset(tail, 0x5a, chunk);

        static bool released;
        mem_system_allocator fake{[](size_t) -> void* { return base; },
                                  [](void*, size_t) -> void* { return nullptr; }, [](void*) { released = true; }};
        setenv("BV_CHECK_ALLOC", "1", 1);
        mem_set_system_allocator(&fake);
        mem_free(mem_alloc(size));
        p.check(released, "the block was not released");
        p.check(std::all_of(base, base + chunk, [](char c) { return c == 0; }) &&
                    std::all_of(tail, tail + 16, [](char c) { return c == 0; }),
                "the block was not wiped to its end");
        p.check(tail[16] == 0x5a, "the wipe ran past the block");
        return p.text;
    });
}

TEST(MemoryTracking, XmallocPassesLargeSizesWhole)
{
    auto scenario = [] {
        static size_t asked;
        mem_system_allocator fake{[](size_t size) -> void* { asked = size; return nullptr; },
                                  [](void*, size_t) -> void* { return nullptr; }, [](void*) {}};
        mem_set_system_allocator(&fake);
        set_out_of_memory_hook([] { fprintf(stderr, "asked for %zu\n", asked); });
        xmalloc((size_t(5) << 30) + 3);
        _exit(0);
    };
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(scenario(), ::testing::ExitedWithCode(1), "asked for 5368709123\n(.|\n)*Error: Out of virtual memory");
}

}  // namespace
