// Gzip handles: our own parse of the member header (RFC 1952), then raw inflate.
//
// Member header, from the data's first byte:
//   0: 31   1: 139   2: 8 (deflate)   3: flags (bits 5..7 must be clear)
//   4..7: time   8: extra flags   9: system
//   FEXTRA (4):   2-byte little-endian length, then that many bytes
//   FNAME (8):    text up to and including a zero byte
//   FCOMMENT (16): text up to and including a zero byte
//   FHCRC (2):    2 bytes
// then the raw deflate data. The 8-byte trailer is not checked and only the first
// member is read. The header must lie in the first block of at most 16384 bytes.
#include "foundation/handle/gzip_stream.h"
#include "foundation/memory.h"
#include "foundation/handle/vfs_fields.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint8_t kFlagHeaderCrc = 2;
constexpr uint8_t kFlagExtra = 4;
constexpr uint8_t kFlagName = 8;
constexpr uint8_t kFlagComment = 16;
constexpr uint8_t kFlagsReserved = 0xE0;
constexpr size_t kFixedHeader = 10;

// zlib's own state goes through the program's allocator like every other block.
voidpf z_allocate(voidpf, uInt items, uInt size)
{
    return mem_alloc(static_cast<size_t>(items) * size);
}

void z_release(voidpf, voidpf block)
{
    mem_free(block);
}

size_t read_container(vfs_file* f)
{
    uint32_t want = std::min<uint32_t>(f->compressed_size - f->compressed_read, sizeof f->input);
    size_t got = want ? fread(f->input, 1, want, f->file) : 0;
    f->compressed_read += static_cast<uint32_t>(got);
    return got;
}

// Where the deflate data starts in the block, or -1 when the header is refused.
long header_length(const uint8_t* block, size_t got)
{
    if (got < 4 || block[0] != 31 || block[1] != 139 || block[2] != 8 || (block[3] & kFlagsReserved))
        return -1;
    const uint8_t flags = block[3];
    size_t p = kFixedHeader;
    bool cut = p > got;
    if (!cut && (flags & kFlagExtra)) {
        if (p + 2 > got) {
            cut = true;
        } else {
            size_t length = block[p] | (block[p + 1] << 8);
            p += 2;
            if (length > got - p)
                cut = true;
            else
                p += length;
        }
    }
    for (uint8_t text_flag : {kFlagName, kFlagComment}) {
        if (cut || !(flags & text_flag))
            continue;
        const void* zero = memchr(block + p, 0, got - p);
        if (!zero)
            cut = true;
        else
            p = static_cast<const uint8_t*>(zero) - block + 1;
    }
    if (!cut && (flags & kFlagHeaderCrc)) {
        if (p + 2 > got)
            cut = true;
        else
            p += 2;
    }
    // A cut name or comment just leaves no input; a cut length or CRC cannot be skipped.
    if (cut) {
        if (flags & (kFlagExtra | kFlagHeaderCrc))
            return -1;
        p = got;
    }
    return static_cast<long>(p);
}

}  // namespace

int vfs_gzip_begin(vfs_file* f)
{
    f->compressed_size = f->size_limit;
    f->size_limit = kVfsNoLimit;
    f->compressed_read = 0;
    f->stream_end = 0;
    memset(&f->stream, 0, sizeof f->stream);
    f->stream.zalloc = z_allocate;
    f->stream.zfree = z_release;
    f->stream.next_out = f->output;
    f->stream.avail_out = sizeof f->output;
    f->read_pointer = f->output;

    size_t got = read_container(f);
    long start = header_length(f->input, got);
    if (start < 0)
        return 0;
    f->stream.next_in = f->input + start;
    f->stream.avail_in = static_cast<uInt>(got - static_cast<size_t>(start));
    if (inflateInit2(&f->stream, -15) != Z_OK)
        return 0;
    f->gzip = 1;
    return 1;
}

void vfs_gzip_end(vfs_file* f)
{
    if (f->gzip)
        inflateEnd(&f->stream);
    f->gzip = 0;
}

int vfs_gzip_read(vfs_file* f, uint8_t* out, int n)
{
    z_stream& z = f->stream;
    int done = 0;
    for (;;) {
        size_t ready = static_cast<size_t>(z.next_out - f->read_pointer);
        size_t take = std::min(ready, static_cast<size_t>(n - done));
        memcpy(out + done, f->read_pointer, take);
        f->read_pointer += take;
        done += static_cast<int>(take);
        if (done == n || f->stream_end)
            return done;

        if (f->read_pointer == z.next_out && z.avail_out == 0) {
            z.next_out = f->output;
            z.avail_out = sizeof f->output;
            f->read_pointer = f->output;
        }
        Bytef* before = z.next_out;
        bool stopped = false;
        while (z.avail_out > 0) {
            if (z.avail_in == 0) {
                size_t got = read_container(f);
                if (got == 0) {
                    stopped = true;
                    break;
                }
                z.next_in = f->input;
                z.avail_in = static_cast<uInt>(got);
            }
            int result = inflate(&z, Z_NO_FLUSH);
            if (result == Z_STREAM_END) {
                f->stream_end = 1;
                break;
            }
            // Z_BUF_ERROR included: no progress is possible, so the data ends here.
            if (result != Z_OK) {
                stopped = true;
                break;
            }
        }
        if (stopped && z.next_out == before)
            return done;
    }
}
