#include "race/program/startup.h"

#include "foundation/start/startup_check.h"
#include "foundation/start/user_folder.h"
#include "foundation/index/file_index.h"
#include "foundation/intern.h"
#include "foundation/memory.h"
#include "foundation/front_door.h"
#include "foundation/os_paths.h"
#include "foundation/door/running_lock.h"
#include "gfx/gl_layer.h"
#include "gfx/gl_startup.h"
#include "gfx/gl_state.h"
#include "gfx/shaders.h"
#include "platform/qorl_events.h"
#include "platform/qorl_gl.h"
#include "platform/qorl_log.h"
#include "race/program/audio_start.h"
#include "race/base_digest.h"
#include "race/bike_setup.h"
#include "race/program/bindings.h"
#include "race/program/command_line.h"
#include "race/program/hud_pictures.h"
#include "race/net/net_client.h"
#include "race/program/out_of_memory_stop.h"
#include "race/race_hooks.h"
#include "race/race_restart.h"
#include "race/race_rules.h"
#include "race/rider_history.h"
#include "race/program/settings_hooks.h"
#include "race/program/settings_values.h"
#include "race/program/detail_presets.h"
#include "sim/ai_lines_learning.h"
#include "sim/rider_slot.h"
#include "race/program/controls.h"
#include "race/demo/demo.h"
#include "race/game_settings.h"
#include "race/program/main_loop.h"
#include "race/program/program_hooks.h"
#include "race/race_results.h"
#include "race/race_riders.h"
#include "race/race_state.h"
#include "race/program/run_clock.h"
#include "race/series.h"
#include "race/program/shutdown.h"
#include "race/program/startup_lists.h"
#include "race/track_load.h"
#include "race/program/video_modes.h"
#include "gfx/texture_settings.h"
#include "platform/qorl_input.h"
#include "sim/physics_world.h"
#include "terrain/terrain_settings.h"
#include "terrain/track_list.h"
#include "sim/stock_shapes.h"
#include <algorithm>
#include <string>

#include <cstdio>
#include <cstring>
#include <xmmintrin.h>

