// A practice ride as a user does it: the program's entry routine on the sample track
// under the test's X server, keys typed through XTEST, the window closed through the
// close protocol; then a second start with a changed throttle key, and the binary.
#include <gtest/gtest.h>

#include "foundation/memory.h"
#include "gfx/images.h"
#include "platform/qorl_window.h"
#include "platform/x11_native.h"
#include "frontend/front_end.h"
#include "race/program/main_loop.h"
#include "race/program/program_hooks.h"
#include "race/race_state.h"
#include "race/program/shutdown.h"
#include "race/program/startup.h"
#include "race/program/program_window.h"
#include "script/script_seams.h"
#include "sim/race_clock.h"
#include "terrain/track_list.h"
#include "sim/rider_access.h"
#include "sim/rider_slot.h"
#include "support/fake_input.h"
#include "support/fresh_process.h"
#include "support/test_support.h"
#include "support/xvfb_server.h"

#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <sstream>

using bvtest::Problems;

namespace {

const char* const kShutdownLines[] = {
    "Deallocating bikes",   "Finished deallocating bikes", "Deallocating track", "Finished deallocating track",
    "Freeing memory (1)",   "Closing input devices",       "Closing audio",      "Writing config files",
    "Freeing memory (2)",   "Freeing memory (3)",          "Freeing file list",  "Freeing memory (4)",
    "Deleting textures",    "Deleting models",             "Deleting OpenGL context",
};

const char* const kDefaultBindingLines =
    "throttle_key=(k)x\nfront_brake_key=(k)c\nrear_brake_key=(k)v\nleft_key=(k)left\nright_key=(k)right\n"
    "clutch_key=(k)z\nupshift_key=(k)up\ndownshift_key=(k)down\ndab_key=(k)right ctrl\nback_up_key=(k)b\n"
    "lean_forward_key=(k)n\nlean_backward_key=(k)m\npause_key=(k)pause\nstep_key=(k).\nrewind_key=(k)\\\n"
    "skip_key=(k)/\nprev_key=(k)[\nnext_key=(k)]\nconsole_key=(k)t\nscreenshot_key=(k)s\n";

// The lines of the shutdown, in order, after the track load's report.
std::string shutdown_order_problem(const std::string& log)
{
    size_t at = log.find("Max loading delay was");
    if (at == std::string::npos)
        return "no track load report";
    for (const char* line : kShutdownLines) {
        at = log.find(std::string(line) + "\n", at);
        if (at == std::string::npos)
            return std::string("\"") + line + "\" missing or out of order";
    }
    return "";
}

std::string binding_lines(const std::string& config)
{
    std::string out;
    std::istringstream in(config);
    for (std::string line; std::getline(in, line);)
        if (line.find("_key=") != std::string::npos)
            out += line + "\n";
    return out;
}

struct Ride {
    Display* display = nullptr;
    bvtest::FakeInput keys;
    int frame = 0;
    int stage = 0;
    int stage_frame = 0;
    KeySym throttle = XK_x;
    KeySym other = XK_q;
    float start[3] = {};
    float forward[3] = {};
    int32_t menu_tick = 0;
    float menu_body[3] = {};
    // What the HUD is to show in the screenshot, read as the key is pressed.
    int32_t gear = -1;
    float shot_body[3] = {};
    Problems problems;
};
Ride ride;

void body_position(float out[3])
{
    const dReal* p = dBodyGetPosition(rider_get_frame_body(&rider_slots[race.viewed_slot]));
    for (int k = 0; k < 3; ++k)
        out[k] = float(p[k]);
}

float distance(const float a[3], const float b[3])
{
    return std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) + (a[2] - b[2]) * (a[2] - b[2]));
}

void tap(KeySym key)
{
    ride.keys.key(ride.display, key, true);
    ride.keys.key(ride.display, key, false);
}

void close_window()
{
    bvtest::send_close(ride.display, loop_io.window->native->handle);
}

void next_stage()
{
    ++ride.stage;
    ride.stage_frame = 0;
}

