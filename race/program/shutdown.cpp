#include "race/program/shutdown.h"

#include "foundation/vfs/vfs.h"
#include "foundation/index/file_index.h"
#include "foundation/front_door.h"
#include "foundation/intern.h"
#include "foundation/memory.h"
#include "gfx/fonts.h"
#include "gfx/model.h"
#include "gfx/texture_cache.h"
#include "platform/qorl_gl.h"
#include "platform/qorl_input.h"
#include "platform/qorl_log.h"
#include "race/program/audio_start.h"
#include "race/program/bindings.h"
#include "race/demo/demo.h"
#include "race/game_settings.h"
#include "race/program/settings_hooks.h"
#include "race/program/hud_pictures.h"
#include "race/program/main_loop.h"
#include "race/net/net_connection.h"
#include "race/program/out_of_memory_stop.h"
#include "race/program/program_hooks.h"
#include "race/race_hooks.h"
#include "race/race_results.h"
#include "race/race_riders.h"
#include "race/race_state.h"
#include "race/series.h"
#include "race/program/startup.h"
#include "race/program/startup_lists.h"
#include "race/track_load.h"
#include "race/program/video_modes.h"
#include "sim/ai_lines.h"
#include "sim/ai_lines_file.h"
#include "sim/physics_world.h"
#include "sim/rider_slot.h"
#include "sim/shapes.h"
#include "terrain/billboards.h"
#include "terrain/lighting.h"
#include "terrain/flaggers.h"
#include "terrain/statues.h"
#include "terrain/track_list.h"
#include "terrain/trackside_cameras.h"
#include "foundation/growable_array.h"

#include <cmath>

double shutdown_pause_seconds = 1.0;

namespace {

constexpr const char* kLinesFiles[] = {"lines_novice", "lines_amateur", "lines_expert"};

// Everything that lives with the race: the network, the lines, the bikes, the
// script, the demos, the track and the rigid-body world.
void race_teardown()
{
    if (net_socket >= 0)
        program_hooks.net_send_disconnect();
    program_hooks.net_reset();
    race_hooks.series_record_round();
    const int32_t skill = race.remembered_skill;
    if (skill >= 0 && skill < 3 && track_folder)
        ai_lines_write(track_folder, kLinesFiles[skill]);
    ai_lines_clear();
    if (contact_group) {
        dJointGroupDestroy(contact_group);
        contact_group = nullptr;
    }
    qorl_log("Deallocating bikes\n");
    for (int32_t k = 0; k < kRiderSlots; ++k) {
        race_hooks.engine_sound_free(k);
        race_destroy_rider(k);
    }
    running_order.count = 0;
    qorl_log("Finished deallocating bikes\n");
    program_hooks.script_unload();
    race_hooks.script_sounds_free();
    demo_playback_close();
    demo_record_close();
    track_free();
    // What stays of the last track for a reload on the same folder: its names and its
    // lens flares.
    mem_free(track_folder);
    mem_free(track_title);
    track_folder = track_title = nullptr;
    array_free(&lighting.flares);
    physics_world_shutdown();
    progress_log_reset("Freeing memory (1)");
    for (growable_array* a : {&statues, &billboards, &billboard_work, &flaggers, &trackside_cameras})
        array_free(a);
    progress_log_reset("Closing input devices");
    capture_end();
    for (qorl_axis*& axis : cursor_axes) {
        if (axis)
            qorl_axis_close(axis);
        axis = nullptr;
    }
    bindings_close_axes();
}

}  // namespace

int shutdown_run(shutdown_from from, qorl_window* window, int status)
{
    if (from == shutdown_from::everything)
        race_teardown();
    progress_log_reset("Closing audio");
    audio_stop();
    program_hooks.engine_sound_caches_free();
    progress_log_reset("Writing config files");
    settings_hooks.write();
    program_hooks.net_cleanup();
    progress_log_reset("Freeing memory (2)");
    series_free_all();
    // Nothing freed below reads an interned text.
    game_settings.track = "rabbithill";
    for (input_binding& b : bindings)
        b.key_name = b.axis_name = nullptr;
    intern_free_all();
    free_track_list();
    progress_log_reset("Freeing memory (3)");
    demo_list_free();
    video_modes_free();
    settings_hooks.lists_free();
    progress_log_reset("Freeing file list");
    vfs_shutdown();
    progress_log_reset("Freeing memory (4)");
    shapes_free_all();
    progress_log_reset("Deleting textures");
    texture_purge(1);
    hud_pictures = {};
    progress_log_reset("Deleting models");
    model_purge(1);
    fonts_free();
    program_window = nullptr;
    loop_io.window = nullptr;
    out_of_memory_watch(nullptr);
    qorl_gl_close(window);
    qorl_log(nullptr);
    mem_report_leaks();
    if (shutdown_pause_seconds > 0) {
        const double whole = std::floor(shutdown_pause_seconds);
        qorl_sleep(int32_t(whole), int32_t((shutdown_pause_seconds - whole) * 1000000));
    }
    return status;
}
