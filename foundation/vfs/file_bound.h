// A reader's bound on the bytes it takes of a file. A file the handle knows to be
// longer (a plain file, an archive entry) is refused before a byte of it is read; a
// gzip member, whose length is known only by inflating it, is refused once it has
// delivered one byte past the bound, and reading stops there. Either way the reader
// that named itself says so in one line:
//   "<reader>: <name> refused: longer than <bound> bytes"
#pragma once
#include <cstdint>

struct vfs_file;

// 1 with *out open for reading, delivering at most bound + 1 bytes; 0 when nothing
// opens; -1 when the file is refused (with the line, unless reader is null).
int vfs_open_bounded(vfs_file** out, const char* name, uint32_t bound, const char* reader);
// After reading f: 1, with the line unless reader is null, when f delivered more than
// bound bytes, so what it gave is to be refused too.
int vfs_bound_passed(const vfs_file* f, const char* name, uint32_t bound, const char* reader);
