// The one file handle of the program: a plain file, a window inside a ".saf" archive,
// or a gzip stream (loose ".gz" file or archive entry) inflated on the fly. Reads
// deliver the pushed-back character first, then raw bytes of the container (bounded by
// the size limit) or of the inflater; the position counts raw bytes only, which is what
// "%n" and the size limit rely on. Writing works on plain files. Handles are opened by
// name through vfs_open (vfs/vfs.h); this is what an open handle does.
#pragma once
#include "foundation/handle/vfs_fields.h"

#include <cstddef>
#include <cstdint>

// Empties f: no container, base offset 0, no size limit, nothing read or pushed back.
void vfs_reset(vfs_file* f);
// A handle on a file already open for writing; the handle owns it from now on. Null
// for no file, or when the handle cannot be allocated (the file is then not closed).
vfs_file* vfs_adopt(FILE* file);
// Ends the inflate stream of a gzip handle, closes the container and frees the handle:
// 0, or EOF when the last buffered bytes could not be written.
int vfs_close(vfs_file* f);
int vfs_getc(vfs_file* f);
char* vfs_gets(vfs_file* f, char* buffer, int size);
int vfs_read(vfs_file* f, void* buffer, int n);
int vfs_putc(vfs_file* f, int c);
int vfs_puts(vfs_file* f, const char* text);
size_t vfs_write(vfs_file* f, const void* data, size_t n);
int vfs_printf(vfs_file* f, const char* format, ...) __attribute__((format(printf, 2, 3)));
int vfs_flush(vfs_file* f);
int vfs_seek(vfs_file* f, uint32_t offset);

// The bytes f has yet to deliver, when the handle knows them without reading: a plain
// file by its length, a window inside an archive by its size. -1 for a gzip handle,
// whose inflated length is known only by inflating it, and for a file fstat cannot
// measure.
int64_t vfs_known_left(vfs_file* f);

// The next raw byte of the data (no pushed-back character), -1 at the end; counts
// the byte in the position. The scanning engine reads through this.
int vfs_raw_getc(vfs_file* f);
