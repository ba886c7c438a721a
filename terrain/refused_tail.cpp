#include "terrain/refused_tail.h"

#include "foundation/front_door.h"
#include "foundation/vfs.h"

void refused_tail_clear(refused_tail* tail)
{
    *tail = refused_tail{};
}

uint32_t refused_tail_mark(const vfs_file* f)
{
    return f->position - (f->pushed_back >= 0 ? 1u : 0u);
}

void refused_tail_take(refused_tail* tail, vfs_file* reading, const char* path, uint32_t offset)
{
    refused_tail_clear(tail);
    tail->cut = true;
    char buffer[65536];
    // A plain file seeks back to the refused line; a compressed one is read once more
    // from its start.
    vfs_file* f = vfs_seek(reading, offset) ? reading : vfs_open(path, "rb");
    uint32_t skipped = f == reading ? offset : 0;
    while (f && skipped < offset) {
        const uint32_t want = offset - skipped < sizeof buffer ? offset - skipped : uint32_t(sizeof buffer);
        const int got = vfs_read(f, buffer, int(want));
        if (got <= 0)
            break;
        skipped += uint32_t(got);
    }
    while (f && skipped == offset) {
        const int got = vfs_read(f, buffer, int(sizeof buffer));
        if (got <= 0)
            break;
        if (tail->bytes.size() + size_t(got) > kRefusedTailMax) {
            tail->too_long = true;
            break;
        }
        tail->bytes.append(buffer, size_t(got));
    }
    if (!f || skipped != offset)
        tail->too_long = true;   // what was refused could not be read again
    if (tail->too_long)
        tail->bytes.clear();
    if (f && f != reading)
        vfs_close(f);
}

bool refused_tail_keeps_file(const refused_tail* tail, const char* name)
{
    if (!tail->too_long)
        return false;
    const std::string line = std::string("'") + name +
                             "' is left as it was: the part its load refused is too long to be written back";
    console_print(line.c_str());
    return true;
}

int refused_tail_put(const refused_tail* tail, vfs_file* f)
{
    if (tail->bytes.empty())
        return 1;
    return vfs_write(f, tail->bytes.data(), tail->bytes.size()) == tail->bytes.size() ? 1 : 0;
}
