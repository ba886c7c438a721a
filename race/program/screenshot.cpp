// The screenshot key's picture and "--record-video"'s pixels: the drawable area read
// back as 8-bit RGB.
#include "race/program/main_loop.h"

#include "foundation/index/file_index.h"
#include "foundation/index/index_entry.h"
#include "foundation/door/fresh_file.h"
#include "foundation/front_door.h"
#include "gfx/gl_layer.h"
#include "gfx/images.h"
#include "race/program/frame_math.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <string>
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

namespace {

// Names tried from the first on. What stands at them may be anything a stranger left
// there (links to nothing, empty folders), none of it in the index. The listing takes
// the top of the user folder whole only while it holds at most folder_names names
// (past that it is cut, with a line), so one name more than that always reaches a free
// one in such a folder. A try is one refused rename: all of them cost a fraction of a
// second, once, since the counter then moves past them.
constexpr int32_t kShotTries = kListingBounds.folder_names + 1;

// save_shot's answer when every name tried was taken.
constexpr int32_t kAllTaken = -2;

std::string shot_name(int32_t number)
{
    char name[64];
    snprintf(name, sizeof name, "screenshot%03d.png", number);
    return name;
}

// The picture goes to a fresh temporary and takes the first free name from number on,
// never the place of anything that stands there (a file, a folder, a link, a pipe).
// The number it took, -1 when it could not be written, or kAllTaken.
int32_t save_shot(int32_t number, const std::vector<uint8_t>& pixels, int32_t w, int32_t h)
{
    fresh_file file;
    if (!fresh_file_open(("@" + shot_name(number)).c_str(), &file, true))
        return -1;
    if (!fresh_file_seal(&file, png_write_rgb_to(file.f, pixels.data(), w, h) == 1))
        return -1;
    for (int32_t k = 0; k < kShotTries; ++k) {
        const int placed = fresh_file_place_new(&file, shot_name(number + k));
        if (placed != 0)
            return placed == 1 ? number + k : -1;
    }
    fresh_file_drop(&file);
    return kAllTaken;
}

}  // namespace

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
    const int32_t saved = save_shot(number, pixels, w, h);
    if (saved >= 0)
        loop.screenshot_counter = saved + 1;
    std::string text = saved >= 0 ? "Saved \"" + shot_name(saved) + "\"" : "Can't save \"" + shot_name(number) + "\"";
    if (saved == kAllTaken)
        text += ": every name from it to \"" + shot_name(number + kShotTries - 1) + "\" is taken";
    console_print(text.c_str());
}
