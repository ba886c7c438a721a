#include "frontend/front_end.h"

#include "foundation/front_door.h"
#include "frontend/console_commands.h"
#include "frontend/hud.h"
#include "frontend/menu.h"
#include "frontend/message_line.h"
#include "frontend/position_log.h"
#include "frontend/progress_screen.h"
#include "frontend/results_screen.h"
#include "frontend/series_screen.h"
#include "frontend/title_screen.h"
#include "race/program/program_hooks.h"
#include "frontend/settings.h"
#include "frontend/settings_start.h"
#include "race/program/main_loop.h"
#include "race/race_hooks.h"
#include "race/race_restart.h"
#include "race/program/startup_lists.h"
#include "race/program/settings_hooks.h"
#include "sim/wheel_sampling.h"
#include "view/trackside_view.h"

#include <algorithm>

namespace {

void print(const char* text)
{
    message_print(text);
}

void screen_changed()
{
    loop.screen_changed = 1;
}
void quit()
{
    loop.quit = 1;
}
int32_t demo_count()
{
    return int32_t(std::min(demo_list_names.size(), demo_list_short.size()));
}
const char* demo_full_name(int32_t index)
{
    return index >= 0 && index < demo_count() ? demo_list_names[size_t(index)].c_str() : nullptr;
}
const char* demo_short_name(int32_t index)
{
    return index >= 0 && index < demo_count() ? demo_list_short[size_t(index)].c_str() : nullptr;
}
void rotate_start_lineup(int32_t by)
{
    lineup_rotate(start_lineup, by);
}

// The menus inside the main loop: drawing, keys, the pointer's hover and the lineup.
void menus_install()
{
    menu_seams.screen_changed = screen_changed;
    menu_seams.quit = quit;
    menu_seams.console_execute = console_execute;
    menu_seams.series_standings_draw = series_standings_draw;
    menu_seams.demo_count = demo_count;
    menu_seams.demo_full_name = demo_full_name;
    menu_seams.demo_short_name = demo_short_name;
    program_hooks.menu_draw = menu_draw;
    program_hooks.menu_key = menu_key;
    program_hooks.menu_hover_item = menu_hover_item;
    program_hooks.lineup_rotate = rotate_start_lineup;
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
    program_hooks.rider_name_draw = draw_rider_name_line;
    program_hooks.message_lines_retire = message_line_retire;
    program_hooks.banner_draw = banner_draw;
    trackside_running_order = hud_draw_running_order;
    menus_install();
}