namespace {

// Denormals are flushed to zero for the whole run: the physics and the mixer produce
// them near rest and they cost hundreds of cycles each.
void runtime_setup()
{
    _mm_setcsr(_mm_getcsr() | 0x8040);  // flush-to-zero and denormals-are-zero
}

// The colour and depth bits that "--depth" and "--zdepth" default to.
constexpr int colour_bits = 16;
constexpr int depth_bits = 16;
constexpr int32_t redraw_period_us = 62500;

// The GL layer finds its entry points through the window's context.
void* gl_entry_point(void* window, const char* name)
{
    return reinterpret_cast<void*>(qorl_gl_proc_address(static_cast<qorl_window*>(window), name));
}

// The driver's own words, and whether its version reaches 3.1 ("OpenGL ES 3.0" does not).
bool start_gl(qorl_window* window)
{
    gl_init(gl_entry_point, window);
    qorl_log("GL_VENDOR: %s\n", gl_state.gl_vendor);
    qorl_log("GL_RENDERER: %s\n", gl_state.gl_renderer);
    qorl_log("GL_VERSION: %s\n", gl_state.gl_version);
    qorl_log("GL_EXTENSIONS: %s\n", gl_state.gl_extensions);
    return gl_version_supported(gl_state.gl_major, gl_state.gl_minor);
}

// Waits until the window can be drawn (taking every event meanwhile), then sets the GL
// defaults and loads the fonts and start-up pictures in that first frame. 0 when the
// frame cannot be shown, -1 when the window is closed before it ever could be.
int first_frame(qorl_window* window)
{
    while (!qorl_begin_frame(window)) {
        uint32_t code = 0;
        int pressed = 0;
        while (qorl_next_event(window, &code, &pressed))
            if (code == QORL_CLOSE)
                return -1;
        qorl_sleep(0, redraw_period_us);
    }
    if (!graphics_settings.ground_mipmaps)
        terrain_ground_mipmaps = 0;
    graphics_defaults_load();
    bvglFlush();
    return qorl_end_frame(window);
}

void close_window(qorl_window* window)
{
    program_window = nullptr;
    out_of_memory_watch(nullptr);
    qorl_gl_close(window);
}

// Shutdown after the settings were read: "@config" is written, the lists freed.
void settings_shutdown()
{
    settings_hooks.write();
    settings_hooks.lists_free();
}

void shutdown_tail()
{
    vfs_shutdown();
    intern_free_all();
    qorl_log(nullptr);
    mem_report_leaks();
}

// The window of the chosen video mode: "Windowed" at xres x yres (or the command
// line's size) with its colour bits; any other mode fullscreen at its size.
qorl_window* open_window(const command_line& options)
{
    const int colour = options.depth.value_or(colour_bits);
    const int depth = options.zdepth.value_or(depth_bits);
    int32_t mode = plain_values.video_mode;
    if (mode < 0 || mode >= video_mode_count)
        mode = 0;
    plain_values.video_mode = mode;
    video_mode_in_effect = mode;
    if (mode == kVideoModeWindowed) {
        int32_t w = options.width.value_or(plain_values.xres), h = options.height.value_or(plain_values.yres);
        const int32_t asked_w = w, asked_h = h;
        int32_t screen_w = 0, screen_h = 0;
        qorl_screen_size(&screen_w, &screen_h);
        const window_size_fit fit = window_size_bound(screen_w, screen_h, &w, &h);
        if (fit != window_size_fit::kept) {
            const char* why = fit == window_size_fit::cut ? "is more than the screen allows" : "is out of range";
            fprintf(stderr, "Window size %dx%d %s: using %dx%d\n", asked_w, asked_h, why, w, h);
            qorl_log("Window size %dx%d %s: using %dx%d\n", asked_w, asked_h, why, w, h);
        }
        return qorl_gl_open("Brovanta", w, h, colour, 0, depth, 0, 0);
    }
    return qorl_gl_open("Brovanta", video_mode_sizes[mode].width, video_mode_sizes[mode].height,
                        colour | QORL_FULLSCREEN, 0, depth, 0, 0);
}

// The track list entry of the folder to load, else of the "track" setting.
void select_track(const std::string& to_load)
{
    selected_track = to_load.empty() ? -1 : track_list_find(to_load.c_str());
    if (selected_track < 0)
        selected_track = track_list_find(game_settings.track);
}

void input_prepare(qorl_window* window)
{
    cursor_axes[0] = qorl_axis_open(window, "cursor-x");
    cursor_axes[1] = qorl_axis_open(window, "cursor-y");
    for (int i = 0; i < kBindings; ++i)
        binding_resolve(window, &bindings[i]);
    control_values_zero();
    struct named {
        int32_t* code;
        const char* name;
    };
    const named keys[] = {
        {&menu_keys.up, "up"},         {&menu_keys.down, "down"},
        {&menu_keys.left, "left"},     {&menu_keys.right, "right"},
        {&menu_keys.enter, "enter"},   {&menu_keys.keypad_enter, "keypad enter"},
        {&menu_keys.esc, "esc"},       {&menu_keys.pause, "pause"},
        {&menu_keys.cursor_left, "cursor-left"}, {&menu_keys.cursor_right, "cursor-right"},
        {&menu_keys.page_up, "page up"}, {&menu_keys.page_down, "page down"},
        {&menu_keys.close, "close"},
    };
    for (const named& k : keys) {
        uint32_t code = kUnmatchedKey;
        qorl_key_code(window, &code, k.name);
        *k.code = code == kUnmatchedKey ? -1 : int32_t(code);
    }
}

}  // namespace

qorl_window* program_window = nullptr;


