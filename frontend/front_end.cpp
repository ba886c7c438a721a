#include "frontend/front_end.h"

#include "foundation/front_door.h"
#include "frontend/hud.h"
#include "frontend/message_line.h"
#include "frontend/position_log.h"
#include "frontend/progress_screen.h"
#include "frontend/results_screen.h"
#include "frontend/title_screen.h"
#include "race/program_hooks.h"
#include "frontend/settings.h"
#include "frontend/settings_start.h"
#include "race/race_hooks.h"
#include "race/settings_hooks.h"
#include "sim/wheel_sampling.h"
#include "view/trackside_view.h"

namespace {

void print(const char* text)
{
    message_print(text);
}

}  // namespace

void front_end_install()
{
    front_door.console_print = print;
    front_door.loading_spinner = progress_screen_spinner;
    front_door.draw_progress_screen = progress_screen_show;
    front_door.progress_log_reset = progress_screen_log_reset;
    front_door.progress_dots = progress_screen_dots;
    front_door.progress_done = progress_screen_done;
    front_door.message_ring_clear = message_log_clear;
    front_door.report_stutter = message_report_stutter;
    race_hooks.draw_progress_screen = progress_screen_show;
    position_log_install(poslog_distance, poslog_append);
    program_hooks.title_screen_draw = title_screen_draw;
    settings_hooks = {settings_start_read, settings_derive, settings_lists_build, settings_shutdown_write,
                      settings_lists_free};
    program_hooks.hud_draw = hud_draw;
    program_hooks.results_draw = results_draw;
    trackside_running_order = hud_draw_running_order;
}
