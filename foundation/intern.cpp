#include "foundation/intern.h"

#include <cstdint>
#include <cstring>

#include "foundation/memory.h"

namespace {

// An open-addressed hash table of the copies: a lookup hashes the text once and
// compares it with the few copies on its probe path, so n texts intern in about n
// steps whatever they share (the track list interns tens of thousands of titles, and
// downloaded folder names may share prefixes of a thousand characters). The table is
// at most half full: eight bytes a slot, 16 to 32 a text beside the copy itself.
const char** slots = nullptr;
size_t slot_count = 0;   // a power of two, or 0 before the first text
size_t used = 0;

size_t hash_of(const char* text)
{
    uint64_t h = 14695981039346656037ull;   // FNV-1a
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p)
        h = (h ^ *p) * 1099511628211ull;
    return size_t(h ^ (h >> 29));
}

// The slot that holds text, or the empty slot where it belongs.
const char** slot_for(const char** table, size_t count, const char* text, size_t hash)
{
    for (size_t at = hash & (count - 1);; at = (at + 1) & (count - 1))
        if (!table[at] || strcmp(table[at], text) == 0)
            return &table[at];
}

// Doubles the table (16 slots at first); false when memory runs out, the old table kept.
bool grow()
{
    const size_t count = slot_count ? slot_count * 2 : 16;
    const char** table = static_cast<const char**>(mem_alloc(count * sizeof(const char*)));
    if (!table)
        return false;
    memset(table, 0, count * sizeof(const char*));
    for (size_t i = 0; i < slot_count; ++i)
        if (slots[i])
            *slot_for(table, count, slots[i], hash_of(slots[i])) = slots[i];
    mem_free(slots);
    slots = table;
    slot_count = count;
    return true;
}

}  // namespace

const char* intern_string(const char* text)
{
    if (!text)
        return nullptr;
    const size_t hash = hash_of(text);
    if (slot_count) {
        if (const char* found = *slot_for(slots, slot_count, text, hash))
            return found;
    }

    size_t size = strlen(text) + 1;
    char* copy = static_cast<char*>(mem_alloc(size));
    if (!copy)
        out_of_memory();
    memcpy(copy, text, size);

    // When the table cannot grow the copy is still good, just not shared.
    if ((used + 1) * 2 > slot_count && !grow())
        return copy;
    *slot_for(slots, slot_count, copy, hash) = copy;
    ++used;
    return copy;
}

void intern_free_all()
{
    for (size_t i = 0; i < slot_count; ++i)
        mem_free(const_cast<char*>(slots[i]));
    mem_free(slots);
    slots = nullptr;
    slot_count = 0;
    used = 0;
}