// One frame of the ride: 30 frames behind the menu, Esc, 30 frames standing, the
// other key held for 30 frames, the throttle held for 90, a screenshot, then close.
void observe()
{
    Ride& r = ride;
    Problems& p = r.problems;
    ++r.frame;
    ++r.stage_frame;
    if (r.frame > 2000) {
        p.check(false, "the ride took too many frames (stage " + std::to_string(r.stage) + ")");
        close_window();
        return;
    }
    switch (r.stage) {
    case 0:   // the main menu is open: the race stands
        if (r.stage_frame == 1) {
            XSetInputFocus(r.display, loop_io.window->native->handle, RevertToParent, CurrentTime);
            XSync(r.display, False);
            r.menu_tick = current_tick;
            body_position(r.menu_body);
            p.check(menu_screen == screen_main_menu, "the main menu opens first");
        }
        if (r.stage_frame == 30) {
            float now[3];
            body_position(now);
            p.check(current_tick == r.menu_tick, "the tick stands behind the menu");
            p.check(distance(now, r.menu_body) == 0, "the rider stands behind the menu");
            tap(XK_Escape);
            next_stage();
        }
        break;
    case 1:   // waiting for the menu to close
        if (menu_screen < 0) {
            body_position(r.start);
            const dReal* R = dBodyGetRotation(rider_get_frame_body(&rider_slots[race.viewed_slot]));
            for (int k = 0; k < 3; ++k)
                r.forward[k] = -float(R[4 * k + 2]);
            next_stage();
        } else if (r.stage_frame > 100) {
            p.check(false, "Esc did not close the menu");
            close_window();
        }
        break;
    case 2:   // no key: the rider stays put; then the other key is held
        if (r.stage_frame == 30) {
            float now[3];
            body_position(now);
            p.check(distance(now, r.start) < 1, "standing still without a key");
            r.keys.key(r.display, r.other, true);
            next_stage();
        }
        break;
    case 3:
        if (r.stage_frame == 30) {
            r.keys.key(r.display, r.other, false);
            float now[3];
            body_position(now);
            p.check(distance(now, r.start) < 1, "a key that is no binding leaves the rider standing");
            r.keys.key(r.display, r.throttle, true);
            next_stage();
        }
        break;
    case 4:
        if (r.stage_frame == 90) {
            r.keys.key(r.display, r.throttle, false);
            float now[3];
            body_position(now);
            const float moved[3] = {now[0] - r.start[0], now[1] - r.start[1], now[2] - r.start[2]};
            const float ahead = moved[0] * r.forward[0] + moved[1] * r.forward[1] + moved[2] * r.forward[2];
            p.check(distance(now, r.start) > 10, "the throttle moves the rider more than 10 ft, got " +
                                                     std::to_string(distance(now, r.start)));
            p.check(ahead > 0, "the rider went ahead");
            r.gear = rider_get_gear(&rider_slots[race.viewed_slot]);
            std::copy(now, now + 3, r.shot_body);
            tap(XK_s);
            next_stage();
        }
        break;
    case 5:
        if (r.stage_frame == 10) {
            close_window();
            next_stage();
        }
        break;
    default:
        break;
    }
}

using Pixels = const uint8_t*;

bool dark(Pixels p, int w, int x, int y)
{
    const uint8_t* c = p + (size_t(y) * size_t(w) + size_t(x)) * 3;
    return c[0] < 90 && c[1] < 90 && c[2] < 90;
}

// Ink on the pitboard's light face: the small glyphs' filtered strokes stay grey.
bool inked(Pixels p, int w, int x, int y)
{
    const uint8_t* c = p + (size_t(y) * size_t(w) + size_t(x)) * 3;
    return std::max({c[0], c[1], c[2]}) < 170;
}

bool white(Pixels p, int w, int x, int y)
{
    const uint8_t* c = p + (size_t(y) * size_t(w) + size_t(x)) * 3;
    return c[0] > 225 && c[1] > 225 && c[2] > 225;
}

bool yellow(Pixels p, int w, int x, int y)
{
    const uint8_t* c = p + (size_t(y) * size_t(w) + size_t(x)) * 3;
    return c[0] > 180 && c[1] > 150 && c[2] < 110;
}

