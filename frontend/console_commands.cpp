#include "frontend/console_commands.h"

#include "foundation/front_door.h"
#include "foundation/file_index.h"
#include "frontend/message_line.h"
#include "frontend/position_log.h"
#include "frontend/results_screen.h"
#include "race/demo.h"
#include "race/main_loop.h"
#include "race/net_upload.h"
#include "race/net_channel.h"
#include "race/net_connection.h"
#include "race/net_messages.h"
#include "race/race_state.h"
#include "race/run_clock.h"
#include "sim/wheel_sampling.h"
#include "terrain/decals.h"
#include "terrain/terrain_deform.h"
#include "terrain/track_list.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

double console_last_chat_time = -1e9;

namespace {

constexpr int kChatRecord = 19;

enum match_kind { exact, prefix, word };

void say(const char* f, auto... a)
{
    char buffer[1100];
    std::snprintf(buffer, sizeof buffer, f, a...);
    console_print(buffer);
}

// The text after the command word and its white space.
const char* skip_blanks(const char* s)
{
    while (*s && std::isspace(static_cast<unsigned char>(*s)))
        ++s;
    return s;
}

bool track_loaded(const char* /*arg*/)
{
    if (track_folder && track_terrain.heights)
        return true;
    console_print("No track loaded");
    return false;
}

void cmd_hfvol(const char* arg)
{
    if (!track_loaded(arg))
        return;
    double sum = 0;
    const int64_t n = int64_t(track_terrain.size) * track_terrain.size;
    for (int64_t i = 0; i < n; ++i)
        sum += track_terrain.heights[i];
    say("%f\n", sum);
}

void cmd_toggledecals(const char* arg)
{
    if (!track_loaded(arg))
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
    if (std::sscanf(arg, "%d", &n) != 1) {
        console_print("Usage: messagelines <count>");
        return;
    }
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

void cmd_listfiles(const char* arg)
{
    std::string filter = skip_blanks(arg);
    for (char& c : filter)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    char text[2048];
    for (int i = 0; file_index_describe(i, text, sizeof text); ++i) {
        std::string lower = text;
        for (char& c : lower)
            c = char(std::tolower(static_cast<unsigned char>(c)));
        if (filter.empty() || lower.find(filter) != std::string::npos)
            console_print(text);
    }
}

void cmd_namedemo(const char* arg)
{
    if (!demo_recording() || time_trial_active) {
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

void cmd_sendfile(const char* arg)
{
    const std::string name = skip_blanks(arg);
    for (char c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '.') {
            console_print("Filename may only contain alphanumeric characters, '_' or '.'");
            return;
        }
    if (name.size() >= 1014) {
        console_print("Filename too long");
        return;
    }
    if (name.empty() || name.find("..") != std::string::npos) {
        console_print("Can't open file");
        return;
    }
    if (net_upload_start(name.c_str()))
        console_print("Sending file");
    else if (net_socket >= 0)
        console_print("Can't open file");
}

struct command {
    const char* name;
    match_kind match;
    void (*run)(const char* arg);
};

const command kCommands[] = {
    {"renderstats", exact, [](const char*) {}},
    {"forcereload", exact,
     [](const char*) {
         race.force_reload = 1;
         console_print("Track will be reloaded on next restart");
     }},
    {"randdump", exact, [](const char*) {}},
    {"fpshist", prefix, cmd_fpshist},
    {"togglefps", exact, [](const char*) { console_toggle("FPS display", &results_overlay.draw_fps); }},
    {"toggletime", exact, [](const char*) { console_toggle("Time display", &results_overlay.draw_time); }},
    {"toggleping", exact, [](const char*) { console_toggle("Ping display", &results_overlay.draw_ping); }},
    {"togglespam", exact, [](const char*) { console_toggle("Hide spam", &message_log.hide_spam); }},
    {"togglespeed", exact, [](const char*) { console_toggle("Speed display", &results_overlay.draw_speed); }},
    {"namedemo", prefix, cmd_namedemo},
    {"sendfile", word, cmd_sendfile},
    {"listfiles", word, cmd_listfiles},
    {"messagelines", word, cmd_messagelines},
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
        net_queue_reliable(kChatRecord, line, int(std::strlen(line)));
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
