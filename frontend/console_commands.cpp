#include "frontend/console_commands.h"

#include "foundation/front_door.h"
#include "foundation/text/scan.h"
#include "frontend/console_commands_parts.h"
#include "frontend/message_line.h"
#include "frontend/position_log.h"
#include "frontend/results_screen.h"
#include "frontend/settings.h"
#include "race/demo/demo.h"
#include "race/game_tick.h"
#include "race/program/main_loop.h"
#include "race/net/net_channel.h"
#include "race/net/net_client.h"
#include "race/net/net_connection.h"
#include "race/net/net_messages.h"
#include "race/race_riders.h"
#include "race/race_state.h"
#include "race/program/run_clock.h"
#include "race/program/settings_values.h"
#include "race/net/wire_records.h"
#include "sim/wheel_sampling.h"
#include "terrain/decals.h"
#include "terrain/terrain_deform.h"
#include "terrain/track_list.h"
#include "view/trackside_view.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

double console_last_chat_time = -1e9;

namespace console_detail {

const char* skip_blanks(const char* s)
{
    while (*s && std::isspace(static_cast<unsigned char>(*s)))
        ++s;
    return s;
}

std::string name_argument(const char* arg)
{
    const char* s = skip_blanks(arg);
    std::string name(s, strnlen(s, 1015));
    while (!name.empty() && std::isspace(static_cast<unsigned char>(name.back())))
        name.pop_back();
    return name;
}

bool track_loaded()
{
    if (track_folder && track_terrain.heights)
        return true;
    console_print("No track loaded");
    return false;
}

int watched_rider()
{
    if (race_rider_exists(race.viewed_slot))
        return race.viewed_slot;
    console_print("No rider is being watched");
    return -1;
}

}  // namespace console_detail

