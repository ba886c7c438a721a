// The file handle's record: the container, the window it reads, the pushed-back
// character and the inflate state of a gzip handle.
#pragma once
#include <cstdint>
#include <cstdio>
#include <zlib.h>

struct vfs_file {
    FILE* file;                   // the open container
    uint32_t base_offset;         // where the data starts inside the container
    uint32_t size_limit;          // bytes the handle may deliver
    uint32_t position;            // bytes delivered so far
    int32_t pushed_back;          // one character of look-ahead, -1 for none
    uint32_t gzip;                // 1 when reads go through the inflate stream
    uint32_t compressed_size;     // gzip: the size limit before the header was read
    uint32_t compressed_read;     // gzip: bytes taken from the container so far
    int32_t stream_end;           // gzip: inflate reported the end of the stream
    z_stream stream;
    uint8_t input[16384];
    uint8_t output[1024];
    uint8_t* read_pointer;        // next undelivered byte of output
};

// The size limit of a loose plain file and of every gzip handle.
inline constexpr uint32_t kVfsNoLimit = 0x7fffffff;