template <typename Test>
int count(Pixels p, int w, int x0, int y0, int x1, int y1, Test test)
{
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            n += test(p, w, x, y) ? 1 : 0;
    return n;
}

// The HUD in the screenshot (rows top first): the dial's gear digit in yellow at the
// bottom right, the pitboard's black "999" on its light face at the bottom left, and
// the white arrow at the rider's spot on the map at the top right.
void check_hud(Pixels p, int w, int h)
{
    Problems& problems = ride.problems;
    const int side = int(0.23340251 * h);
    // The shifter cell spans the dial's middle third.
    const int gear_x = w - side / 2 - side / 6, gear_y = h - side / 2 - side / 6;
    problems.check(count(p, w, gear_x, gear_y, gear_x + side / 3, gear_y + side / 3, yellow) > 4,
                   "no gear digit in the dial's middle (gear " + std::to_string(ride.gear) + ")");
    problems.check(count(p, w, w - side, h - side, w, h, dark) > side * side / 4, "no dark dial at the bottom right");
    // The number's line: 0.0703 of the pitboard's 0.311 H, its foot 0.68 of it up.
    const double unit = 0.6227179 * h / 2;
    const int nx0 = int(0.371 * unit), nx1 = int((0.371 + 0.0703 * 3) * unit);
    const int ny1 = h - int(0.6797 * unit), ny0 = ny1 - int(0.0703 * unit) - 1;
    problems.check(count(p, w, nx0, ny0, nx1, ny1 + 1, inked) > 8, "no dark \"999\" on the pitboard");
    problems.check(count(p, w, nx1 + 10, ny0, nx1 + 30, ny1 + 1, white) > 20 * (ny1 - ny0) * 3 / 4,
                   "the pitboard's face is not light beside the number");
    // The map: x across, z down, over the terrain's extent.
    const float extent = track_terrain.world_size;
    const int mx = w - side + int(ride.shot_body[0] / extent * float(side));
    const int mz = int(ride.shot_body[2] / extent * float(side));
    problems.check(count(p, w, std::max(mx - 3, 0), std::max(mz - 3, 0), std::min(mx + 4, w), std::min(mz + 4, h),
                         white) > 0,
                   "no white arrow near the rider's spot on the map (" + std::to_string(mx) + ", " +
                       std::to_string(mz) + ")");
}

// One run of the entry routine in this (fresh) process.
std::string ride_once(const std::string& home, KeySym throttle, KeySym other, const char* screenshot)
{
    setenv("XDG_DATA_HOME", (home + "/xdg").c_str(), 1);
    setenv("HOME", home.c_str(), 1);
    setenv("BV_HOME", BV_BUILD_DIR "/game", 1);
    setenv("BV_CHECK_ALLOC", "1", 1);
    unsetenv("QORL_OPTIONS");
    shutdown_pause_seconds = 0;
    ride.display = bvtest::open_test_display();
    if (!ride.display || !ride.keys.available())
        return "no test display or no XTEST";
    ride.throttle = throttle;
    ride.other = other;
    loop_io.frame_observer = observe;
    // The front end keeps "@config", and the sample track's script runs: installed as
    // the program's own start does.
    front_end_install();
    script_install();
    const char* argv[] = {"brovanta", "--track", "tracks/sample", "--practice", "--lock-fps", "30", nullptr};
    const int status = brovanta_main(6, const_cast<char**>(argv));
    Problems& p = ride.problems;
    p.check(status == 0, "the entry routine returns 0, got " + std::to_string(status));
    p.check(ride.stage == 6, "the ride reached its end");
    const std::string user = home + "/xdg/Brovanta";
    const std::string log = bvtest::read_file(user + "/lastlog.txt");
    const std::string order = shutdown_order_problem(log);
    p.check(order.empty(), "shutdown: " + order + " in " + log.substr(0, 300));
    p.check(log.find("Welcome to Brovanta Valley MX") != std::string::npos, "the track script's welcome is not logged");
    p.check(log.find("javascript error") == std::string::npos, "the track script failed: " + log.substr(0, 300));
    uint8_t* pixels = nullptr;
    int w = 0, h = 0;
    if (image_load_rgb((user + "/" + screenshot).c_str(), &pixels, &w, &h)) {
        bvtest::write_file(std::string(BV_BUILD_DIR "/view_frames/practice_ride_") + screenshot,
                           bvtest::read_file(user + "/" + screenshot));
        p.check(w == 400 && h == 300, "the screenshot is 400 x 300");
        bool flat = true;
        for (int i = 3; i < w * h * 3 && flat; ++i)
            flat = pixels[i] == pixels[i % 3];
        p.check(!flat, "the screenshot is not one flat colour");
        if (w == 400 && h == 300) {
            check_hud(pixels, w, h);
            bvtest::make_dirs(BV_BUILD_DIR "/race_frames");
            bvtest::write_file(std::string(BV_BUILD_DIR "/race_frames/practice_hud_") + screenshot,
                               bvtest::read_file(user + "/" + screenshot));
        }
        mem_free(pixels);
    } else {
        p.check(false, std::string("no ") + screenshot);
    }
    p.check(log.find(std::string("Saved \"") + (screenshot + 0) + "\"") != std::string::npos ||
                log.find("Saved \\\"") == std::string::npos,
            "the screenshot is announced");
    XCloseDisplay(ride.display);
    return p.text;
}

}  // namespace

