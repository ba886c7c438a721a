// PNG reading through libpng: any colour type and bit depth becomes 8-bit RGB or RGBA
// (textures) or host-order 16-bit grey (heights). The info text is the text of every
// tEXt/zTXt/iTXt chunk in file order (texts only, within png_text.h's bounds), followed
// by the whole sidecar file "<name>.info".
#include "gfx/image_chain.h"
#include "gfx/images.h"
#include "gfx/mip_chain.h"
#include "gfx/mip_custom.h"
#include "gfx/png_io.h"
#include "gfx/png_text.h"

#include "foundation/memory.h"
#include "foundation/vfs/capped_read.h"
#include "foundation/vfs/file_bound.h"
#include "foundation/vfs/vfs.h"

#include <bit>
#include <csetjmp>
#include <cstring>
#include <string>

namespace {

// What a read produced; lives in the caller's frame so it survives a longjmp.
struct png_read_result {
    uint8_t* pixels;
    uint8_t** rows;
    png_text_reader text;
    int w, h, channels;
};

void release(png_read_result* r)
{
    mem_free(r->pixels);
    mem_free(r->rows);
    mem_free(r->text.text);
    r->pixels = nullptr;
    r->rows = nullptr;
    r->text.text = nullptr;
}

// The libpng part of both readers. gray16 selects the height transforms; otherwise the
// pixels are the base of a chain buffer with room for every level. 1 / 0.
int run_libpng(vfs_file* f, const char* name, bool gray16, png_read_result* r)
{
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png)
        return 0;
    png_infop info = png_create_info_struct(png);
    png_infop end_info = png_create_info_struct(png);
    if (!info || !end_info) {
        png_destroy_read_struct(&png, &info, &end_info);
        return 0;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, &end_info);
        release(r);
        return 0;
    }
    png_set_read_fn(png, f, png_io_read);
    png_set_sig_bytes(png, 8);
    png_text_install(png, &r->text, name);
    png_read_info(png, info);
    png_uint_32 w = 0, h = 0;
    int depth = 0, type = 0;
    png_get_IHDR(png, info, &w, &h, &depth, &type, nullptr, nullptr, nullptr);
    if (!(gray16 ? image_gray16_dimensions_ok(w, h) : image_dimensions_ok(w, h)))
        png_error(png, "image too large");

    const bool has_trns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    int bytes_per_texel;
    if (gray16) {
        if (type == PNG_COLOR_TYPE_GRAY && depth < 8)
            png_set_expand_gray_1_2_4_to_8(png);
        if (type == PNG_COLOR_TYPE_PALETTE)
            png_set_palette_to_rgb(png);
        if ((type & PNG_COLOR_MASK_ALPHA) || has_trns)
            png_set_strip_alpha(png);
        if (type & PNG_COLOR_MASK_COLOR)
            png_set_rgb_to_gray_fixed(png, 1, -1, -1);
        if (depth == 16 && std::endian::native == std::endian::little)
            png_set_swap(png);
        bytes_per_texel = depth == 16 ? 2 : 1;
        r->channels = bytes_per_texel;   // bytes per sample as read
    } else {
        r->channels = (type & PNG_COLOR_MASK_ALPHA) ? 4 : 3;
        if (has_trns) {
            png_set_tRNS_to_alpha(png);
            r->channels = 4;
        }
        if (type == PNG_COLOR_TYPE_PALETTE)
            png_set_palette_to_rgb(png);
        if (type == PNG_COLOR_TYPE_GRAY && depth < 8)
            png_set_expand_gray_1_2_4_to_8(png);
        if (depth == 16)
            png_set_strip_16(png);
        if (!(type & PNG_COLOR_MASK_COLOR))
            png_set_gray_to_rgb(png);
        bytes_per_texel = r->channels;
    }
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const size_t row_bytes = static_cast<size_t>(w) * bytes_per_texel;
    if (png_get_rowbytes(png, info) != row_bytes)
        png_error(png, "unexpected row layout");

    r->w = static_cast<int>(w);
    r->h = static_cast<int>(h);
    if (gray16)
        r->pixels = static_cast<uint8_t*>(xmalloc(static_cast<size_t>(w) * h * 2));
    else
        r->pixels = chain_alloc(r->w, r->h, r->channels);
    r->rows = static_cast<uint8_t**>(xmalloc(sizeof(uint8_t*) * h));
    for (png_uint_32 y = 0; y < h; ++y)
        r->rows[y] = r->pixels + y * row_bytes;
    png_read_image(png, r->rows);
    png_read_end(png, end_info);
    png_destroy_read_struct(&png, &info, &end_info);
    mem_free(r->rows);
    r->rows = nullptr;
    return 1;
}

}  // namespace

int image_read_png(const char* name, uint8_t** pixels, int* w, int* h, int* channels, char** info)
{
    vfs_file* f = png_io_open_checked(name);
    if (!f)
        return 0;
    png_read_result r{};
    const int ok = run_libpng(f, name, false, &r);
    vfs_close(f);
    if (!ok)
        return 0;

    if (char* sidecar = file_to_string((std::string(name) + ".info").c_str())) {
        png_text_append(&r.text, sidecar, strlen(sidecar));
        mem_free(sidecar);
    }
    char* text = r.text.text;
    const bool custom = text && strstr(text, "[mip_custom]");
    if (custom) {
        mip_custom_unpack(name, &r.pixels, &r.w, &r.h, r.channels);
    } else if (r.channels == 4) {
        mipchain_rgba_flags(r.pixels, r.w, r.h, text && strstr(text, "[mip_max_alpha]") ? mip_max_alpha : 0);
    } else {
        mipchain_rgb(r.pixels, r.w, r.h);
    }
    *pixels = r.pixels;
    *w = r.w;
    *h = r.h;
    *channels = r.channels;
    if (info)
        *info = text;
    else
        mem_free(text);
    return 1;
}

int png_read_gray16(const char* name, uint16_t** samples, int* w, int* h)
{
    static const char* const reader = "Terrain heights";
    vfs_file* f = nullptr;
    const int opened = vfs_open_bounded(&f, name, kGray16PictureMax, reader);
    if (opened != 1)
        return opened;
    png_read_result r{};
    const int ok = png_io_signature_ok(f) && run_libpng(f, name, true, &r);
    const bool passed = !ok && vfs_bound_passed(f, name, kGray16PictureMax, reader);
    vfs_close(f);
    if (!ok)
        return passed ? -1 : 0;
    mem_free(r.text.text);
    auto* out = reinterpret_cast<uint16_t*>(r.pixels);
    if (r.channels == 1) {
        // Backwards, so no byte is overwritten before it has been widened.
        for (size_t i = static_cast<size_t>(r.w) * r.h; i-- > 0;)
            out[i] = static_cast<uint16_t>(r.pixels[i] * 257);
    }
    *samples = out;
    *w = r.w;
    *h = r.h;
    return 1;
}
