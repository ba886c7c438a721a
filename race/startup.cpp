#include "race/startup.h"

#include "foundation/data_paths.h"
#include "foundation/file_index.h"
#include "foundation/intern.h"
#include "foundation/memory.h"
#include "foundation/front_door.h"
#include "gfx/gl_layer.h"
#include "gfx/gl_startup.h"
#include "gfx/gl_state.h"
#include "gfx/shaders.h"
#include "platform/qorl_events.h"
#include "platform/qorl_gl.h"
#include "platform/qorl_log.h"
#include "race/audio_start.h"
#include "race/base_digest.h"
#include "race/bike_setup.h"
#include "race/bindings.h"
#include "race/command_line.h"
#include "race/hud_pictures.h"
#include "race/net_client.h"
#include "race/out_of_memory_stop.h"
#include "race/race_hooks.h"
#include "race/race_rules.h"
#include "race/rider_history.h"
#include "race/settings_hooks.h"
#include "race/settings_values.h"
#include "race/detail_presets.h"
#include "sim/rider_slot.h"
#include "sim/stock_shapes.h"

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

// Until the main loop arrives: the window's size when it is not fullscreen unless
// "--width" and "--height" say otherwise, and the colour and depth bits that
// "--depth" and "--zdepth" default to.
constexpr int windowed_width = 640;
constexpr int windowed_height = 480;
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
// frame cannot be shown, or the window is closed before it ever could be.
int first_frame(qorl_window* window)
{
    while (!qorl_begin_frame(window)) {
        uint32_t code = 0;
        int pressed = 0;
        while (qorl_next_event(window, &code, &pressed))
            if (code == QORL_CLOSE)
                return 0;
        qorl_sleep(0, redraw_period_us);
    }
    graphics_defaults_load();
    bvglFlush();
    return qorl_end_frame(window);
}

// Shows the window until it is closed: a cleared frame every redraw period, every
// event taken, and the close box ends it.
void wait_for_close(qorl_window* window)
{
    bvglClearColor(0.196078f, 0.6f, 0.8f, 0.0f);
    for (;;) {
        uint32_t code = 0;
        int pressed = 0;
        while (qorl_next_event(window, &code, &pressed)) {
            if (code == QORL_CLOSE)
                return;
        }
        if (qorl_frame* frame = qorl_begin_frame(window)) {
            bvglViewport(0, 0, frame->width, frame->height);
            bvglClear(GL_COLOR_BUFFER_BIT);
            qorl_end_frame(window);
        }
        qorl_sleep(0, redraw_period_us);
    }
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

}  // namespace

qorl_window* program_window = nullptr;

int32_t start_lineup[160];

int brovanta_main(int argc, char** argv)
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
    history_clear_all();
    net_client_install();
    race_rules_install();
    race_hooks.bike_apply_setup = [](int32_t slot) {
        if (slot >= 0 && slot < kRiderSlots)
            bike_apply_setup(&rider_slots[slot]);
    };
    // The kept settings: the static values, the "Compatibility" preset, the default
    // setup, then "@config" over them; the watch is armed on what was read.
    detail_preset_apply(0);
    bindings_set_defaults();
    stability_derive(int32_t(setup.stability));
    settings_hooks.read();
    setup_watch_arm();
    settings_hooks.derive();

    const command_line_result parsed = parse_command_line(argc, argv);
    for (const std::string& line : parsed.lines)
        fputs(line.c_str(), stderr);
    // Ending on the command line changes no setting: "@config" stays as it was read.
    if (parsed.outcome == command_line_outcome::fail) {
        settings_hooks.lists_free();
        shutdown_tail();
        return 1;
    }
    if (parsed.outcome == command_line_outcome::open_home) {
        open_user_folder();
        settings_hooks.lists_free();
        shutdown_tail();
        return 0;
    }
    command_line_options = parsed.settings;
    const command_line& options = command_line_options;
    command_line_apply(options);
    const gl_version_choice version = options.glversion.value_or(gl_version_choice{});
    audio_request audio;
    audio.nosound = options.nosound;
    audio.record_path = options.record_audio ? options.record_audio->c_str() : nullptr;

    qorl_gl_request_version(version.major, version.minor, version.profile);
    qorl_window* window = qorl_gl_open("Brovanta", options.width.value_or(windowed_width),
                                       options.height.value_or(windowed_height),
                                       options.depth.value_or(colour_bits), 0,
                                       options.zdepth.value_or(depth_bits), 0, 0);
    if (!window) {
        settings_shutdown();
        shutdown_tail();
        return 1;
    }
    out_of_memory_watch(window);
    program_window = window;
    if (!start_gl(window)) {
        qorl_log("OpenGL version too old\n");
        close_window(window);
        settings_shutdown();
        shutdown_tail();
        return 1;  // the program cannot draw on this context: a failed start
    }
    if (!gl_create_shaders()) {
        fputs("Can't initialize shaders\n", stderr);
        close_window(window);
        settings_shutdown();
        shutdown_tail();
        return 1;
    }
    // The data-file index: archive entries such as the bundled fonts are found through it.
    loading_spinner();
    file_index_list();
    // The stock collision shapes must be the shipped ones before a server is joined.
    stock_shapes_check();
    settings_hooks.lists_build();

    if (!audio_start(audio, window)) {
        close_window(window);
        settings_shutdown();
        shutdown_tail();
        return 1;
    }
    if (first_frame(window))
        wait_for_close(window);

    audio_stop();
    graphics_free();
    settings_shutdown();
    close_window(window);
    shutdown_tail();
    return 0;
}
