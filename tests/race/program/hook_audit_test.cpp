// The program as main() starts it, on the sample track and on a missing one: every
// entry point through which a lower library calls up is what start-up installed, not
// the stand-in its table was built with. Then, in the same run, what some of those
// entries show: the message lines retire, pausing shows the "Paused" banner.
#include <gtest/gtest.h>

#include "app/program_install.h"
#include "editor/editor_view.h"
#include "foundation/front_door.h"
#include "frontend/menu.h"
#include "frontend/message_line.h"
#include "frontend/progress_screen.h"
#include "gfx/fonts.h"
#include "platform/qorl_window.h"
#include "platform/x11_native.h"
#include "race/demo/demo.h"
#include "race/game_tick.h"
#include "race/net/net_channel.h"
#include "race/net/net_client.h"
#include "race/program/main_loop.h"
#include "race/program/program_hooks.h"
#include "race/program/program_window.h"
#include "race/program/settings_hooks.h"
#include "race/program/startup.h"
#include "race/program/world_view.h"
#include "race/race_hooks.h"
#include "race/race_results.h"
#include "race/race_riders.h"
#include "race/statue_grid.h"
#include "race/track_load.h"
#include "sim/autopilot_race.h"
#include "sim/gate_times.h"
#include "sim/rider_access.h"
#include "support/fake_input.h"
#include "support/fresh_process.h"
#include "support/test_support.h"
#include "support/xvfb_server.h"
#include "terrain/statues.h"
#include "terrain/timing_gates.h"
#include "view/engine_sound.h"
#include "view/lens_flare.h"
#include "view/script_frame.h"
#include "view/script_sounds.h"
#include "view/trackside_view.h"

#include <X11/Xlib.h>

#include <cstddef>
#include <cstring>
#include <deque>
#include <map>
#include <string>
#include <vector>

namespace {

using entry = void (*)();

// The slot of a field in a table of entry points.
#define SLOT(type, field) (offsetof(type, field) / sizeof(entry))

// One table of entry points (or one lone entry point) as it stood before start-up.
struct Table {
    std::string name;
    const unsigned char* at;
    size_t slots;
    std::vector<entry> before;
    // Slots that keep what the table was built with: the owning library's own
    // function, set where the table is defined.
    std::map<size_t, std::string> built_real;
    // Slots the program leaves as they were on purpose, each with its reason.
    std::map<size_t, std::string> left_empty;

