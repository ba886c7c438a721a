// The inflate side of a gzip handle: the member header parsed and the inflate stream
// run over the container's bytes; vfs_file.cpp reads through it.
#pragma once
#include <cstdint>

struct vfs_file;

// Sets up a gzip handle over an opened container positioned at the data: parses the
// member header and starts the inflate stream. 0 when the header or zlib refuses.
int vfs_gzip_begin(vfs_file* f);
// Up to n inflated bytes into out (n > 0); fewer at the end of the stream, on a
// corrupt stream or when the container runs dry. Does not touch the position.
int vfs_gzip_read(vfs_file* f, uint8_t* out, int n);
// Releases the inflate state of a gzip handle.
void vfs_gzip_end(vfs_file* f);
