#include "frontend/message_line.h"

#include "foundation/front_door.h"
#include "frontend/ui_widgets.h"
#include "gfx/fonts.h"
#include "gfx/gl_layer.h"
#include "platform/qorl_log.h"
#include "race/program/projection.h"
#include "race/race_state.h"
#include "race/program/run_clock.h"

#include <cstdio>
#include <cstring>

message_log_state message_log = {{}, 0, 0, 0, 1};
int message_lines = 5;
double stutter_threshold = 0;

namespace {

constexpr double first_retire_seconds = 2;
constexpr double next_retire_seconds = 5;

double last_stutter_mark = 0;
bool stutter_marked = false;

}  // namespace

int message_print(const char* text)
{
    if (message_log.hide_spam && strstr(text, "[SPAM]"))
        return message_log.shown;
    const size_t n = strlen(text);
    const bool ends_line = n > 0 && text[n - 1] == '\n';
    const char* reset = strchr(text, '\033') ? "\033[0m" : "";
    qorl_log(ends_line ? "%s%s" : "%s%s\n", text, reset);

    char* line = message_log.lines[message_log.write_index];
    memset(line, 0, message_line_bytes);
    memcpy(line, text, n < message_line_bytes - 1 ? n : message_line_bytes - 1);
    message_log.write_index = (message_log.write_index + 1) % message_ring_lines;
    const int limit = message_lines < message_ring_lines ? message_lines : message_ring_lines;
    if (message_log.shown < limit)
        ++message_log.shown;
    message_log.display_until = run_clock + first_retire_seconds;
    return message_log.shown;
}

void console_toggle(const char* label, int* flag)
{
    char text[80];
    snprintf(text, sizeof text, *flag ? "%.60s OFF" : "%.60s ON", label);
    *flag = !*flag;
    console_print(text);
}

void message_report_stutter(const char* label)
{
    int32_t seconds = 0, microseconds = 0;
    qorl_time(&seconds, &microseconds);
    const double now = seconds + microseconds * 0.000001;
    if (stutter_threshold > 0 && stutter_marked && now - last_stutter_mark > stutter_threshold) {
        char text[160];
        snprintf(text, sizeof text, "Stutter in %.100s - %f seconds", label, now - last_stutter_mark);
        console_print(text);
    }
    last_stutter_mark = now;
    stutter_marked = true;
}

void message_line_retire()
{
    if (run_clock > message_log.display_until && message_log.shown > 0) {
        --message_log.shown;
        message_log.display_until = run_clock + next_retire_seconds;
    }
}

void draw_watched_rider_name(int slot)
{
    if (slot >= 0 && slot < kRaceSlots && race.kinds[slot] == rider_kind_remote)
        draw_rider_name_line(slot);
}

void draw_rider_name_line(int32_t slot)
{
    if (slot < 0 || slot >= kRaceSlots)
        return;
    const char* name = race.names[slot];
    if (name && *name)
        banner_draw(name, 28, 30);
}

void banner_draw(const char* text, int32_t line, int32_t lines)
{
    ui_begin_2d(float(lines));
    bvglTranslatef(0, -float(line), 0);
    const float width = float(lines) * projection_window_width / projection_window_height;
    text_draw_centered(1, 1, 1, 1, 0, width, text);
    ui_end();
}

void message_log_clear()
{
    for (auto& line : message_log.lines)
        line[0] = 0;
    message_log.write_index = 0;
    message_log.shown = 0;
}