    entry now(size_t k) const
    {
        entry e;
        memcpy(&e, at + k * sizeof(entry), sizeof e);
        return e;
    }
    Table& real(size_t k, std::string why)
    {
        built_real[k] = std::move(why);
        return *this;
    }
    Table& all_real(std::string why)
    {
        for (size_t k = 0; k < slots; ++k)
            built_real[k] = why;
        return *this;
    }
    Table& empty(size_t k, std::string why)
    {
        left_empty[k] = std::move(why);
        return *this;
    }
};

std::deque<Table> tables;   // references stay good as tables are added

template <class T>
Table& audit(const char* name, T& table)
{
    static_assert(sizeof(T) % sizeof(entry) == 0, "a table of entry points only");
    Table t{name, reinterpret_cast<const unsigned char*>(&table), sizeof(T) / sizeof(entry), {}, {}, {}};
    for (size_t k = 0; k < t.slots; ++k)
        t.before.push_back(t.now(k));
    tables.push_back(std::move(t));
    return tables.back();
}

// Every table and lone entry point of the libraries below the program, taken before
// anything is installed. A slot of a table is named by its position in the struct.
void take_tables()
{
    tables.clear();
    audit("program_hooks", program_hooks)
        .real(SLOT(program_hooks_table, game_tick), "the race core's game tick")
        .real(SLOT(program_hooks_table, net_step), "the race core's network client")
        .real(SLOT(program_hooks_table, net_server_tick), "the race core's network client")
        .real(SLOT(program_hooks_table, net_send_disconnect), "the race core's network client")
        .real(SLOT(program_hooks_table, net_reset), "the race core's network client")
        .real(SLOT(program_hooks_table, net_cleanup), "the race core's network client");
    Table& race = audit("race_hooks", race_hooks);
    for (size_t k = SLOT(race_hooks_table, demo_playback_open); k <= SLOT(race_hooks_table, demo_rider); ++k)
        race.real(k, "the race core's demos");
    race.real(SLOT(race_hooks_table, demo_record_event), "the race core's demos");
    race.empty(SLOT(race_hooks_table, rider_histories_clear),
               "riders_clear has emptied every state history before the riders stand: offline at track "
               "reset, online when the server starts the race");
    audit("settings_hooks", settings_hooks);
    audit("game_tick_hooks", game_tick_hooks);
    audit("menu_seams", menu_seams)
        .real(SLOT(menu_calls, reset_race), "the race core's track reset")
        .real(SLOT(menu_calls, set_video_mode), "the front end's own")
        .real(SLOT(menu_calls, console_execute), "the front end's own")
        .real(SLOT(menu_calls, setup_change_guard), "the front end's own");
    audit("front_door", front_door);
    audit("camera_views", camera_views);
    audit("render_world_entry", render_world_entry);
    audit("gate_timing_hooks", gate_timing_hooks);
    audit("gate_learning_hooks", gate_learning_hooks);
    audit("autopilot_race", autopilot_race);
    audit("rider_hidden_hook", rider_hidden_hook);
    audit("timing_gates_alloc_line_tables", timing_gates_alloc_line_tables);
    audit("timing_gates_free_line_tables", timing_gates_free_line_tables);
    audit("track_loaders", track_loaders)
        .real(SLOT(track_object_loaders, texture_load), "the graphics engine's own")
        .real(SLOT(track_object_loaders, model_get), "the graphics engine's own");
    audit("engine_sound_presence", engine_sound_presence);
    audit("trackside_running_order", trackside_running_order);
    audit("script_frame_hook", script_frame_hook);
    audit("script_sound_time_up", script_sound_time_up);
    // Seams that tests replace; the program keeps the real function they start with.
    audit("demo_rider_seam", demo_rider_seam).all_real("the race core's riders");
    audit("demo_later_hooks", demo_later_hooks).all_real("the race core's own");
    audit("statue_contacts", statue_contacts).all_real("the rider simulation's contacts");
    audit("results_riders", results_riders).all_real("the race core's rider slots");
    audit("flare_reader", flare_reader).all_real("the frame buffer");
    audit("engine_view", engine_view).all_real("the rider slots");
    audit("net_track_reset", net_track_reset).all_real("the race core's track reset");
    audit("net_message_handler", net_message_handler).all_real("the race core's message handler");
    audit("net_calendar_seconds", net_calendar_seconds).all_real("the system clock");
    audit("results_calendar_time", results_calendar_time).all_real("the system clock");
    audit("track_terrain_loader", track_terrain_loader).all_real("the terrain library's loader");
    audit("race_bike_touches_ground", race_bike_touches_ground).all_real("the rider simulation's contacts");
    audit("editor_terrain_draw", editor_terrain_draw).all_real("the terrain library's drawing");
    // Left empty on purpose.
    audit("progress_frame_observer", progress_frame_observer)
        .empty(0, "a test's window onto the progress screen's frames");
    audit("editor_text_observer", editor_text_observer).empty(0, "a test's window onto the editor's panel texts");
    audit("text_capture", text_capture).empty(0, "a test's record of the texts drawn");
    audit("loop_io.frame_observer", loop_io.frame_observer).empty(0, "a test's hold on the main loop's frames");
}

std::string check_tables()
{
    std::string found;
    for (const Table& t : tables)
        for (size_t k = 0; k < t.slots; ++k) {
            const std::string name =
                t.name + (t.slots > 1 ? " entry " + std::to_string(k) + " (from 0, in the order of its struct)" : "");
            const entry now = t.now(k);
            if (t.left_empty.count(k)) {
                if (now != t.before[k])
                    found += name + " is listed as left empty (" + t.left_empty.at(k) + ") but was installed\n";
            } else if (!now) {
                found += name + " is empty\n";
            } else if (now == t.before[k] && !t.built_real.count(k)) {
                found += name + " is still its stand-in\n";
            }
        }
    return found;
}

struct Run {
    Display* display = nullptr;
    int frame = 0;
    std::string stand_ins;
    int shown_first = -1;       // message lines shown on the first frame
    bool retired = false;
    bool paused_banner = false;
    bool banner_before_pause = false;
    int view_mode = -1;         // on the first frame
    bool load_failure_shown = false;
    std::vector<std::string> texts;
};
Run run;

void capture(const char* text, const float*, const float*)
{
    run.texts.push_back(text);
}

bool drawn(const char* text)
{
    for (const std::string& t : run.texts)
        if (t == text)
            return true;
    return false;
}

void observe()
{
    ++run.frame;
    if (run.frame == 1) {
        loop_io.frame_observer = nullptr;   // listed as left empty: looked at as the program leaves it
        run.stand_ins = check_tables();
        loop_io.frame_observer = observe;
        run.shown_first = message_log.shown;
        run.view_mode = loop.view_mode;
        text_capture = capture;
        return;
    }
    for (const std::string& t : run.texts)
        run.load_failure_shown = run.load_failure_shown || t.rfind("Can't load track", 0) == 0;
    if (!run.retired && message_log.shown < run.shown_first) {
        run.retired = true;
        run.banner_before_pause = drawn("Paused");
        loop.paused = 1;
        run.texts.clear();
        return;
    }
    if (loop.paused && run.retired) {
        run.paused_banner = drawn("Paused");
        text_capture = nullptr;
        bvtest::send_close(run.display, loop_io.window->native->handle);
        return;
    }
    run.texts.clear();
    if (run.frame > 2000)
        bvtest::send_close(run.display, loop_io.window->native->handle);
}

// The program started on the track, as main() starts it.
std::string start_once(const std::string& home, const char* track)
{
    setenv("XDG_DATA_HOME", (home + "/xdg").c_str(), 1);
    setenv("HOME", home.c_str(), 1);
    setenv("BV_HOME", BV_BUILD_DIR "/game", 1);
    unsetenv("QORL_OPTIONS");
    run.display = bvtest::open_test_display();
    if (!run.display)
        return "no test display";
    take_tables();
    program_install();
    loop_io.frame_observer = observe;
    const char* argv[] = {"brovanta", "--track", track, nullptr};
    const int status = brovanta_main(3, const_cast<char**>(argv));
    bvtest::Problems p;
    p.check(status == 0, "the entry routine returns 0, got " + std::to_string(status));
    p.check(run.frame > 0, "no frame was drawn");
    p.check(run.stand_ins.empty(), "after start-up:\n" + run.stand_ins);
    p.check(run.shown_first > 0, "start-up showed no message line");
    p.check(run.retired, "the message lines never retired");
    p.check(!run.banner_before_pause, "\"Paused\" was drawn before the pause");
    p.check(run.paused_banner, "pausing drew no \"Paused\" banner");
    const bool loaded = strcmp(track, "tracks/sample") == 0;
    p.check((run.view_mode == view_title) != loaded, "the first frame's view mode is " + std::to_string(run.view_mode));
    p.check(run.load_failure_shown != loaded, "the title screen's load failure shown: " +
                                                  std::to_string(run.load_failure_shown));
    XCloseDisplay(run.display);
    return p.text;
}

}  // namespace

