// ".seq" animations:
//   ANIM1
//   <frame count> <image count> <frame time in ticks> <loop 0/1>
//   <frame count integers: the image shown at each frame>
//   then image count entries, each a word and its data:
//     J7 <inline "J7" image: [comments] width [comments] height, one byte, w*h*4 residuals>
//     PNG <file name: the rest of the line, trimmed>
// All images share width, height and channel count. Ticks are 1/128 s.
#include "gfx/anim_texture.h"

#include "gfx/gl_layer.h"
#include "gfx/image_chain.h"
#include "gfx/images.h"
#include "gfx/mip_chain.h"
#include "gfx/texture_cache.h"
#include "gfx/texture_settings.h"

#include "foundation/growable_array.h"
#include "foundation/memory.h"
#include "foundation/text/scan.h"
#include "foundation/text/text_util.h"
#include "foundation/vfs/vfs.h"
#include "foundation/front_door.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <initializer_list>

namespace {

// Far above any real animation, low enough that a hostile header cannot make the
// record allocation absurd.
constexpr int max_frames = 1 << 16;
constexpr int max_images = 1 << 10;

void say(const char* format, int value = 0)
{
    char line[128];
    format_string(line, sizeof line, format, value);
    console_print(line);
}

anim_texture* find(uint32_t id)
{
    growable_array* table = texture_animation_table();
    if (!table || id == 0)
        return nullptr;
    for (int i = 0; i < table->count; ++i) {
        anim_texture* a = static_cast<anim_texture**>(table->items)[i];
        if (a->tid == id)
            return a;
    }
    return nullptr;
}

// Replaces every level of the texture from a chain of image 0's size.
void upload_levels(const anim_texture* a, const uint8_t* chain)
{
    const anim_image& image = a->images[0];
    const GLenum format = image.channels == 4 ? GL_RGBA : GL_RGB;
    bvglBindTexture(GL_TEXTURE_2D, a->tid);
    int w = image.width, h = image.height;
    for (int level = 0;; ++level) {
        bvglTexSubImage2D(GL_TEXTURE_2D, level, 0, 0, w, h, format, GL_UNSIGNED_BYTE, chain);
        if (w == 1 && h == 1)
            break;
        chain += static_cast<size_t>(w) * h * image.channels;
        w = chain_next_side(w);
        h = chain_next_side(h);
    }
}

// One image entry; 1 when read.
int read_image(vfs_file* f, int index, anim_image* image)
{
    char word[16] = "";
    if (vfs_scanf(f, "%15s", word) != 1)
        return 0;
    if (strcmp(word, "J7") == 0) {
        if (!image_read_j_rgba(word, f, &image->pixels, &image->width, &image->height)) {
            say("Error reading .seq frame %d", index);
            return 0;
        }
        image->channels = 4;
    } else if (strcmp(word, "PNG") == 0) {
        char line[1024];
        if (!vfs_gets(f, line, sizeof line)) {
            say("EOF while reading .seq");
            return 0;
        }
        char* name = line;
        while (*name && isspace(static_cast<unsigned char>(*name)))
            ++name;
        for (char* end = name + strlen(name); end > name && isspace(static_cast<unsigned char>(end[-1]));)
            *--end = '\0';
        if (!image_read_png(name, &image->pixels, &image->width, &image->height, &image->channels, nullptr)) {
            char text[1000];
            format_string(text, sizeof text, "Can't read %.900s", name);
            console_print(text);
            return 0;
        }
    } else {
        say("Error reading .seq frame %d", index);
        return 0;
    }
    texture_resample_pow2(&image->pixels, &image->width, &image->height, image->channels, anim_texel_limit, 0);
    return 1;
}

bool images_agree(const anim_texture* a)
{
    for (int i = 1; i < a->image_count; ++i)
        if (a->images[i].width != a->images[0].width || a->images[i].height != a->images[0].height) {
            say("Width/height mismatch reading .seq");
            return false;
        }
    for (int i = 1; i < a->image_count; ++i)
        if (a->images[i].channels != a->images[0].channels) {
            say("Depth mismatch reading .seq");
            return false;
        }
    return true;
}

}  // namespace