namespace {

using namespace console_detail;

enum match_kind { exact, prefix, word };

// A whole number for a setting, or the usage line and nothing changed.
bool scan_count(const char* arg, int* n, const char* usage)
{
    if (scan_string(arg, "%d", n) == 1)
        return true;
    console_print(usage);
    return false;
}

void cmd_hfvol(const char*)
{
    if (!track_loaded())
        return;
    double sum = 0;
    const int64_t n = int64_t(track_terrain.size) * track_terrain.size;
    for (int64_t i = 0; i < n; ++i)
        sum += track_terrain.heights[i];
    say("%f\n", sum);
}

void cmd_toggledecals(const char*)
{
    if (!track_loaded())
        return;
    console_toggle("Hide decals", &track_terrain.hide_decals);
    decals_rebuild(&track_terrain);
    terrain_mark_region_dirty(&track_terrain, 0, 0, track_terrain.size - 1, track_terrain.size - 1);
}

void cmd_fpshist(const char*)
{
    std::string line;
    for (int k = 0; k < 8; ++k) {
        char pair[40];
        std::snprintf(pair, sizeof pair, "%d=%u ", 128 >> k, loop.histogram[k]);
        line += pair;
        loop.histogram[k] = 0;
    }
    console_print(line.c_str());
}

void cmd_messagelines(const char* arg)
{
    int n;
    if (!scan_count(arg, &n, "Usage: messagelines <count>"))
        return;
    message_lines = std::clamp(n, 0, message_ring_lines);
    say("Maximum showing messages is now %d", message_lines);
}

void cmd_reportstutter(const char* arg)
{
    double s;
    if (std::sscanf(arg, "%lf", &s) != 1) {
        console_print("Usage: reportstutter <seconds>");
        return;
    }
    stutter_threshold = s;
    say("Stutter threshold set to %f", s);
}

void cmd_log(const char* arg)
{
    position_log_flags = 0;
    position_log_spacing = 10;
    const char* s = skip_blanks(arg);
    while (*s && !std::isspace(static_cast<unsigned char>(*s))) {
        if (*s == 'e')
            position_log_flags |= 1;
        ++s;
    }
    float spacing;
    if (std::sscanf(s, "%f", &spacing) == 1)
        position_log_spacing = spacing;
    say("Logging 0x%x, spacing %f", unsigned(position_log_flags), double(position_log_spacing));
}

void cmd_namedemo(const char* arg)
{
    if (!demo_recording() || race.time_trial_active) {
        console_print("Not currently recording a demo");
        return;
    }
    const char* s = skip_blanks(arg);
    std::string name(s, std::strcspn(s, " \t\r\n"));
    if (name.empty()) {
        console_print("Usage: namedemo <name>");
        return;
    }
    if (name.size() >= 1017) {
        console_print("Name too long");
        return;
    }
    const std::string ext = ".bvdemo";
    if (name.size() < ext.size() || name.compare(name.size() - ext.size(), ext.size(), ext) != 0)
        name += ext;
    if (!demo_set_name(name.c_str())) {
        console_print("Demo name refused");
        return;
    }
    console_print("Demo name updated");
}

struct command {
    const char* name;
    match_kind match;
    void (*run)(const char* arg);
};

// A whole-number setting: the usage line and nothing changed when none is given.
void set_count(const char* arg, int32_t* value, const char* usage, const char* answer)
{
    int n;
    if (!scan_count(arg, &n, usage))
        return;
    *value = n;
    say(answer, n);
}

void cmd_bbopt(const char* arg)
{
    set_count(arg, &plain_values.billboard_optimize_lookahead, "Usage: bbopt <window>",
              "Billboard optimization window is now %d");
}

void cmd_fov(const char* arg)
{
    console_print(ui_slider_set_text(&fov_slider, arg) ? "fov set" : "Usage: fov <degrees>");
}

void cmd_demobackups(const char* arg)
{
    set_count(arg, &plain_values.demo_backups, "Usage: demobackups <count>", "Now keeping %d demo backups");
}

void cmd_mapscale(const char* arg)
{
    float scale;
    if (scan_string(arg, "%f", &scale) != 1 || std::isnan(scale)) {
        console_print("Usage: mapscale <scale>");
        return;
    }
    plain_values.map_scale = std::clamp(scale, 0.125f, 8.0f);
    say("Map scale set to %f", double(plain_values.map_scale));
}

void cmd_forcereload(const char*)
{
    race.force_reload = 1;
    console_print("Track will be reloaded on next restart");
}

const command kCommands[] = {
    {"savetrackinfo", exact, cmd_savetrackinfo},
    {"renderstats", exact, [](const char*) { render_stats_restart(); }},
    {"togglespy", exact, [](const char*) { console_toggle("Spy mode", &plain_values.spy); }},
    {"togglegraph", exact, [](const char*) { console_toggle("Suspension graph", &suspension_graph.on); }},
    {"bbopt", prefix, cmd_bbopt},
    {"pipe", prefix, cmd_pipe},
    {"namedemo", prefix, cmd_namedemo},
    {"camangle", prefix, cmd_camangle},
    {"fov", prefix, cmd_fov},
    {"fpshist", prefix, cmd_fpshist},
    {"saveframetimes", exact, cmd_saveframetimes},
    {"forcereload", exact, cmd_forcereload},
    {"readsetup", prefix, cmd_readsetup},
    {"writesetup", prefix, cmd_writesetup},
    {"randdump", exact, [](const char*) {}},
    {"addkey", exact, cmd_addkey},
    {"deletekey", exact, cmd_deletekey},
    {"rmkey", exact, cmd_deletekey},
    {"clearkeys", exact, cmd_clearkeys},
    {"listkeys", exact, cmd_listkeys},
    {"readkeys", prefix, cmd_readkeys},
    {"writekeys", prefix, cmd_writekeys},
    {"togglekeycam", exact, [](const char*) { console_toggle("Keycam mode", &camera_key_playback); }},
    {"togglefps", exact, [](const char*) { console_toggle("FPS display", &plain_values.draw_fps); }},
    {"toggletime", exact, [](const char*) { console_toggle("Time display", &plain_values.draw_time); }},
    {"toggleping", exact, [](const char*) { console_toggle("Ping display", &plain_values.draw_ping); }},
    {"togglespam", exact, [](const char*) { console_toggle("Hide spam", &message_log.hide_spam); }},
    {"togglespeed", exact, [](const char*) { console_toggle("Speed display", &plain_values.draw_speed); }},
    {"sendfile", word, cmd_sendfile},
    {"listfiles", word, cmd_listfiles},
    {"messagelines", word, cmd_messagelines},
    {"demobackups", word, cmd_demobackups},
    {"mapscale", word, cmd_mapscale},
    {"hfvol", exact, cmd_hfvol},
    {"toggledecals", exact, cmd_toggledecals},
    {"clearlog", word, [](const char*) { poslog_clear(); }},
    {"log", word, cmd_log},
    {"reportstutter", word, cmd_reportstutter},
};

int chat(const char* line)
{
    if (run_clock <= console_last_chat_time + 2) {
        console_print("No one likes a spammer");
        return 0;
    }
    console_last_chat_time = run_clock;
    if (net_socket < 0)
        console_print("Not connected to server");
    else
        net_chat_send(line);
    return 1;
}

}  // namespace

int console_execute(const char* line)
{
    if (line[0] != '/' && line[0] != '\\')
        return chat(line);
    const char* rest = line + 1;
    for (const command& c : kCommands) {
        const size_t n = std::strlen(c.name);
        switch (c.match) {
        case exact:
            if (std::strcmp(rest, c.name) == 0) {
                c.run("");
                return 1;
            }
            break;
        case prefix:
            if (std::strncmp(rest, c.name, n) == 0) {
                c.run(rest + n);
                return 1;
            }
            break;
        case word:
            if (word_match(rest, c.name)) {
                const char* s = skip_blanks(rest) + n;
                c.run(s);
                return 1;
            }
            break;
        }
    }
    return 0;
}