// A user folder named to the re-executed copy of this program, with a small window.
std::string audit_home(const bvtest::TempDir& temp)
{
    const char* given = getenv("BV_AUDIT_HOME");
    const std::string home = given ? given : temp.path();
    setenv("QORL_LOGFILE", (home + "/xdg/Brovanta/lastlog.txt").c_str(), 1);
    if (!given) {
        setenv("BV_AUDIT_HOME", home.c_str(), 1);
        bvtest::write_file(home + "/xdg/Brovanta/config", "video_mode=Windowed\nxres=320\nyres=240\n");
    }
    return home;
}

void audit_done()
{
    unsetenv("BV_AUDIT_HOME");
    unsetenv("QORL_LOGFILE");
}

TEST(ProgramStart, EveryEntryPointIsInstalledAndTheirWorkShows)
{
    bvtest::XvfbServer server;
    BV_REQUIRE_XVFB(server);
    bvtest::TempDir temp;
    const std::string home = audit_home(temp);
    bvtest::in_fresh_process([&] { return start_once(home, "tracks/sample"); });
    audit_done();
}

// Without a track the title screen says why, and the message lines over it retire too.
TEST(ProgramStart, OnTheTitleScreenOfAMissingTrackTheLinesRetire)
{
    bvtest::XvfbServer server;
    BV_REQUIRE_XVFB(server);
    bvtest::TempDir temp;
    const std::string home = audit_home(temp);
    bvtest::in_fresh_process([&] { return start_once(home, "tracks/missing"); });
    audit_done();
}
