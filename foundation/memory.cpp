#include "foundation/memory.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/qorl_log.h"

namespace {

constexpr int kMaxRows = 0x100000;

enum : int { kUndecided = -1, kOff = 0, kOn = 1 };

// Tracking never allocates: the rows live in static storage, oldest first.
// Sizes are size_t so that a block of 2 GiB or more is wiped over its true length.
int mode = kUndecided;
int live_count = 0;
uint32_t serial_counter = 0;
void* block_table[kMaxRows];
int serial_table[kMaxRows];
size_t size_table[kMaxRows];

void* system_allocate(size_t size) { return malloc(size); }
void* system_reallocate(void* block, size_t size) { return realloc(block, size); }
void system_release(void* block) { free(block); }

constexpr mem_system_allocator kLibraryAllocator{system_allocate, system_reallocate, system_release};
mem_system_allocator sys_alloc = kLibraryAllocator;

void (*out_of_memory_hook)() = nullptr;

bool tracking()
{
    if (mode == kUndecided) {
        const char* text = getenv("BV_CHECK_ALLOC");
        mode = (text && strtol(text, nullptr, 10) > 0) ? kOn : kOff;
    }
    return mode == kOn;
}

void record(void* block, size_t size)
{
    if (live_count == kMaxRows) {
        fputs("Too many allocations to check!\n", stderr);
        mode = kOff;
        return;
    }
    block_table[live_count] = block;
    serial_table[live_count] = static_cast<int>(serial_counter);
    size_table[live_count] = size;
    ++live_count;
    ++serial_counter;
}

// true when the caller may hand the block to the system allocator.
bool remove_row(void* block, bool wipe)
{
    if (mode != kOn)
        return true;
    if (!block)
        return false;
    int k = live_count - 1;
    while (k >= 0 && block_table[k] != block)
        --k;
    if (k < 0) {
        fprintf(stderr, "Allocation not found for %p!\n", block);
        return false;
    }
    if (wipe)
        memset(block, 0, size_table[k]);
    int later = live_count - 1 - k;
    memmove(&block_table[k], &block_table[k + 1], later * sizeof block_table[0]);
    memmove(&serial_table[k], &serial_table[k + 1], later * sizeof serial_table[0]);
    memmove(&size_table[k], &size_table[k + 1], later * sizeof size_table[0]);
    --live_count;
    return true;
}

}  // namespace

void* mem_alloc(size_t size)
{
    void* block = sys_alloc.allocate(size);
    if (block && tracking())
        record(block, size);
    return block;
}

void* mem_realloc(void* block, size_t size)
{
    void* moved = sys_alloc.reallocate(block, size);
    if (!tracking())
        return moved;
    // A failed realloc leaves the old block live, so its row must stay; realloc(p, 0)
    // frees p even though it answers null.
    if (block && (moved || size == 0))
        remove_row(block, false);
    if (moved)
        record(moved, size);
    return moved;
}

void mem_free(void* block)
{
    tracking();
    if (remove_row(block, true))
        sys_alloc.release(block);
}

void* xmalloc(size_t size)
{
    void* block = mem_alloc(size);
    if (!block)
        out_of_memory();
    return block;
}

void mem_repeat(void* block, size_t unit, size_t count)
{
    auto* bytes = static_cast<unsigned char*>(block);
    const size_t total = unit * count;
    for (size_t done = count > 0 ? unit : 0; done < total;) {
        const size_t step = done < total - done ? done : total - done;
        memcpy(bytes + done, bytes, step);
        done += step;
    }
}

void mem_report_leaks()
{
    // Buffered by hand: stderr is unbuffered and a full table is a million lines.
    char chunk[8192];
    size_t used = 0;
    for (int i = 0; i < live_count; ++i) {
        if (used + 64 > sizeof chunk) {
            fwrite(chunk, 1, used, stderr);
            used = 0;
        }
        used += snprintf(chunk + used, sizeof chunk - used, "%p:%d\n", block_table[i], serial_table[i]);
    }
    fwrite(chunk, 1, used, stderr);
    fflush(stderr);
}

void set_out_of_memory_hook(void (*hook)())
{
    out_of_memory_hook = hook;
}

void out_of_memory()
{
    // The hook tears down audio and the window; if that itself runs out, skip it.
    static bool stopping = false;
    if (!stopping) {
        stopping = true;
        if (out_of_memory_hook)
            out_of_memory_hook();
    }
    qorl_message_box("Error", "Out of virtual memory");
    exit(1);
}

void mem_set_system_allocator(const mem_system_allocator* allocator)
{
    sys_alloc = allocator ? *allocator : kLibraryAllocator;
}
