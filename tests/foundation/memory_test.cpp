// Allocator tracking. The mode is decided once per process, so every scenario runs in
// a fresh process that sets BV_CHECK_ALLOC itself.
#include <algorithm>
#include <cstring>
#include <vector>

#include <sys/mman.h>

#include "fixtures.h"
#include "foundation/memory.h"

namespace {

using namespace fixtures;

std::string printed(const char* format, const void* block, int serial = 0)
{
    char line[64];
    snprintf(line, sizeof line, format, block, serial);
    return line;
}

// A system allocator that keeps the first 16 bytes of each block as they were at its
// release (every watched block is that long or longer), and can refuse reallocations.
std::string released;
bool refuse_realloc = false;

void watch_release(void* block)
{
    if (block)
        released.append(static_cast<char*>(block), 16);
    free(block);
}

void* watch_reallocate(void* block, size_t size)
{
    if (refuse_realloc)
        return nullptr;
    if (size == 0) {  // as the C library: frees the block and answers null
        watch_release(block);
        return nullptr;
    }
    return realloc(block, size);
}

void* filled(size_t size, char fill)
{
    return memset(mem_alloc(size), fill, size);
}

// Blocks freed, moved, refused a move and shrunk to nothing; a stranger and null freed;
// then a leak report. The variable flips after the first call, which changes nothing.
std::string scenario(const char* value, bool tracked)
{
    Problems p;
    set_env("BV_CHECK_ALLOC", value);
    const mem_system_allocator watch{malloc, watch_reallocate, watch_release};
    mem_set_system_allocator(&watch);
    void *kept = nullptr, *moved = nullptr, *stranger = memset(malloc(16), 's', 16);
    std::string err = stderr_of([&] {
        void* a = filled(24, 'a');
        setenv("BV_CHECK_ALLOC", tracked ? "0" : "1", 1);
        mem_free(filled(16, 'b'));
        kept = filled(16, 'k');
        void* gone = filled(16, 'g');
        moved = mem_realloc(a, 40);
        refuse_realloc = true;
        p.check(mem_realloc(kept, 64) == nullptr, "the refused realloc answered a block");
        refuse_realloc = false;
        p.check(mem_realloc(gone, 0) == nullptr, "realloc to 0 answered a block");
        mem_free(stranger);
        mem_free(nullptr);
        mem_report_leaks();
    });
    if (tracked) {
        // A failed realloc leaves its block live; realloc to 0 frees it; moving renumbers.
        p.same(err, printed("Allocation not found for %p!\n", stranger) + printed("%p:%d\n", kept, 2) +
                        printed("%p:%d\n", moved, 4), "stderr");
        p.same(released, std::string(16, '\0') + std::string(16, 'g'), "blocks at their release");
    } else {
        p.same(err, "", "stderr");
        p.same(released, std::string(16, 'b') + std::string(16, 'g') + std::string(16, 's'), "blocks at release");
    }
    mem_free(kept);
    p.check(released.size() == (tracked ? 48u : 64u) && released.substr(released.size() - 16) ==
            std::string(16, tracked ? '\0' : 'k'), "the block kept by a failed realloc was not freed");
    return p.text;
}

TEST(MemoryTracking, APositiveNumberTurnsItOnForTheRun)
{
    const std::pair<const char*, bool> values[] = {
        {nullptr, false}, {"0", false}, {"-3", false}, {"abc", false}, {"1", true}, {"7x", true}};
    for (auto [value, tracked] : values) {
        SCOPED_TRACE(value ? value : "unset");
        in_fresh_process([=] { return scenario(value, tracked); });
    }
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
        p.check(err.find(printed("%p:%d\n", &arena[0])) == full.size(), "the report does not start at the first block");
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

TEST(MemoryRepeat, FillsEveryUnitOfAnyCountAndTouchesNothingPast)
{
    // Counts that are and are not powers of two, with a three-byte unit, so a doubling
    // that stops one step short or runs one past shows in the last units or the guard.
    for (size_t count : {size_t(0), size_t(1), size_t(2), size_t(3), size_t(5), size_t(8), size_t(1000), size_t(1025)}) {
        std::vector<unsigned char> block(3 * count + 4, 0xee);
        if (count > 0) {
            block[0] = 1, block[1] = 2, block[2] = 3;
        }
        mem_repeat(block.data(), 3, count);
        for (size_t k = 0; k < 3 * count; ++k)
            ASSERT_EQ(block[k], k % 3 + 1) << "count " << count << " byte " << k;
        for (size_t k = 3 * count; k < block.size(); ++k)
            ASSERT_EQ(block[k], 0xee) << "count " << count << " wrote past at " << k;
    }
}

}  // namespace
