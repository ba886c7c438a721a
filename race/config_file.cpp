#include "race/game_settings.h"

#include "foundation/intern.h"
#include "foundation/scan.h"
#include "foundation/vfs.h"
#include "race/bindings.h"
#include "race/settings_values.h"
#include "race/video_modes.h"
#include "terrain/track_list.h"

#include <cstring>
#include <string>
#include <vector>

game_settings_values game_settings;
int32_t selected_track = -1;

namespace {

constexpr const char* no_yes[] = {"No", "Yes", nullptr};
constexpr const char* skills[] = {"Novice", "Amateur", "Expert", nullptr};

std::vector<std::string> unknown_lines;

void read_int(const char* value, int32_t* out)
{
    int v = 0;
    if (scan_string(value, "%d", &v) == 1)
        *out = v;
}

void read_real(const char* value, double* out, double low, double high)
{
    float v = 0;
    if (scan_string(value, "%f", &v) != 1)
        return;
    *out = v < low ? low : v > high ? high : v;
}

void read_choice(const char* value, int32_t* out, const char* const* items)
{
    for (int i = 0; items[i]; ++i)
        if (strcmp(value, items[i]) == 0) {
            *out = i;
            return;
        }
}

void read_video_mode(const char* value)
{
    for (int i = 0; i < video_mode_count; ++i)
        if (strcmp(value, video_mode_names[i]) == 0) {
            game_settings.video_mode = i;
            return;
        }
}

bool apply_line(const char* key, const char* value)
{
    game_settings_values& s = game_settings;
    if (!strcmp(key, "xres"))
        read_int(value, &s.xres);
    else if (!strcmp(key, "yres"))
        read_int(value, &s.yres);
    else if (!strcmp(key, "spy"))
        read_int(value, &s.spy);
    else if (!strcmp(key, "track"))
        s.track = intern_string(value);
    else if (!strcmp(key, "record"))
        read_choice(value, &s.record, no_yes);
    else if (!strcmp(key, "skill"))
        read_choice(value, &s.skill, skills);
    else if (!strcmp(key, "minutes"))
        read_real(value, &s.minutes, 0, 60);
    else if (!strcmp(key, "laps"))
        read_real(value, &s.laps, 0, 50);
    else if (!strcmp(key, "time_trial_abort"))
        read_choice(value, &s.time_trial_abort, no_yes);
    else if (!strcmp(key, "video_mode"))
        read_video_mode(value);
    else if (!strcmp(key, "terrain_resync_rate"))
        read_real(value, &graphics_settings.terrain_resync_rate, 0, 10);
    else if (!strcmp(key, "fov"))
        read_real(value, &s.fov, 10, 170);
    else {
        for (const binding_config_key& b : binding_config_keys)
            if (!strcmp(key, b.key)) {
                binding_parse(&bindings[b.id], value);
                return true;
            }
        return false;
    }
    return true;
}

}  // namespace

void config_forget_unknown()
{
    unknown_lines.clear();
    unknown_lines.shrink_to_fit();
}

int config_stand_in_read()
{
    vfs_file* f = vfs_open("@config", "rb");
    if (!f)
        return 0;
    char line[1024];
    while (vfs_gets(f, line, sizeof line)) {
        char* eq = strchr(line, '=');
        if (!eq)
            continue;
        *eq = 0;
        char* value = eq + 1;
        size_t n = strlen(value);
        while (n > 0 && (value[n - 1] == '\n' || value[n - 1] == '\r'))
            value[--n] = 0;
        if (!apply_line(line, value))
            unknown_lines.push_back(std::string(line) + "=" + value);
    }
    vfs_close(f);
    return 1;
}

int config_stand_in_write()
{
    vfs_file* f = vfs_open("@config", "wb");
    if (!f)
        return 0;
    const game_settings_values& s = game_settings;
    const char* track = selected_track >= 0 && selected_track < track_count
                            ? track_list[selected_track].folder
                            : s.track;
    vfs_printf(f, "xres=%d\n", s.xres);
    vfs_printf(f, "yres=%d\n", s.yres);
    vfs_printf(f, "spy=%d\n", s.spy);
    vfs_printf(f, "track=%s\n", track);
    vfs_printf(f, "record=%s\n", no_yes[s.record]);
    vfs_printf(f, "skill=%s\n", skills[s.skill]);
    vfs_printf(f, "minutes=%f\n", s.minutes);
    vfs_printf(f, "laps=%f\n", s.laps);
    vfs_printf(f, "time_trial_abort=%s\n", no_yes[s.time_trial_abort]);
    vfs_printf(f, "video_mode=%s\n",
               s.video_mode < video_mode_count ? video_mode_names[s.video_mode] : "Default Fullscreen");
    vfs_printf(f, "terrain_resync_rate=%f\n", graphics_settings.terrain_resync_rate);
    vfs_printf(f, "fov=%f\n", s.fov);
    for (const binding_config_key& b : binding_config_keys)
        binding_write(f, b.key, &bindings[b.id]);
    for (const std::string& line : unknown_lines)
        vfs_printf(f, "%s\n", line.c_str());
    vfs_close(f);
    return 1;
}
