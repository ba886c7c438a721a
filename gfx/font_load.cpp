// Font images: RGBA, the top-left pixel giving the marker colour (compared as the
// whole RGBA value). Row 0 is the top line of the first row of cells; a marker pixel
// at (0, y), y >= 1, starts the next row of cells at line y. On a cell row's top line,
// marker pixels at x1 < x2 < ... end its cells: [0,x1), [x1,x2), ... . Cells are taken
// row by row, left to right, one per character. After reading, every marker pixel on
// those lines becomes transparent white.
#include "gfx/fonts.h"

#include "gfx/gl_layer.h"
#include "gfx/images.h"
#include "gfx/mip_chain.h"
#include "gfx/texture_upload.h"

#include "foundation/memory.h"
#include "foundation/text/text_util.h"
#include "foundation/front_door.h"

#include <cstring>
#include <initializer_list>

font font_main;
font font_digits;
font font_digits_condensed;

namespace {

uint32_t pixel(const uint8_t* image, int w, int x, int y)
{
    uint32_t v;
    memcpy(&v, image + (static_cast<size_t>(y) * w + x) * 4, 4);
    return v;
}

// Next x > from on line y with the marker colour, or -1.
int next_column_mark(const uint8_t* image, int w, int y, int from, uint32_t marker)
{
    for (int x = from + 1; x < w; ++x)
        if (pixel(image, w, x, y) == marker)
            return x;
    return -1;
}

// Next y > from in column 0 with the marker colour, or the image height.
int next_row_mark(const uint8_t* image, int w, int h, int from, uint32_t marker)
{
    for (int y = from + 1; y < h; ++y)
        if (pixel(image, w, 0, y) == marker)
            return y;
    return h;
}

void clear_font(font* f)
{
    mem_free(f->pixels);
    f->pixels = nullptr;
    f->texture = 0;
    f->width = f->height = 0;
    memset(f->box, 0, sizeof f->box);
    for (float& a : f->advance)
        a = 2.0f / 3.0f;
}

}  // namespace

int font_load(font* f, const char* name, const char* characters)
{
    clear_font(f);
    uint8_t* image = nullptr;
    int w = 0, h = 0;
    if (!image_load_rgba(name, &image, &w, &h)) {
        char line[600];
        format_string(line, sizeof line, "Can't open font '%.512s'", name);
        console_print(line);
        return 0;
    }
    const uint32_t marker = pixel(image, w, 0, 0);
    int top = 0, bottom = next_row_mark(image, w, h, 0, marker), left = 0;
    for (const char* c = characters; *c; ++c) {
        int right = next_column_mark(image, w, top, left, marker);
        if (right < 0) {
            // This row of cells is used up. The walk ends at the image bottom or at a
            // row without marks; the characters left keep their empty cells.
            if (bottom >= h)
                break;
            top = bottom;
            bottom = next_row_mark(image, w, h, top, marker);
            left = 0;
            right = next_column_mark(image, w, top, 0, marker);
            if (right < 0)
                break;
        }
        const auto code = static_cast<unsigned char>(*c);
        f->box[code][0] = static_cast<float>(left) / w;
        f->box[code][1] = static_cast<float>(top) / h;
        f->box[code][2] = static_cast<float>(right) / w;
        f->box[code][3] = static_cast<float>(bottom) / h;
        f->advance[code] = static_cast<float>(right - left) / static_cast<float>(bottom - top);
        left = right;
    }
    f->advance[uint8_t(' ')] = f->advance[uint8_t('-')];

    static const uint8_t transparent_white[4] = {255, 255, 255, 0};
    for (int y = 0; y < h; y = next_row_mark(image, w, h, y, marker))
        for (int x = 0; x < w; ++x)
            if ((x > 0 || y > 0) && pixel(image, w, x, y) == marker)
                memcpy(image + (static_cast<size_t>(y) * w + x) * 4, transparent_white, 4);
    memcpy(image, transparent_white, 4);

    mipchain_rgba(image, w, h);
    f->pixels = image;
    f->width = w;
    f->height = h;
    return 1;
}

void fonts_load()
{
    char printable[95];
    for (int i = 0; i < 94; ++i)
        printable[i] = static_cast<char>('!' + i);
    printable[94] = '\0';
    if (font_load(&font_main, "@font.png", printable)) {
        font_main.texture = texture_upload_mipmapped(font_main.pixels, font_main.width, font_main.height, 4);
        mem_free(font_main.pixels);
        font_main.pixels = nullptr;
    }
    font_load(&font_digits, "@numbers.png", "0123456789");
    font_load(&font_digits_condensed, "@numbers-condensed.png", "0123456789");
}

void fonts_free()
{
    for (font* f : {&font_main, &font_digits, &font_digits_condensed}) {
        if (f->texture)
            bvglDeleteTextures(1, &f->texture);
        clear_font(f);
    }
}
