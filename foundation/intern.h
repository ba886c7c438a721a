// Interned strings: one shared copy per distinct text, alive until shutdown.
#pragma once
#include <cstdint>

const char* intern_string(const char* text);
// Frees every interned text and the table (shutdown).
void intern_free_all();

// The work the table has done since the process began: slots visited on a probe path
// (lookups, insertions and the moves of a growth) and whole texts compared.
struct intern_work {
    uint64_t probes;
    uint64_t compares;
};
intern_work intern_work_done();
// The hash the table keeps for text: the same all run long, and keyed afresh each run.
uint64_t intern_hash(const char* text);