int brovanta_main(int argc, char** argv, const start_bounds& bounds)
{
    runtime_setup();
    install_out_of_memory_stop();

    if (argc == 2 && strcmp(argv[1], "--open-home") == 0) {
        open_user_folder();
        return 0;
    }
    message_ring_clear();

    file_index_set_spinner(loading_spinner);
    set_base_archive_digest(base_archive_digest);
    if (!startup_check_data()) {
        qorl_message_box("Problem starting Brovanta", "Can't find game data\n");
        // A start that cannot find its data has failed: say so in the exit status.
        shutdown_tail();
        return 1;
    }
    qorl_log("Brovanta version %s\n", build_string);
    // Before anything is read or written: what killed writes left goes, unless another
    // copy of the game runs, whose writes in flight look just like those leftovers.
    if (running_lock_alone())
        file_index_build(bounds.listing, true);
    running_lock_share();
    history_clear_all();
    net_client_install();
    race_rules_install();
    // The racing lines learn from every ride: humans' laps are recorded and offered,
    // automatic riders' runs credit or blame the lines they picked.
    ai_lines_learning_install();
    // A race start takes the applied setup as the watch's new reference.
    race_hooks.smoothed_values_snap = setup_watch_arm;
    race_hooks.bike_apply_setup = [](int32_t slot) {
        if (slot >= 0 && slot < kRiderSlots)
            bike_apply_setup(&rider_slots[slot]);
    };
    video_modes_build(qorl_desktop_mode());

    // The kept settings: the static values, the "Compatibility" preset, the default
    // setup, then "@config" over them; the watch is armed on what was read.
    game_settings = game_settings_values{};
    detail_preset_apply(0);
    bindings_set_defaults();
    stability_derive(int32_t(setup.stability));
    settings_hooks.read();
    setup_watch_arm();
    settings_hooks.derive();

    const command_line_result parsed = parse_command_line(argc, argv);
    for (const std::string& line : parsed.lines)
        fputs(line.c_str(), stderr);
    if (parsed.outcome != command_line_outcome::go_on) {
        // Ending on the command line changes no setting: "@config" stays as it was read.
        if (parsed.outcome == command_line_outcome::open_home)
            open_user_folder();
        video_modes_free();
        settings_hooks.lists_free();
        shutdown_tail();
        return parsed.outcome == command_line_outcome::fail ? 1 : 0;
    }
    command_line_options = parsed.settings;
    const command_line& options = command_line_options;
    command_line_apply(options);
    binding_verbose = verbose_level;
    std::string to_load = options.track.value_or("");
    // The server chooses the track.
    if (options.connect)
        to_load.clear();
    const gl_version_choice version = options.glversion.value_or(gl_version_choice{});
    audio_request audio;
    audio.nosound = options.nosound;
    static std::string record_path;
    record_path = options.record_audio ? os_from_working_folder(*options.record_audio) : std::string();
    audio.record_path = options.record_audio ? record_path.c_str() : nullptr;

    qorl_gl_request_version(version.major, version.minor, version.profile);
    qorl_window* window = open_window(options);
    if (!window) {
        video_modes_free();
        settings_shutdown();
        shutdown_tail();
        return 1;
    }
    out_of_memory_watch(window);
    program_window = window;
    loop_io.window = window;
    if (!start_gl(window)) {
        qorl_log("OpenGL version too old\n");
        // The program cannot draw on this context: a failed start.
        return shutdown_run(shutdown_from::closing_audio, window, 1);
    }
    if (!gl_create_shaders()) {
        fputs("Can't initialize shaders\n", stderr);
        close_window(window);
        video_modes_free();
        settings_shutdown();
        shutdown_tail();
        return 1;
    }
    // The data-file index: archive entries such as the bundled fonts are found through it.
    loading_spinner();
    file_index_build(bounds.listing, false);
    // The stock collision shapes must be the shipped ones before a server is joined.
    stock_shapes_check();
    settings_hooks.lists_build();
    if (track_count <= 0 && !scan_tracks()) {
        fputs("No tracks found\n", stderr);
        close_window(window);
        video_modes_free();
        settings_shutdown();
        free_track_list();
        shutdown_tail();
        return 1;
    }
    demo_list_build(verbose_level);
    series_read_all(bounds.series);
    select_track(to_load);

    if (!audio_start(audio, window))
        return shutdown_run(shutdown_from::closing_audio, window, 1);
    const int shown = first_frame(window);
    if (shown <= 0) {
        // A window closed before it could be drawn is a quit; a failed present is not.
        return shutdown_run(shutdown_from::closing_audio, window, shown < 0 ? 0 : 1);
    }
    input_prepare(window);
    physics_world_init();

    int replay = 0;
    if (options.demo_file) {
        snprintf(demo_settings.chosen, sizeof demo_settings.chosen, "%s",
                 os_from_working_folder(*options.demo_file).c_str());
        if (demo_playback_open()) {
            replay = 1;
            if (const char* track = demo_playback_track())
                to_load = track;
            demo_playback_close();
        }
    }
    race_rider_table_init();
    for (int32_t& kind : race.kinds)
        kind = rider_kind_remote;
    running_order.count = 0;
    std::fill(std::begin(start_lineup), std::end(start_lineup), 0);
    if (!options.demo_file)
        start_lineup[0] = 2;
    if (!to_load.empty()) {
        race_requested_folder = intern_string(to_load.c_str());
        race.force_reload = 1;
        // Practice alone: no lineup, the local rider in slot 0.
        reset_race(options.practice ? nullptr : start_lineup, replay, 0, 0, 1000, game_settings.skill);
        demo_settings.chosen[0] = 0;
    }

    menu_screen = options.connect ? -1 : int32_t(screen_main_menu);
    menu_item = 0;
    loop = main_loop_state{};
    loop.last_event_screen = menu_screen;
    if (options.chase_center)
        for (int k = 0; k < 3; ++k)
            loop.chase_target[k] = (*options.chase_center)[k];
    if (!options.connect && options.lock_fps && *options.lock_fps > 0)
        loop.lock_period = 1.0 / *options.lock_fps;
    if (!loop_io.clock.now)
        loop_io.clock = program_clock();
    if (!loop_io.events.next)
        loop_io.events = window_events(window);
    loop.frame_start = loop_io.clock.now(loop_io.clock.context);
    run_clock = 0;

    const int status = main_loop_run();
    return shutdown_run(shutdown_from::everything, window, status);
}
