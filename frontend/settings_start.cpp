#include "frontend/settings_start.h"

#include "frontend/config_file.h"
#include "frontend/results_screen.h"
#include "frontend/settings.h"
#include "frontend/texture_choices.h"
#include "platform/qorl_window.h"
#include "race/program/command_line.h"
#include "race/game_settings.h"
#include "terrain/track_list.h"

#include <vector>

namespace {

// The display's modes of the desktop's colour depth, in the order the platform lists them.
void video_modes_from_display()
{
    std::vector<int32_t> sizes;   // width, height pairs
    if (const qorl_display_mode* modes = qorl_desktop_mode())
        for (const qorl_display_mode* m = modes; m->width > 0; ++m)
            if (m->colour_bits == modes[0].colour_bits)
                sizes.insert(sizes.end(), {m->width, m->height});
    video_modes_build(sizes.data(), int(sizes.size() / 2));
}

}  // namespace

void settings_start_read()
{
    ui_choice_select(&bike_choice, "yz250f(2017)");
    if (video_mode_choice.count <= 2)
        video_modes_from_display();
    config_read();
}

void settings_lists_build()
{
    texture_lists_build();
    if (track_count <= 0)
        scan_tracks();
    const auto& named = command_line_options.track;
    track_choice_build(named && !named->empty() ? named->c_str() : game_settings.track);
    // Only the profile: deriving the detail values again would undo the command line's.
    local_profile_update();
    if (command_line_options.draw_render_stats.value_or(0) != 0)
        render_stats_restart();
}

void settings_shutdown_write()
{
    config_write();
}

void settings_lists_free()
{
    texture_lists_free();
    settings_release_lists();
    free_track_list();
}
