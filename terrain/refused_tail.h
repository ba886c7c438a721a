// A track file whose load left lines out keeps them here, and the editor's next save
// of that file writes them back as they stood, after the kept lines: a save never
// drops what a load did not keep. A load leaves a line out for a bound (more decals,
// billboards or statues than a track may hold, which refuses the rest of the file
// too), for what the line names or holds (a decal whose texture does not load, or
// whose numbers are not finite), or because the line does not parse, which ends the
// load there: the rest of the file is left out with it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct vfs_file;

// The most of what a load left out that is kept (some 60,000 decal lines); more
// leaves its file as it was at every save, with one line.
inline constexpr size_t kRefusedTailMax = size_t(4) << 20;

struct refused_tail {
    bool cut = false;       // the load left something out
    bool too_long = false;  // more than kRefusedTailMax, cut by its reader's bound, or not read again
    std::string bytes;      // what was left out, in the file's order, as it stood
    // While the file is read: the byte ranges of the single lines left out so far.
    std::vector<std::pair<uint32_t, uint32_t>> dropped;
    size_t dropped_bytes = 0;
};

// Where the next unread byte of f stands: the start of the line about to be scanned.
uint32_t refused_tail_mark(const vfs_file* f);
// The line the load just scanned (from start to where f now stands) is left out.
void refused_tail_drop(refused_tail* tail, const vfs_file* f, uint32_t start);
// The load of the file being read (reading, opened as path) ends at the line that
// begins at offset, for a bound, a line that does not parse or the end of the file:
// the lines left out on the way and the file from offset on are read back, once.
// reading is left anywhere.
void refused_tail_take(refused_tail* tail, vfs_file* reading, const char* path, uint32_t offset);
void refused_tail_clear(refused_tail* tail);
// True, with one line naming the file, when the save must leave it as it is.
bool refused_tail_keeps_file(const refused_tail* tail, const char* name);
// What was left out, after the kept lines; 1 when written (or there is none).
int refused_tail_put(const refused_tail* tail, vfs_file* f);
