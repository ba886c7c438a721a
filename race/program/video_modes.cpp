#include "race/program/video_modes.h"

#include "foundation/memory.h"
#include "platform/qorl_window.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

int32_t video_mode_count = 0;
const char** video_mode_names = nullptr;
video_mode_size* video_mode_sizes = nullptr;

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

bool window_size_bound(const qorl_display_mode* modes, int32_t* width, int32_t* height)
{
    // The desktop's size is the screen; without a display list only the GL cap holds.
    const int32_t most_w = modes && modes[0].width > 0 ? std::min(modes[0].width, kLargestWindowSide)
                                                       : kLargestWindowSide;
    const int32_t most_h = modes && modes[0].height > 0 ? std::min(modes[0].height, kLargestWindowSide)
                                                        : kLargestWindowSide;
    const int32_t w = std::clamp(*width, 0, most_w), h = std::clamp(*height, 0, most_h);
    const bool changed = w != *width || h != *height;
    *width = w;
    *height = h;
    return changed;
}
