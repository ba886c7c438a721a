#include "foundation/front_door.h"

#include "platform/qorl_log.h"

#include <cstring>

namespace {

uint32_t spinner_calls = 0;

void log_message(const char* text)
{
    size_t n = strlen(text);
    bool has_escape = strchr(text, '\033') != nullptr;
    bool ends_line = n > 0 && text[n - 1] == '\n';
    qorl_log("%s%s%s", text, has_escape ? "\033[0m" : "", ends_line ? "" : "\n");
}

void no_spinner() {}
void no_screen(const char*) {}
void no_clear() {}

void log_line(const char* message)
{
    if (*message)
        qorl_log("%.64s\n", message);
}

void log_done(const char* message)
{
    qorl_log("%.64s...done\n", message);
}

}  // namespace

const front_door_table front_door_log_only = {
    log_message, no_spinner, no_screen, log_line, no_screen, log_done, no_clear, no_screen,
};

front_door_table front_door = front_door_log_only;

void console_print(const char* text)
{
    front_door.console_print(text);
}

void loading_spinner()
{
    ++spinner_calls;
    front_door.loading_spinner();
}

void draw_progress_screen(const char* message)
{
    front_door.draw_progress_screen(message);
}

void progress_log_reset(const char* message)
{
    front_door.progress_log_reset(message);
}

void progress_dots(const char* message)
{
    front_door.progress_dots(message);
}

void progress_done(const char* message)
{
    front_door.progress_done(message);
}

void message_ring_clear()
{
    front_door.message_ring_clear();
}

uint32_t loading_spinner_calls()
{
    return spinner_calls;
}

void report_stutter(const char* label)
{
    front_door.report_stutter(label);
}
