// PNG writing through libpng onto a data file: 16-bit grey (samples stored big-endian
// in the file as PNG requires), 8-bit RGB written bottom row first, and 8-bit RGBA.
// No time or text chunks, so equal pixels always give equal files.
#include "gfx/image_chain.h"
#include "gfx/images.h"
#include "gfx/png_io.h"

#include "foundation/memory.h"
#include "foundation/vfs/vfs.h"
#include "foundation/door/whole_file.h"

#include <bit>
#include <csetjmp>

namespace {

struct png_write_job {
    const uint8_t* data;
    png_bytep* rows;
    int w, h, depth, type, transforms;
    size_t row_bytes;
    bool bottom_up;
};

// Only plain locals: libpng leaves by longjmp on an error.
int run_libpng(vfs_file* f, png_write_job* job)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png)
        return 0;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return 0;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return 0;
    }
    png_set_write_fn(png, f, png_io_write, png_io_flush);
    png_set_IHDR(png, info, static_cast<png_uint_32>(job->w), static_cast<png_uint_32>(job->h), job->depth,
                 job->type, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    for (int y = 0; y < job->h; ++y) {
        const int source = job->bottom_up ? job->h - 1 - y : y;
        // libpng copies each row before transforming it, so the caller's data stays as it is.
        job->rows[y] = const_cast<png_bytep>(job->data + static_cast<size_t>(source) * job->row_bytes);
    }
    png_set_rows(png, info, job->rows);
    png_write_png(png, info, job->transforms, nullptr);
    png_destroy_write_struct(&png, &info);
    return 1;
}

int write_job(vfs_file* f, void* context)
{
    return run_libpng(f, static_cast<png_write_job*>(context));
}

// Through a temporary file: a full disk leaves the old picture (or none), never a cut one.
int write_png(const char* name, png_write_job job)
{
    const bool gray16 = job.depth == 16 && job.type == PNG_COLOR_TYPE_GRAY;
    if (!job.data || !(gray16 ? image_gray16_dimensions_ok(job.w, job.h) : image_dimensions_ok(job.w, job.h)))
        return 0;
    job.rows = static_cast<png_bytep*>(xmalloc(sizeof(png_bytep) * static_cast<size_t>(job.h)));
    const int ok = whole_file_write(name, write_job, &job);
    mem_free(job.rows);
    return ok;
}

png_write_job gray16_job(const uint16_t* samples, int w, int h)
{
    const int swap = std::endian::native == std::endian::little ? PNG_TRANSFORM_SWAP_ENDIAN : 0;
    return {reinterpret_cast<const uint8_t*>(samples), nullptr, w, h, 16, PNG_COLOR_TYPE_GRAY,
            swap, static_cast<size_t>(w) * 2, false};
}

}  // namespace

int png_write_gray16(const char* name, const uint16_t* samples, int w, int h)
{
    return write_png(name, gray16_job(samples, w, h));
}

int png_write_gray16_to(vfs_file* f, const uint16_t* samples, int w, int h)
{
    png_write_job job = gray16_job(samples, w, h);
    if (!f || !job.data || !image_gray16_dimensions_ok(w, h))
        return 0;
    job.rows = static_cast<png_bytep*>(xmalloc(sizeof(png_bytep) * static_cast<size_t>(h)));
    const int ok = run_libpng(f, &job);
    mem_free(job.rows);
    return ok;
}

int png_write_rgb(const char* name, const uint8_t* pixels, int w, int h)
{
    return write_png(name, {pixels, nullptr, w, h, 8, PNG_COLOR_TYPE_RGB, PNG_TRANSFORM_IDENTITY,
                            static_cast<size_t>(w) * 3, true});
}

int png_write_rgb_to(vfs_file* f, const uint8_t* pixels, int w, int h)
{
    png_write_job job{pixels, nullptr, w, h, 8, PNG_COLOR_TYPE_RGB, PNG_TRANSFORM_IDENTITY, static_cast<size_t>(w) * 3,
                      true};
    if (!f || !pixels || !image_dimensions_ok(w, h))
        return 0;
    job.rows = static_cast<png_bytep*>(xmalloc(sizeof(png_bytep) * static_cast<size_t>(h)));
    const int ok = run_libpng(f, &job);
    mem_free(job.rows);
    return ok;
}

int png_write_rgba(const char* name, const uint8_t* pixels, int w, int h)
{
    return write_png(name, {pixels, nullptr, w, h, 8, PNG_COLOR_TYPE_RGBA, PNG_TRANSFORM_IDENTITY,
                            static_cast<size_t>(w) * 4, false});
}
