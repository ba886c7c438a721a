// A track file that a bound cut at its load (more decals, billboards or statues than
// a track may hold) keeps the part it refused here, and the editor's next save of that
// file writes it back after the kept lines: a save never drops what a load refused.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

struct vfs_file;

// The most of a refused part that is kept (some 60,000 decal lines), read at the load
// past the bound; a longer one leaves its file as it was at every save, with one line.
inline constexpr size_t kRefusedTailMax = size_t(4) << 20;

struct refused_tail {
    bool cut = false;       // the load refused a part
    bool too_long = false;  // that part was longer than kRefusedTailMax
    std::string bytes;      // the file's bytes from its first refused line on
};

// Where the next unread byte of f stands: the start of the line about to be scanned.
uint32_t refused_tail_mark(const vfs_file* f);
// The bytes of the file being read (reading, opened as path) from offset on; reading
// is left anywhere.
void refused_tail_take(refused_tail* tail, vfs_file* reading, const char* path, uint32_t offset);
void refused_tail_clear(refused_tail* tail);
// True, with one line naming the file, when the save must leave it as it is.
bool refused_tail_keeps_file(const refused_tail* tail, const char* name);
// The refused part after the kept lines; 1 when written (or there is none).
int refused_tail_put(const refused_tail* tail, vfs_file* f);
