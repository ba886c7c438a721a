#include "terrain/refused_tail.h"

#include "foundation/front_door.h"
#include "foundation/vfs/capped_read.h"
#include "foundation/vfs/vfs.h"

namespace {

constexpr uint32_t kToTheEnd = UINT32_MAX;

// Reads f on from at, which follows it, up to `to` (kToTheEnd: the end of the data),
// appending to tail->bytes when keep is set. False when the bytes would pass the bound
// (too_long set) or the data ends before `to`.
bool read_on(vfs_file* f, uint32_t& at, uint32_t to, bool keep, refused_tail* tail)
{
    char buffer[65536];
    while (at < to) {
        const uint32_t want = to - at < sizeof buffer ? to - at : uint32_t(sizeof buffer);
        const int got = vfs_read(f, buffer, int(want));
        if (got <= 0)
            return to == kToTheEnd;
        at += uint32_t(got);
        if (!keep)
            continue;
        if (tail->bytes.size() + size_t(got) > kRefusedTailMax) {
            tail->too_long = true;
            return false;
        }
        tail->bytes.append(buffer, size_t(got));
    }
    return true;
}

}  // namespace

void refused_tail_clear(refused_tail* tail)
{
    *tail = refused_tail{};
}

uint32_t refused_tail_mark(const vfs_file* f)
{
    return f->position - (f->pushed_back >= 0 ? 1u : 0u);
}

void refused_tail_drop(refused_tail* tail, const vfs_file* f, uint32_t start)
{
    const uint32_t end = refused_tail_mark(f);
    if (end <= start || tail->too_long)
        return;
    tail->dropped_bytes += end - start;
    if (tail->dropped_bytes > kRefusedTailMax) {
        // Past the bound already: the file will be kept as it is, whatever follows.
        tail->too_long = true;
        tail->dropped.clear();
        return;
    }
    if (!tail->dropped.empty() && tail->dropped.back().second == start)
        tail->dropped.back().second = end;
    else
        tail->dropped.emplace_back(start, end);
}

void refused_tail_take(refused_tail* tail, vfs_file* reading, const char* path, uint32_t offset)
{
    // The scan stopped past offset, or bytes follow it: the rest of the file is left out.
    const bool rest = refused_tail_mark(reading) > offset || vfs_getc(reading) >= 0;
    if (!rest && tail->dropped.empty() && !tail->too_long)
        return;
    tail->cut = true;
    std::vector<std::pair<uint32_t, uint32_t>> ranges;
    ranges.swap(tail->dropped);
    if (rest)
        ranges.emplace_back(offset, kToTheEnd);
    if (!tail->too_long && !ranges.empty()) {
        // A plain file seeks back to the first line left out; a compressed one is read
        // once more from its start. Every range is then read on in order.
        const uint32_t first = ranges.front().first;
        vfs_file* f = vfs_seek(reading, first) ? reading : vfs_open(path, "rb");
        uint32_t at = f == reading ? first : 0;
        bool whole = f != nullptr;
        // Read again, the file delivers no more than a reader's bound let the reading
        // handle deliver; what reaches that end is cut short, not whole.
        if (f && f != reading)
            vfs_cap_rest(f, reading->size_limit);
        for (size_t k = 0; whole && k < ranges.size(); ++k)
            whole = read_on(f, at, ranges[k].first, false, tail) && read_on(f, at, ranges[k].second, true, tail);
        whole = whole && !(f != reading && f->position >= f->size_limit);
        if (!whole)
            tail->too_long = true;   // past the bound, or what was left out could not be read again
        if (f && f != reading)
            vfs_close(f);
    }
    if (tail->too_long)
        tail->bytes.clear();
    tail->dropped_bytes = 0;
}

bool refused_tail_keeps_file(const refused_tail* tail, const char* name)
{
    if (!tail->too_long)
        return false;
    const std::string line = std::string("'") + name +
                             "' is left as it was: the lines its load left out are too long to be written back";
    console_print(line.c_str());
    return true;
}

int refused_tail_put(const refused_tail* tail, vfs_file* f)
{
    if (tail->bytes.empty())
        return 1;
    return vfs_write(f, tail->bytes.data(), tail->bytes.size()) == tail->bytes.size() ? 1 : 0;
}