uint32_t anim_texture_load(vfs_file* f, int repeat_flags)
{
    int frames = 0, images = 0, frame_time = 0, loop = 0;
    if (vfs_scanf(f, "%d %d %d %d", &frames, &images, &frame_time, &loop) != 4 || frames <= 0 || images <= 0)
        return 0;
    if (frames > max_frames || images > max_images) {
        say("Too many frames or images reading .seq");
        return 0;
    }
    // A frame time below one tick would divide by zero in every update.
    if (frame_time < 1) {
        say("Bad frame time %d reading .seq", frame_time);
        return 0;
    }
    const size_t bytes = sizeof(anim_texture) + sizeof(anim_image) * images + sizeof(int32_t) * frames;
    auto* a = static_cast<anim_texture*>(xmalloc(bytes));
    memset(a, 0, bytes);
    a->frame_count = frames;
    a->image_count = images;
    a->frame_time = frame_time;
    a->loop = loop;
    a->images = reinterpret_cast<anim_image*>(a + 1);
    a->frames = reinterpret_cast<int32_t*>(a->images + images);
    for (int i = 0; i < frames; ++i) {
        if (vfs_scanf(f, "%d ", &a->frames[i]) != 1) {
            anim_texture_free(a);
            return 0;
        }
        if (a->frames[i] < 0 || a->frames[i] >= images) {
            say("Bad image index %d reading .seq", a->frames[i]);
            anim_texture_free(a);
            return 0;
        }
    }
    for (int i = 0; i < images; ++i)
        if (!read_image(f, i, &a->images[i])) {
            anim_texture_free(a);
            return 0;
        }
    if (!images_agree(a)) {
        anim_texture_free(a);
        return 0;
    }
    a->shown_image = a->frames[0];
    const anim_image& shown = a->images[a->shown_image];
    a->tid = texture_upload(shown.pixels, shown.width, shown.height, shown.channels,
                            repeat_flags & (texture_repeat_h | texture_repeat_v));
    growable_array* table = texture_animation_table();
    if (!table || !array_push(table, &a)) {
        // Unlisted, it could never be updated or freed; drop it and its texture.
        bvglDeleteTextures(1, &a->tid);
        anim_texture_free(a);
        return 0;
    }
    return a->tid;
}

void anim_texture_free(anim_texture* a)
{
    if (!a)
        return;
    for (int i = 0; i < a->image_count; ++i)
        mem_free(a->images[i].pixels);
    mem_free(a->custom_frame);
    mem_free(a);
}

int anim_frame_image(const anim_texture* a, int now)
{
    const int64_t elapsed = std::max<int64_t>(int64_t(now) - a->start_tick, 0);
    int64_t frame = elapsed / a->frame_time;
    frame = a->loop ? frame % a->frame_count : std::min<int64_t>(frame, a->frame_count - 1);
    return a->frames[frame];
}

void anim_textures_update(int now)
{
    growable_array* table = texture_animation_table();
    if (now < 0 || !table)
        return;
    for (int i = 0; i < table->count; ++i) {
        anim_texture* a = static_cast<anim_texture**>(table->items)[i];
        if (a->stopped)
            continue;
        const int index = anim_frame_image(a, now);
        if (index != a->shown_image) {
            upload_levels(a, a->images[index].pixels);
            a->shown_image = index;
        }
    }
}

void anim_texture_start(uint32_t id, int start_tick)
{
    if (anim_texture* a = find(id)) {
        a->stopped = 0;
        a->start_tick = start_tick;
    }
}

void anim_texture_stop(uint32_t id)
{
    if (anim_texture* a = find(id))
        a->stopped = 1;
}