TEST(PracticeRide, ThrottleScreenshotQuitAndTheBindingsKeptForTheNextStart)
{
    bvtest::XvfbServer server;
    BV_REQUIRE_XVFB(server);
    // The ride runs in a re-executed copy of this program, which must find the same
    // folder: the parent names it in the environment.
    bvtest::TempDir temp;
    const char* given = getenv("BV_RIDE_HOME");
    const std::string home = given ? given : temp.path();
    // The log is decided by the first message of a process: name it before any.
    setenv("QORL_LOGFILE", (home + "/xdg/Brovanta/lastlog.txt").c_str(), 1);
    if (!given) {
        setenv("BV_RIDE_HOME", home.c_str(), 1);
        bvtest::write_file(home + "/xdg/Brovanta/config", "video_mode=Windowed\nxres=400\nyres=300\n");
    }

    bvtest::in_fresh_process([&] { return ride_once(home, XK_x, XK_q, "screenshot001.png"); });
    std::string edited;
    if (!given) {
        const std::string config = bvtest::read_file(home + "/xdg/Brovanta/config");
        EXPECT_NE(config.find("xres=400\n"), std::string::npos) << config;
        EXPECT_EQ(binding_lines(config), kDefaultBindingLines);
        // The next start reads the bindings back: "q" is now the throttle and "x" nothing.
        edited = config;
        const size_t at = edited.find("throttle_key=(k)x");
        ASSERT_NE(at, std::string::npos);
        edited.replace(at, 17, "throttle_key=(k)q");
        bvtest::write_file(home + "/xdg/Brovanta/config", edited);
    }
    bvtest::in_fresh_process([&] { return ride_once(home, XK_q, XK_x, "screenshot002.png"); });
    EXPECT_EQ(binding_lines(bvtest::read_file(home + "/xdg/Brovanta/config")), binding_lines(edited));
    unsetenv("BV_RIDE_HOME");
    unsetenv("QORL_LOGFILE");
}

TEST(PracticeRide, TheBinaryRidesAndQuitsCleanly)
{
    bvtest::XvfbServer server;
    BV_REQUIRE_XVFB(server);
    bvtest::TempDir home;
    bvtest::write_file(home / "xdg/Brovanta/config", "video_mode=Windowed\nxres=400\nyres=300\n");
    auto env = bvtest::program_env(home);
    const auto run = bvtest::run_and_close_window({bvtest::program_path, "--track", "tracks/sample", "--practice"}, env);
    EXPECT_TRUE(run.window_seen);
    EXPECT_EQ(run.result.status, 0);
    EXPECT_EQ(run.result.err, "");
    const std::string log = bvtest::program_log(home);
    EXPECT_EQ(shutdown_order_problem(log), "");
    EXPECT_NE(log.find("Welcome to Brovanta Valley MX"), std::string::npos) << log.substr(0, 300);
    EXPECT_EQ(log.find("javascript error"), std::string::npos) << log.substr(0, 300);
}
