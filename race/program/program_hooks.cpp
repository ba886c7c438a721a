#include "race/program/program_hooks.h"

#include "race/game_settings.h"
#include "race/game_tick.h"
#include "race/net/net_client.h"
#include "race/net/net_transport.h"

namespace {

void nothing() {}
void nothing_level(float) {}
void nothing_slot(int32_t) {}
void nothing_text(const char*) {}
uint32_t server_tick()
{
    return uint32_t(net_server_tick);
}
void cleanup()
{
    net_cleanup();
}
void no_banner(const char*, int32_t, int32_t) {}
int no_item(int)
{
    return -1;
}
int editor_never_uses(int32_t, int)
{
    return 0;
}

}  // namespace


program_hooks_table program_hooks = {
    game_tick,        // game_tick
    net_step,         // net_step
    server_tick,      // net_server_tick
    net_send_disconnect,  // net_send_disconnect
    net_reset,        // net_reset
    cleanup,          // net_cleanup
    nothing_text,     // chat_send
    nothing,          // menu_draw
    nothing_slot,     // menu_key
    no_item,          // menu_hover_item
    nothing_slot,     // hud_draw
    nothing_slot,     // results_draw
    nothing_slot,     // rider_name_draw
    nothing_text,     // title_screen_draw
    nothing,          // message_lines_retire
    nothing_slot,     // lineup_rotate
    no_banner,        // banner_draw
    nothing_level,    // engine_sound_update
    nothing,          // engine_sound_caches_free
    nothing,          // script_unload
    editor_never_uses,// editor_key
    nothing,          // editor_mouse
    nothing,          // editor_draw
    nothing,          // editor_free
};
