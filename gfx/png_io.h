// libpng over the program's file handles. libpng reports errors by longjmp, which
// skips C++ destructors, so the functions that call it keep only plain locals.
#pragma once
#include <png.h>

struct vfs_file;

// Read and write callbacks for png_set_read_fn / png_set_write_fn; the io pointer is
// the vfs_file. A short read or write is a libpng error.
void png_io_read(png_structp png, png_bytep data, size_t n);
void png_io_write(png_structp png, png_bytep data, size_t n);
void png_io_flush(png_structp png);

// Opens name and checks the 8-byte PNG signature; null (file closed) when it is not one.
vfs_file* png_io_open_checked(const char* name);
// Reads the 8-byte signature from f: 1 when it is a PNG's.
int png_io_signature_ok(vfs_file* f);
