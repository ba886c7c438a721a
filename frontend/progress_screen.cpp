#include "frontend/progress_screen.h"

#include "foundation/front_door.h"
#include "frontend/title_screen.h"
#include "frontend/ui_widgets.h"
#include "gfx/gl_layer.h"
#include "gfx/gl_state.h"
#include "gfx/shaders.h"
#include "platform/qorl_events.h"
#include "platform/qorl_gl.h"
#include "platform/qorl_log.h"
#include "race/program/controls.h"
#include "race/program/projection.h"
#include "race/race_state.h"
#include "race/program/startup.h"

#include <cmath>
#include <cstdio>
#include <cstring>

void (*progress_frame_observer)(const char* message) = nullptr;
double progress_fov = 110;

namespace {

constexpr double dots_period = 0.125;
constexpr double spinner_period = 0.0625;

struct progress_state {
    char current[80];          // the message on screen, cut to 79
    double current_since;
    bool shown_any;            // no message has been on screen yet
    int dots;
    bool dotted;               // a dotted redraw happened
    double last_dotted;
    bool spun;                 // a spinner frame time was taken
    double last_spin;
    bool spinner_seen;         // the spinner has been drawn once
    double spinner_first;
};

progress_state state{};

double now_seconds()
{
    int32_t seconds = 0, microseconds = 0;
    qorl_time(&seconds, &microseconds);
    return seconds + microseconds * 0.000001;
}

// Every pending event is dropped, except that a close request goes back in for the
// main loop: closing the window during a load still quits.
void drain_events(qorl_window* window)
{
    uint32_t code = 0;
    int pressed = 0;
    bool close = false;
    while (qorl_next_event(window, &code, &pressed))
        close = close || (code == QORL_CLOSE && pressed);
    if (close)
        qorl_input_push_now(&window->input, QORL_CLOSE, 1);
}

// Opens a frame projected over the whole window; null when it cannot be drawn.
qorl_frame* begin_progress_frame(qorl_window* window)
{
    qorl_frame* frame = qorl_begin_frame(window);
    if (frame)
        set_projection(frame->width, frame->height, float(progress_fov));
    return frame;
}

void end_progress_frame(qorl_window* window, const char* message)
{
    if (progress_frame_observer)
        progress_frame_observer(message);
    bvglFlush();
    qorl_end_frame(window);
}

void note_message(const char* message)
{
    const double now = now_seconds();
    const double d = now - state.current_since;
    if (state.shown_any && d > race.max_loading_delay) {
        race.max_loading_delay = d;
        snprintf(race.max_loading_message, sizeof race.max_loading_message, "%s", state.current);
    }
    snprintf(state.current, sizeof state.current, "%.79s", message);
    state.current_since = now;
    state.shown_any = true;
}

void square(float x, float half, float r, float g, float b, float a)
{
    ui_fill_rect(r, g, b, a, x - half, half, x + half, -half);
}

void spinner_frame(uint32_t n, double now)
{
    const float w = projection_half_width, h = projection_half_height;
    gl_use_shader(shader_unlit);
    bvglLoadIdentity();
    bvglDisable(GL_DEPTH_TEST);
    bvglPushMatrix();
    bvglTranslatef(0, 0, -1);
    ui_fill_rect(0.25f, 0.25f, 0.25f, 1, -w, h, w, -h);
    bvglDisable(GL_BLEND);
    bvglBindTexture(GL_TEXTURE_2D, gl_state.gl_white_texture);
    bvglBegin(GL_TRIANGLE_FAN);
    imm_color[0] = imm_color[1] = imm_color[2] = 0.5f;
    imm_color[3] = 1;
    bvglVertex2f(0, 0);
    imm_color[0] = imm_color[1] = imm_color[2] = 0.25f;
    // The rim runs counter-clockwise so that back-face culling keeps the disc.
    for (int i = 16; i >= 0; --i) {
        const double a = i * M_PI / 8;
        bvglVertex2f(float(2 * h * std::sin(a)), float(2 * h * std::cos(a)));
    }
    bvglEnd();

    if (!state.spinner_seen) {
        state.spinner_seen = true;
        state.spinner_first = now;
    } else {
        double o = ((now - state.spinner_first) - 0.25) * 4;
        o = o < 0 ? 0 : o > 1 ? 1 : o;
        const float shadow = float(0.1 * o);
        const int p = int((now / 2 - std::floor(now / 2)) * 64);
        for (int j = 0; j < 32; ++j) {
            const float x = h - j * h / 16;
            const bool big = ((p + j) >> 5) & 1;
            const float S = big ? 0.0234375f * h : 0.017578125f * h;
            const float T = big ? 0.017578125f * h : 0.013183594f * h;
            const float grey = (n >> j) & 1 ? 0.875f : 0.75f;
            square(x, S, 0, 0, 0, shadow);
            square(x, T, grey, grey, grey, float(o));
        }
    }
    bvglPopMatrix();
}

}  // namespace

void progress_screen_show(const char* message)
{
    for (control_entry& entry : control_list)
        entry.value = 0;
    menu_cursor_held = 0;
    qorl_window* window = program_window;
    if (!window)
        return;
    drain_events(window);
    if (!begin_progress_frame(window))
        return;
    title_screen_draw(message);
    end_progress_frame(window, message);
    note_message(message);
}

void progress_log(const char* message)
{
    progress_screen_show(message);
    if (*message)
        qorl_log("%s\n", message);
}

void progress_screen_log_reset(const char* message)
{
    progress_log(message);
    state.dots = 0;
}

void progress_screen_dots(const char* message)
{
    const double now = now_seconds();
    if (state.dotted && now - state.last_dotted < dots_period)
        return;
    state.dotted = true;
    state.last_dotted = now;
    state.dots = (state.dots + 1) % 4;
    static const char* const dots[4] = {"", ".", "..", "..."};
    char text[80];
    snprintf(text, sizeof text, "%.64s%s", message, dots[state.dots]);
    progress_screen_show(text);
}

void progress_screen_done(const char* message)
{
    char text[80];
    snprintf(text, sizeof text, "%.64s...done", message);
    progress_screen_show(text);
}

void progress_screen_spinner()
{
    qorl_window* window = program_window;
    if (!window)
        return;
    drain_events(window);
    const double now = now_seconds();
    if (state.spun && now - state.last_spin < spinner_period)
        return;
    state.spun = true;
    state.last_spin = now;
    if (!begin_progress_frame(window))
        return;
    spinner_frame(loading_spinner_calls(), now);
    end_progress_frame(window, nullptr);
}

const char* progress_current_message()
{
    return state.current;
}

void progress_screen_reset_state()
{
    state = progress_state{};
}
