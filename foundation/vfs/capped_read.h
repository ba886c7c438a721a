// Reading a data file, or the rest of an open handle, into memory with a cap fit for
// what is read. Bytes are kept as they arrive, so a short file costs its own length
// and a long file, or a small gzip member that inflates without end, costs no more
// than the cap; the caller learns which and refuses or cuts as its format wants.
#pragma once
#include <cstdint>

struct vfs_file;

// The largest cap a reader may ask for.
inline constexpr uint32_t kCappedReadMax = 0x7ffffffe;

struct capped_bytes {
    char* data;         // mem_free it; a zero byte follows the data; null when nothing opened
    uint32_t length;    // bytes kept, at most the cap
    int too_long;       // 1 when more followed the first cap bytes
};

// The rest of f, f staying open and read past what was kept by at most one byte.
capped_bytes vfs_read_rest_capped(vfs_file* f, uint32_t cap);
// The whole file of that name (a data path or a plain path).
capped_bytes vfs_read_file_capped(const char* name, uint32_t cap);

// From here on f delivers at most cap more bytes, for readers that scan a stream.
void vfs_cap_rest(vfs_file* f, uint32_t cap);

// The longest text file_to_string returns: one byte short of 16 MiB.
inline constexpr uint32_t kFileToStringMax = 16777215;

// The whole data file as one terminated heap text (mem_free it), for the readers that
// parse from memory; null when it does not open or is longer than kFileToStringMax
// ("too long", with a log line): unread when the handle knows its length, else once
// the byte past it has come.
char* file_to_string(const char* name);
