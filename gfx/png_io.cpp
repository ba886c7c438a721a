#include "gfx/png_io.h"

#include "foundation/vfs/vfs.h"

#include <climits>

void png_io_read(png_structp png, png_bytep data, size_t n)
{
    auto* f = static_cast<vfs_file*>(png_get_io_ptr(png));
    if (n > INT_MAX || vfs_read(f, data, static_cast<int>(n)) != static_cast<int>(n))
        png_error(png, "unexpected end of file");
}

void png_io_write(png_structp png, png_bytep data, size_t n)
{
    auto* f = static_cast<vfs_file*>(png_get_io_ptr(png));
    if (vfs_write(f, data, n) != n)
        png_error(png, "write failed");
}

void png_io_flush(png_structp png)
{
    auto* f = static_cast<vfs_file*>(png_get_io_ptr(png));
    if (vfs_flush(f) != 0)
        png_error(png, "write failed");
}

int png_io_signature_ok(vfs_file* f)
{
    png_byte signature[8];
    return vfs_read(f, signature, 8) == 8 && png_sig_cmp(signature, 0, 8) == 0 ? 1 : 0;
}

vfs_file* png_io_open_checked(const char* name)
{
    vfs_file* f = vfs_open(name, "rb");
    if (f && !png_io_signature_ok(f)) {
        vfs_close(f);
        return nullptr;
    }
    return f;
}
