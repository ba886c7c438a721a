#include "foundation/vfs/capped_read.h"

#include "foundation/memory.h"
#include "foundation/vfs/vfs.h"
#include "platform/qorl_log.h"

#include <algorithm>

namespace {

constexpr uint32_t kFirstBlock = 65536;

}  // namespace

capped_bytes vfs_read_rest_capped(vfs_file* f, uint32_t cap)
{
    capped_bytes out{nullptr, 0, 0};
    cap = std::min(cap, kCappedReadMax);
    // One byte past the cap tells a file of exactly cap bytes from a longer one.
    const uint32_t want = cap + 1;
    uint32_t room = std::min(want, kFirstBlock);
    auto* data = static_cast<char*>(mem_alloc(size_t(room) + 1));
    if (!data)
        return out;
    uint32_t length = 0;
    for (;;) {
        if (length == room) {
            if (room == want)
                break;
            const uint32_t bigger = room > want / 2 ? want : room * 2;
            auto* grown = static_cast<char*>(mem_realloc(data, size_t(bigger) + 1));
            if (!grown) {
                mem_free(data);
                return out;
            }
            data = grown;
            room = bigger;
        }
        const int got = vfs_read(f, data + length, static_cast<int>(room - length));
        if (got <= 0)
            break;
        length += static_cast<uint32_t>(got);
    }
    out.too_long = length > cap ? 1 : 0;
    out.length = std::min(length, cap);
    data[out.length] = '\0';
    out.data = data;
    return out;
}

capped_bytes vfs_read_file_capped(const char* name, uint32_t cap)
{
    vfs_file* f = vfs_open(name, "rb");
    if (!f)
        return capped_bytes{nullptr, 0, 0};
    capped_bytes out = vfs_read_rest_capped(f, cap);
    vfs_close(f);
    return out;
}

void vfs_cap_rest(vfs_file* f, uint32_t cap)
{
    const uint32_t end = f->position + std::min(cap, kCappedReadMax);
    if (end >= f->position && end < f->size_limit)
        f->size_limit = end;
}

char* file_to_string(const char* name)
{
    vfs_file* f = vfs_open(name, "rb");
    if (!f)
        return nullptr;
    // A full 16 MiB buffer would leave no room for the terminator: the text stays below it.
    capped_bytes text{nullptr, 0, 1};
    if (vfs_known_left(f) <= int64_t(kFileToStringMax))
        text = vfs_read_rest_capped(f, kFileToStringMax);
    vfs_close(f);
    if (text.too_long) {
        qorl_log("File %s too long for file_to_string\n", name);
        mem_free(text.data);
        return nullptr;
    }
    return text.data;
}
