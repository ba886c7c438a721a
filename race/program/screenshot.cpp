// The screenshot key's picture and "--record-video"'s pixels: the drawable area read
// back as 8-bit RGB.
#include "race/program/main_loop.h"

#include "foundation/file_index.h"
#include "foundation/front_door.h"
#include "gfx/gl_layer.h"
#include "gfx/images.h"
#include "race/program/frame_math.h"

#include <cstdio>
#include <new>
#include <vector>

extern int32_t window_width;
extern int32_t window_height;

void bvgl_read_pixels_rgb(int32_t x, int32_t y, int32_t w, int32_t h, uint8_t* rgb)
{
    // ES reads only RGBA bytes: read those and keep three of each four.
    std::vector<uint8_t> rgba(size_t(w) * size_t(h) * 4);
    bvglReadPixels(x, y, w, h, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    for (size_t i = 0, n = size_t(w) * size_t(h); i < n; ++i) {
        rgb[3 * i] = rgba[4 * i];
        rgb[3 * i + 1] = rgba[4 * i + 1];
        rgb[3 * i + 2] = rgba[4 * i + 2];
    }
}

void take_screenshot()
{
    std::vector<const char*> names;
    if (loop.screenshot_counter < 1)
        for (int i = 0; const file_index_entry* e = file_index_get(i); ++i)
            names.push_back(e->relative_name);
    const int32_t number = screenshot_number(&loop.screenshot_counter, names);
    const int32_t w = window_width, h = window_height;
    if (w <= 0 || h <= 0)
        return;
    std::vector<uint8_t> pixels;
    try {
        pixels.resize(size_t(w) * size_t(h) * 3);
        bvgl_read_pixels_rgb(0, 0, w, h, pixels.data());
    } catch (const std::bad_alloc&) {
        return;  // no room: no screenshot, no message
    }
    char name[64];
    snprintf(name, sizeof name, "@screenshot%03d.png", number);
    const bool saved = png_write_rgb(name, pixels.data(), w, h) == 1;
    char text[80];
    snprintf(text, sizeof text, saved ? "Saved \"screenshot%03d.png\"" : "Can't save \"screenshot%03d.png\"",
             number);
    console_print(text);
}
