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
#include "race/glversion_option.h"
#include "race/hud_pictures.h"
#include "race/out_of_memory_stop.h"

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

// Only the options start-up acts on so far: "--nosound", "--record-audio <file>" or
// "--record-audio=<file>", and "--open-home" among other arguments, which ends the
// options there. A recording file is never an argument that begins with "--": that is
// the next option, given after a forgotten file name. "--glversion" takes its value
// here as glversion_from_arguments does, so that both read the same options.
struct early_options {
    audio_request audio;
    int open_home_at = 0;  // the argument index of "--open-home", 0 when not given
};

early_options read_early_options(int argc, char** argv)
{
    constexpr char record[] = "--record-audio";
    constexpr size_t record_length = sizeof record - 1;
    early_options options;
    audio_request& request = options.audio;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (strcmp(arg, "--") == 0)
            break;
        if (strcmp(arg, "--nosound") == 0) {
            request.nosound = true;
        } else if (strcmp(arg, record) == 0) {
            if (i + 1 < argc && strncmp(argv[i + 1], "--", 2) != 0)
                request.record_path = argv[++i];
        } else if (strncmp(arg, record, record_length) == 0 && arg[record_length] == '=') {
            request.record_path = arg + record_length + 1;
        } else if (strcmp(arg, "--glversion") == 0) {
            ++i;
        } else if (strcmp(arg, "--open-home") == 0) {
            options.open_home_at = i;
            break;
        }
    }
    return options;
}

// Until the main loop arrives: the window's size when it is not fullscreen, and the
// colour and depth bits that "--depth" and "--zdepth" default to.
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
    out_of_memory_watch(nullptr);
    qorl_gl_close(window);
}

void shutdown_tail()
{
    vfs_shutdown();
    intern_free_all();
    qorl_log(nullptr);
    mem_report_leaks();
}

}  // namespace

int brovanta_main(int argc, char** argv)
{
    runtime_setup();
    install_out_of_memory_stop();

    if (argc == 2 && strcmp(argv[1], "--open-home") == 0) {
        open_user_folder();
        return 0;
    }

    file_index_set_spinner(loading_spinner);
    set_base_archive_digest(base_archive_digest);
    if (!startup_check_data()) {
        qorl_message_box("Problem starting Brovanta", "Can't find game data\n");
        // A start that cannot find its data has failed: say so in the exit status.
        shutdown_tail();
        return 1;
    }
    qorl_log("Brovanta version %s\n", build_string);
    early_options options = read_early_options(argc, argv);
    const audio_request& audio = options.audio;
    gl_version_choice version;
    const char* message = nullptr;
    // Options after "--open-home" are never read: it ends the run before them.
    if (!glversion_from_arguments(options.open_home_at ? options.open_home_at : argc, argv, &version,
                                  &message)) {
        fputs(message, stderr);
        shutdown_tail();
        return 1;
    }
    if (options.open_home_at) {
        open_user_folder();
        shutdown_tail();
        return 0;
    }

    qorl_gl_request_version(version.major, version.minor, version.profile);
    qorl_window* window = qorl_gl_open("Brovanta", windowed_width, windowed_height, colour_bits,
                                       0, depth_bits, 0, 0);
    if (!window) {
        shutdown_tail();
        return 1;
    }
    out_of_memory_watch(window);
    if (!start_gl(window)) {
        qorl_log("OpenGL version too old\n");
        close_window(window);
        shutdown_tail();
        return 1;  // the program cannot draw on this context: a failed start
    }
    if (!gl_create_shaders()) {
        fputs("Can't initialize shaders\n", stderr);
        close_window(window);
        shutdown_tail();
        return 1;
    }
    // The data-file index: archive entries such as the bundled fonts are found through it.
    loading_spinner();
    file_index_list();

    if (!audio_start(audio, window)) {
        close_window(window);
        shutdown_tail();
        return 1;
    }
    if (first_frame(window))
        wait_for_close(window);

    audio_stop();
    graphics_free();
    close_window(window);
    shutdown_tail();
    return 0;
}
