#include "foundation/intern.h"

#include <chrono>
#include <cstdint>
#include <cstring>

#include <sys/random.h>

#include "foundation/memory.h"
#include "foundation/numbers/mix64.h"

namespace {

// An open-addressed hash table of the copies: a lookup hashes the text once and
// compares it with the few copies on its probe path, so n texts intern in about n
// steps whatever they share (the track list interns tens of thousands of titles, and
// downloaded folder names may share prefixes of a thousand characters). Each slot
// keeps its text's hash beside it, and a text is compared only when the hashes agree,
// so a probe past a copy sharing a long prefix costs one number compare. The hash is
// keyed with a value drawn once per run: titles a stranger chose to land on one stretch
// of the table land there only by chance. The table is at most half full: sixteen
// bytes a slot, 32 to 64 a text beside the copy itself.
struct slot {
    const char* text;
    uint64_t hash;
};
slot* slots = nullptr;
size_t slot_count = 0;   // a power of two, or 0 before the first text
size_t used = 0;
uint64_t key = 0;        // 0 until the first text
intern_work work{};

// From the system's random source; where that fails, the clock and where this
// process's table and stack lie, which no download can know in advance.
uint64_t draw_key()
{
    uint64_t k = 0;
    if (getrandom(&k, sizeof k, GRND_NONBLOCK) != ssize_t(sizeof k)) {
        int local = 0;
        k = uint64_t(std::chrono::steady_clock::now().time_since_epoch().count()) ^
            (uint64_t(reinterpret_cast<uintptr_t>(&local)) << 16) ^ uint64_t(reinterpret_cast<uintptr_t>(&work));
    }
    return k | 1;   // never 0, which means "not drawn yet"
}

// FNV-1a from a keyed start, then a full mix with the key, so that every bit of the
// slot number depends on every bit of the key.
uint64_t hash_of(const char* text)
{
    uint64_t h = 14695981039346656037ull ^ key;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p)
        h = (h ^ *p) * 1099511628211ull;
    return mix64(h ^ mix64(key));
}

// The slot that holds text, or the empty slot where it belongs.
slot* slot_for(slot* table, size_t count, const char* text, uint64_t hash)
{
    for (size_t at = size_t(hash) & (count - 1);; at = (at + 1) & (count - 1)) {
        ++work.probes;
        if (!table[at].text)
            return &table[at];
        if (table[at].hash == hash) {
            ++work.compares;
            if (strcmp(table[at].text, text) == 0)
                return &table[at];
        }
    }
}

// The empty slot a growth moves a copy into: the copies are all different, so none
// is compared.
slot* empty_slot_for(slot* table, size_t count, uint64_t hash)
{
    for (size_t at = size_t(hash) & (count - 1);; at = (at + 1) & (count - 1)) {
        ++work.probes;
        if (!table[at].text)
            return &table[at];
    }
}

// Doubles the table (16 slots at first); false when memory runs out, the old table kept.
bool grow()
{
    const size_t count = slot_count ? slot_count * 2 : 16;
    slot* table = static_cast<slot*>(mem_alloc(count * sizeof(slot)));
    if (!table)
        return false;
    memset(table, 0, count * sizeof(slot));
    for (size_t i = 0; i < slot_count; ++i)
        if (slots[i].text)
            *empty_slot_for(table, count, slots[i].hash) = slots[i];
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
    if (!key)
        key = draw_key();
    const uint64_t hash = hash_of(text);
    if (slot_count) {
        if (const char* found = slot_for(slots, slot_count, text, hash)->text)
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
    *empty_slot_for(slots, slot_count, hash) = {copy, hash};
    ++used;
    return copy;
}

void intern_free_all()
{
    for (size_t i = 0; i < slot_count; ++i)
        mem_free(const_cast<char*>(slots[i].text));
    mem_free(slots);
    slots = nullptr;
    slot_count = 0;
    used = 0;
}

intern_work intern_work_done()
{
    return work;
}

uint64_t intern_hash(const char* text)
{
    if (!key)
        key = draw_key();
    return text ? hash_of(text) : 0;
}