int texture_begin_custom_frame(uint32_t id)
{
    anim_texture* a = find(id);
    if (!a)
        return 0;
    const anim_image& image = a->images[0];
    const size_t base = static_cast<size_t>(image.width) * image.height * image.channels;
    if (!a->custom_frame) {
        a->custom_frame = chain_alloc(image.width, image.height, image.channels);
        memset(a->custom_frame, 0, static_cast<size_t>(chain_texel_count(image.width, image.height)) * image.channels);
    }
    memset(a->custom_frame, 0, base);
    return 1;
}

namespace {

// A script's number as a texel position: the products are bounded first, far beyond
// any image side, so the conversions to integers stay defined.
int64_t pixel_ceil(float fraction, int side)
{
    return static_cast<int64_t>(std::ceil(std::clamp(double(fraction) * side - 0.5, -1e9, 1e9)));
}

int64_t pixel_trunc(float fraction, int side)
{
    return static_cast<int64_t>(std::trunc(std::clamp(double(fraction) * side, -1e9, 1e9)));
}

// Source axis first, then destination: a negative start shortens the run and moves
// the other side's start by the same amount.
bool clip_start(int64_t& start, int64_t& other, int64_t& run, int side)
{
    if (start < 0) {
        run += start;
        if (run < 0)
            return false;
        other -= start;
        start = 0;
    } else if (start >= side) {
        return false;
    }
    return true;
}

void blend_texel(const uint8_t* s, uint8_t* d)
{
    const int a = s[3], b = d[3];
    if (a == 0) {
        if (b == 0)
            memcpy(d, s, 4);
    } else if (a == 255 || b == 0) {
        memcpy(d, s, 4);
    } else if (b == 255) {
        for (int c = 0; c < 3; ++c)
            d[c] = static_cast<uint8_t>((s[c] * a + d[c] * (255 - a)) / 255);
    } else {
        const int total = b * (255 - a) + a * 255;
        for (int c = 0; c < 3; ++c)
            d[c] = static_cast<uint8_t>((s[c] * a * 255 + d[c] * b * (255 - a)) / total);
        d[3] = static_cast<uint8_t>(a + b * (255 - a) / 255);
    }
}

}  // namespace

int texture_paste_custom_frame(uint32_t id, int image, float source_x, float source_y, float dest_x, float dest_y,
                               float width, float height)
{
    anim_texture* a = find(id);
    if (!a || image < 0 || image >= a->image_count || !a->custom_frame)
        return 0;
    for (float v : {source_x, source_y, dest_x, dest_y, width, height})
        if (!std::isfinite(v))
            return 0;
    const int W = a->images[0].width, H = a->images[0].height, channels = a->images[0].channels;
    int64_t px = pixel_ceil(source_x, W), qx = pixel_ceil(dest_x, W);
    int64_t py = pixel_ceil(source_y, H), qy = pixel_ceil(dest_y, H);
    int64_t n = std::min(pixel_trunc(width, W), W - std::max(px, qx));
    int64_t m = std::min(pixel_trunc(height, H), H - std::max(py, qy));
    if (!clip_start(px, qx, n, W) || !clip_start(py, qy, m, H) || !clip_start(qx, px, n, W) ||
        !clip_start(qy, py, m, H) || n <= 0 || m <= 0)
        return 0;

    const uint8_t* source = a->images[image].pixels;
    uint8_t* dest = a->custom_frame;
    for (int64_t y = 0; y < m; ++y) {
        const uint8_t* s = source + ((py + y) * W + px) * channels;
        uint8_t* d = dest + ((qy + y) * W + qx) * channels;
        if (channels != 4) {
            memcpy(d, s, static_cast<size_t>(n * channels));
            continue;
        }
        for (int64_t x = 0; x < n; ++x)
            blend_texel(s + x * 4, d + x * 4);
    }
    return 1;
}

int texture_end_custom_frame(uint32_t id)
{
    anim_texture* a = find(id);
    if (!a || !a->custom_frame)
        return 0;
    mipchain_build(a->custom_frame, a->images[0].width, a->images[0].height, a->images[0].channels);
    upload_levels(a, a->custom_frame);
    return 1;
}
