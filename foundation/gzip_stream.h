// The inflate side of a gzip handle; vfs_file.cpp reads through it.
#pragma once
#include <cstdint>

struct vfs_file;

// Up to n inflated bytes into out (n > 0); fewer at the end of the stream, on a
// corrupt stream or when the container runs dry. Does not touch the position.
int vfs_gzip_read(vfs_file* f, uint8_t* out, int n);
// Releases the inflate state of a gzip handle.
void vfs_gzip_end(vfs_file* f);
