// The program's allocator: thin wrappers over malloc/realloc/free with an optional
// tracking mode (BV_CHECK_ALLOC > 0) that records live blocks, wipes freed ones and
// reports leaks at exit.
#pragma once
#include <cstddef>

void* mem_alloc(size_t size);
void* mem_realloc(void* block, size_t size);
void mem_free(void* block);
void* xmalloc(size_t size);   // never null: runs out_of_memory instead
void mem_report_leaks();

// Copies the first `unit` bytes of `block` over the rest of its `count` units, doubling
// the stretch copied each time: a fill of any pattern at the speed of memcpy, for
// grids of tens of millions of points.
void mem_repeat(void* block, size_t unit, size_t count);

// The fatal stop for an allocation that cannot be satisfied: runs the shutdown hook
// (audio device, window and context), shows "Error" / "Out of virtual memory", exits 1.
[[noreturn]] void out_of_memory();
void set_out_of_memory_hook(void (*hook)());

// The system allocator under the wrappers; tests swap it to watch the wipe of a
// freed block or to make realloc fail. Passing null restores the C library's.
struct mem_system_allocator {
    void* (*allocate)(size_t size);
    void* (*reallocate)(void* block, size_t size);
    void (*release)(void* block);
};
void mem_set_system_allocator(const mem_system_allocator* allocator);
