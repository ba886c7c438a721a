#include "race/program/video_modes.h"

#include "foundation/memory.h"
#include "platform/qorl_window.h"
#include "race/program/settings_values.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

int32_t video_mode_count = 0;
const char** video_mode_names = nullptr;
video_mode_size* video_mode_sizes = nullptr;
int32_t video_mode_in_effect = 0;

namespace {

constexpr int kNameBytes = 22;
constexpr int kEntryBytes = sizeof(video_mode_size) + sizeof(char*) + kNameBytes;
void* storage = nullptr;

}  // namespace

void video_modes_build(const qorl_display_mode* modes)
{
    video_modes_free();
    int count = 2;
    const int32_t depth = modes ? modes[0].colour_bits : 0;
    for (int i = 0; modes && modes[i].width; ++i)
        count += modes[i].colour_bits == depth;
    storage = xmalloc(size_t(count) * kEntryBytes);
    auto* bytes = static_cast<char*>(storage);
    video_mode_sizes = reinterpret_cast<video_mode_size*>(bytes);
    video_mode_names = reinterpret_cast<const char**>(bytes + count * sizeof(video_mode_size));
    char* text = bytes + count * (sizeof(video_mode_size) + sizeof(char*));
    auto add = [&](int index, const char* name, int32_t w, int32_t h) {
        char* slot = text + index * kNameBytes;
        snprintf(slot, kNameBytes, "%s", name);
        video_mode_names[index] = slot;
        video_mode_sizes[index] = {w, h};
    };
    add(0, "Default Fullscreen", 0, 0);
    add(1, "Windowed", 0, 0);
    int n = 2;
    for (int i = 0; modes && modes[i].width; ++i) {
        if (modes[i].colour_bits != depth)
            continue;
        char name[kNameBytes];
        snprintf(name, sizeof name, "%dx%d", modes[i].width, modes[i].height);
        add(n++, name, modes[i].width, modes[i].height);
    }
    video_mode_count = n;
}

void video_modes_free()
{
    mem_free(storage);
    storage = nullptr;
    video_mode_names = nullptr;
    video_mode_sizes = nullptr;
    video_mode_count = 0;
}

window_size_fit window_size_bound(int32_t screen_width, int32_t screen_height, int32_t* width, int32_t* height)
{
    const plain_settings defaults;
    window_size_fit fit = window_size_fit::kept;
    if (*width <= 0 || *height <= 0) {
        fit = window_size_fit::out_of_range;
        if (*width <= 0)
            *width = defaults.xres;
        if (*height <= 0)
            *height = defaults.yres;
    }
    const int32_t most_w = screen_width > 0 ? std::min(screen_width, kLargestWindowSide) : kLargestWindowSide;
    const int32_t most_h = screen_height > 0 ? std::min(screen_height, kLargestWindowSide) : kLargestWindowSide;
    if (*width > most_w || *height > most_h) {
        *width = std::min(*width, most_w);
        *height = std::min(*height, most_h);
        if (fit == window_size_fit::kept)
            fit = window_size_fit::cut;
    }
    return fit;
}
