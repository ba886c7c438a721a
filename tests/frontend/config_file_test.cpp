// "@config" through real files in a temporary user folder: the default file, round
// trips, the reader's edge cases, damaged and hand-edited files, and safe writing.
#include "settings_fixture.h"

#include "foundation/intern.h"
#include "frontend/message_line.h"
#include "frontend/setup_file.h"
#include "gfx/log_capture.h"
#include "gfx/texture_settings.h"
#include "race/program/bindings.h"
#include "race/program/settings_values.h"

#include <filesystem>

#include <sys/resource.h>
#include <sys/wait.h>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <unistd.h>

namespace
{

using namespace settings_test;

std::vector<std::string> expected_keys()
{
    std::vector<std::string> k = {"xres", "yres",  "draw_fps", "draw_time", "draw_ping", "draw_speed",
                                  "spy",  "track", "record",   "skill",     "minutes",   "laps"};
    char name[32];
    for (int i = 0; i < 40; ++i) {
        snprintf(name, sizeof name, "slot%02d", i);
        k.push_back(name);
    }
    for (const char* s : {"ghost_fade_distance",
                          "time_trial_abort", "bike", "name", "number", "rider_texture", "head_texture",
                          "bike_texture", "wheel_texture", "stability", "leveling", "roll_damping",
                          "roll_limit_angle", "roll_limit_factor", "steering_damping", "steering_strength",
                          "max_steering_force", "direct_steering", "slow_damping_speed", "slow_damping_factor",
                          "land_damping_rampup", "land_damping_falloff", "land_damping_factor", "full_lock_speed",
                          "restricted_lock_speed", "restricted_lock", "arcade", "front_brake", "rear_brake",
                          "stop_wheelies", "auto_shift", "auto_dab", "auto_align", "sticky_dab", "reverse_steering",
                          "lean_indicator", "auto_clutch_rpms", "brake_torque", "rear_brake_torque", "max_dab_speed",
                          "front_sprocket_adjustment", "rear_sprocket_adjustment", "fork_compression_adjustment",
                          "fork_slow_compression_adjustment", "fork_rebound_adjustment",
                          "fork_slow_rebound_adjustment", "fork_spring_rate_adjustment", "fork_preload_adjustment",
                          "fork_oil_level_adjustment", "shock_compression_adjustment",
                          "shock_slow_compression_adjustment", "shock_rebound_adjustment",
                          "shock_slow_rebound_adjustment", "shock_spring_rate_adjustment", "shock_preload_adjustment",
                          "rider_yspring", "rider_ydamping", "rider_zspring", "rider_zdamping",
                          "rider_mass_distribution", "video_mode",
                          "server_name"})
        k.push_back(s);
    for (int i = 0; i < 16; ++i) {
        snprintf(name, sizeof name, "server_name_hist%02d", i);
        k.push_back(name);
    }
    for (const char* s : {"ground_detail",
                          "ground_texture_detail", "ground_texture_dim", "ground_texture_dim_new", "ground_mipmaps",
                          "texture_compress", "render_texture", "use_shader", "roost_density", "reshade_delay",
                          "terrain_resync_rate", "lens_flare", "reflections", "hide_rider", "rigid_camera",
                          "model_detail", "model_texture_detail", "fov", "first_person_height", "first_person_angle",
                          "first_person_gimbal", "third_person_height", "third_person_distance", "volume",
                          "comp_volume", "playback_mode", "billboard_optimize_lookahead", "message_lines",
                          "demo_backups", "map_scale", "throttle_key", "front_brake_key", "rear_brake_key",
                          "left_key", "right_key", "clutch_key", "upshift_key", "downshift_key", "dab_key",
                          "back_up_key", "lean_forward_key", "lean_backward_key", "pause_key", "step_key",
                          "rewind_key", "skip_key", "prev_key", "next_key", "console_key",
                          "screenshot_key"})
        k.push_back(s);
    return k;
}

std::string written(const folders& f)
{
    config_write();
    return read_file(f.config());
}

TEST(ConfigFile, TheDefaultFileHasEveryKeyInItsOrder)
{
    in_fresh_settings([](Problems& p, const folders& f) {
        const std::string text = written(f);
        const std::vector<std::string> lines = lines_of(text);
        const std::vector<std::string> keys = expected_keys();
        p.check(lines.size() == 180 && keys.size() == 180, "180 lines: " + std::to_string(lines.size()));
        for (size_t i = 0; i < std::min(lines.size(), keys.size()); ++i)
            p.check(lines[i].rfind(keys[i] + "=", 0) == 0, "line " + std::to_string(i) + ": " + lines[i]);
        for (const char* line : {"xres=640",
                                 "minutes=0.000000", "laps=5.000000", "slot00=Empty", "slot17=Robot", "slot19=Human",
                                 "slot22=Robot", "slot23=Empty", "bike=yz250f(2017)", "name=Quinlo Dust",
                                 "number=999", "rider_texture=default", "stability=100.000000",
                                 "rider_mass_distribution=0.330000", "video_mode=Default Fullscreen",
                                 "server_name=localhost", "server_name_hist15=", "ground_texture_dim=128x128",
                                 "ground_texture_dim_new=1024x1024", "render_texture=Software", "texture_compress=No",
                                 "roost_density=1000.000000", "reshade_delay=0.000000", "ground_detail=70.000000",
                                 "message_lines=5", "map_scale=1.000000", "throttle_key=(k)x",
                                 "dab_key=(k)right ctrl", "rewind_key=(k)\\",
                                 "track=tracks/rabbithill"})
            p.check(has_line(text, line), std::string("missing ") + line);
        p.check(!lines.empty() && lines.back() == "screenshot_key=(k)s", "screenshot_key last");
    });
}

TEST(ConfigFile, WriteReadWriteIsByteIdentical)
{
    in_fresh_settings([](Problems& p, const folders& f) {
        const std::string first = written(f);
        defaults();
        tracks_listed();
        config_read();
        track_choice_build(game_settings.track);
        p.same(written(f), first, "second write");
    });
}

// Every kind of setting away from its default, written by one process and read by
// another.
// A forked copy of a process that has not touched its folders or settings yet starts
// as fresh as a new run.
std::string in_forked_run(const std::function<std::string()>& body)
{
    fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        const std::string problems = body();
        fputs(problems.c_str(), stderr);
        fflush(stderr);
        _exit(problems.empty() ? 0 : 1);
    }
    int status = -1;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? "" : "a run failed\n";
}

TEST(ConfigFile, EverySettingSurvivesARestart)
{
    bvtest::in_fresh_process([] {
        TempDir user, game;
        bvtest::use_folders(user.path(), game.path());
        const std::string path = user / "Brovanta/config";
        std::string default_file;
        std::string problems = in_forked_run([&] {
            defaults();
            tracks_listed();
            config_write();
            return std::string();
        });
        default_file = read_file(path);
        problems += in_forked_run([&] {
            Problems p;
            defaults();
            tracks_listed();
            // Every record moves: a choice to its next item, a slider to three quarters
            // of its range (or a quarter when that is where it stands), as a float.
            ui_choice* choices[] = {&record_demo_choice, &robot_skill_choice, &time_trial_abort_choice,
                                    &playback_mode_choice, &video_mode_choice, &hide_rider_choice,
                                    &rigid_camera_choice, &ground_texture_dim_old_choice, &ground_texture_dim_choice,
                                    &ground_mipmaps_choice, &compress_textures_choice, &lens_flare_choice,
                                    &reflections_choice, &render_texture_choice, &use_shader_choice};
            for (ui_choice* c : choices)
                c->selected = (c->selected + 1) % c->count;
            for (ui_choice& c : gate_choices)
                c.selected = (c.selected + 1) % c.count;
            for (ui_choice& c : assist_choices)
                c.selected = (c.selected + 1) % c.count;
            ui_slider* sliders[] = {&minutes_slider, &laps_slider, &ghost_fade_slider, &fov_slider,
                                    &first_person_height_slider, &first_person_angle_slider,
                                    &first_person_gimbal_slider, &third_person_height_slider,
                                    &third_person_distance_slider, &volume_slider, &comp_volume_slider,
                                    &ground_detail_slider, &ground_texture_detail_slider, &model_detail_slider,
                                    &model_texture_detail_slider, &roost_density_slider, &terrain_sync_slider,
                                    &reshade_delay_slider};
            auto move = [](ui_slider& s) {
                const double v = double(float(s.min + 0.75 * (s.max - s.min)));
                s.value = s.value == v ? double(float(s.min + 0.25 * (s.max - s.min))) : v;
            };
            for (ui_slider* s : sliders)
                move(*s);
            move(stability_slider);
            for (ui_slider* s : advanced_stability_sliders)
                move(*s);
            for (ui_slider& s : bike_setup_sliders)
                move(s);
            for (ui_slider& s : suspension_sliders)
                move(s);
            plain_values = {1000, 700, 1, 1, 0, 1, 1, 16, 3, 2.5f, plain_values.video_mode};
            message_lines = 9;
            track_choice.selected = 1;
            snprintf(server_name, sizeof server_name, "race.example.org:19801");
            for (int i = 0; i < 16; ++i)
                snprintf(server_name_hist[i], sizeof server_name_hist[i], "old%d.example.org", i);
            ui_choice_select(&bike_choice, "rs50kx");
            ui_text_set(&rider_name_field, "Somebody Else");
            ui_text_set(&rider_number_field, "42");
            for (int i = 0; i < 4; ++i)
                snprintf(kept_graphics_names[i], kKeptNameSize, "look%d", i);
            for (int b = 0; b < kBindings; ++b)
                binding_parse(&bindings[b], ("(k)key" + std::to_string(b)).c_str());
            binding_parse(&bindings[bind_throttle], "(0.25,0.75)pedal");
            binding_parse(&bindings[bind_screenshot], "(k)");
            p.check(config_write() == 1, "written");
            return p.text;
        });
        const std::string reference = read_file(path);
        problems += in_forked_run([&] {
            Problems p;
            defaults();
            config_read();
            tracks_listed();
            track_choice_build(game_settings.track);
            p.check(plain_values.xres == 1000 && plain_values.spy == 1 && plain_values.demo_backups == 3, "integers");
            p.check(plain_values.map_scale == 2.5f && message_lines == 9, "map_scale, message_lines");
            p.check(track_choice.selected == 1, "track");
            p.check(record_demo_choice.selected == 1 && robot_skill_choice.selected == 1, "choices");
            p.check(minutes_slider.value == 45 && fov_slider.value == 130, "reals");
            p.check(gate_choices[39].selected == 1 && video_mode_choice.selected == 1, "gate, video mode");
            p.check(ground_texture_dim_old_choice.selected == 3 && texture_compress == 1 &&
                        graphics_settings.use_shader == 0,
                    "graphics choices");
            p.same(server_name, "race.example.org:19801", "server");
            p.same(server_name_hist[15], "old15.example.org", "history");
            p.same(bike_names[bike_choice.selected], "rs50kx", "bike");
            p.same(rider_name_field.buffer, "Somebody Else", "name");
            p.same(rider_number_field.buffer, "42", "number");
            p.same(kept_graphics_names[0], "look0", "riding gear name");
            p.check(setup.stability == 75 && setup.roll_limit_factor == 48, "stability and an advanced value");
            p.check(setup.stop_wheelies == 2, "assist");
            p.check(setup.rider_mass_distribution == double(float(0.33 + 0.75 * 0.17)), "mass distribution");
            const input_binding& t = bindings[bind_throttle];
            p.check(!t.key_name && t.axis_name && strcmp(t.axis_name, "pedal") == 0 && t.range_low == 0.25f &&
                        t.range_high == 0.75f,
                    "axis binding");
            const input_binding& s = bindings[bind_screenshot];
            p.check(s.key_name && s.key_name[0] == '\0', "empty key name");
            config_write();
            return p.text;
        });
        Problems p;
        p.same(read_file(path), reference, "the second run's file");
        p.check(has_line(reference, "throttle_key=(0.250000,0.750000)pedal"), "axis line");
        p.check(has_line(reference, "screenshot_key=(k)"), "empty key line");
        const std::vector<std::string> changed = lines_of(reference), before = lines_of(default_file);
        p.check(changed.size() == 180 && before.size() == 180, "complete files");
        for (size_t i = 0; i < std::min(changed.size(), before.size()); ++i)
            p.check(changed[i] != before[i], "unchanged: " + changed[i]);
        return problems + p.text;
    });
}

TEST(ConfigFile, ReadingFollowsTheLineRules)
{
    in_fresh_settings([](Problems& p, const folders& f) {
        std::string history126(126, 'h'), history127(127, 'g');
        read_config_text(f, "minutes=75\r\nfov=5\r\nmap_scale=100\r\nrecord=yes\r\nskill= Expert\r\n"
                            "slot05=Human\r\nXRES=900\r\nyres=800x\r\nserver_name=" +
                                std::string(200, 's') + "\r\nserver_name_hist00=" + history126 +
                                "\nserver_name_hist01=" + history127 + "\nlaps=1e999\n");
        p.check(minutes_slider.value == 60 && fov_slider.value == 10, "clamped reals");
        p.check(plain_values.map_scale == 8.0f, "map_scale 100 gives 8");
        p.check(record_demo_choice.selected == 0 && robot_skill_choice.selected == 0, "no item: unchanged");
        p.check(gate_choices[5].selected == 1, "slot05 sets Gate 6");
        p.check(plain_values.xres == 640 && plain_values.yres == 800, "XRES ignored, 800x gives 800");
        p.check(strlen(server_name) == 127, "server cut to 127");
        p.same(server_name_hist[0], history126, "126 kept");
        p.check(server_name_hist[1][0] == '\0', "127 ignored");
        p.check(laps_slider.value == 50, "1e999 clamps to the maximum");

        read_config_text(f, "map_scale=0\nrender_texture=Shaders/Copy\nuse_fbo=No\nground_texture_distance=5\n");
        p.check(plain_values.map_scale == 0.125f, "map_scale 0 gives 0.125");
        p.same(render_texture_choice.items[render_texture_choice.selected], "Hardware/Copy", "use_fbo=No");
        read_config_text(f, "use_fbo=Yes\nrender_texture=Software\n");
        p.same(render_texture_choice.items[render_texture_choice.selected], "Software", "a later render_texture wins");
        const std::string text = written(f);
        p.check(text.find("use_fbo") == std::string::npos && text.find("ground_texture_distance") == std::string::npos,
                "read-only keys vanish");

        read_config_text(f, "throttle_key=x\nfront_brake_key= (k)q\nrear_brake_key=(k)\n");
        p.same(bindings[bind_throttle].key_name, "x", "plain key");
        p.same(bindings[bind_front_brake].key_name, "q", "(k) after blanks");
        p.same(bindings[bind_rear_brake].key_name, "", "empty key name");
    });
}

TEST(ConfigFile, AnUnknownTrackIsWrittenAsTheShownOne)
{
    in_fresh_settings(
        [](Problems& p, const folders& f) {
            read_config_text(f, "track=tracks/nowhere\n");
            tracks_listed();
            p.check(has_line(written(f), "track=tracks/rabbithill"), "the chooser's track");
            defaults();
            read_config_text(f, "track=tracks/sample\n");
            tracks_listed();
            p.check(has_line(written(f), "track=tracks/sample"), "a listed track is selected");
        },
        false);
}

// A value holding a line break or a carriage return would add lines of its own, read
// as settings at the next start: it is left out, with one line each, and every other
// line is written. A device name comes from the kernel (or a virtual device) as it is.
TEST(ConfigFile, AValueWithALineBreakIsLeftOutAndTheRestWritten)
{
    in_fresh_settings(
        [](Problems& p, const folders& f) {
            const size_t whole = lines_of(written(f)).size();
            game_settings.track = "tracks/evil\nxres=7\rspy=1";
            ui_text_set(&rider_name_field, "Rider\nmessage_lines=77");
            ui_text_set(&rider_number_field, "42\rdraw_fps=3");
            input_binding& throttle = bindings[bind_throttle];
            binding_reset(&throttle);
            throttle.axis_name = intern_string("Pad\nlaps=9.000000 axis 5");
            LogCapture log;
            const std::string text = written(f);
            for (const std::string line : {"xres=7", "spy=1", "message_lines=77", "draw_fps=3"})
                p.check(!has_line(text, line), line + " was written");
            p.check(text.find("\nlaps=9") == std::string::npos, "the device name's laps line was written");
            p.check(text.find('\r') == std::string::npos, "a carriage return was written");
            p.check(text.find("track=") == std::string::npos, "a track line");
            p.check(text.find("name=Rider") == std::string::npos, "a name line");
            p.check(text.find("number=42") == std::string::npos, "a number line");
            p.check(text.find("throttle_key=") == std::string::npos, "a throttle line");
            p.same(std::to_string(lines_of(text).size()), std::to_string(whole - 4), "lines written");
            p.check(has_line(text, "xres=" + std::to_string(plain_values.xres)), "the rest");
            size_t told = 0;
            for (const std::string& line : lines_of(log.text()))
                told += line.find(" not written: its value holds a line break") != std::string::npos;
            p.same(std::to_string(told), "4", "log lines");
        },
        false);
}

// The reader keeps lines of up to 1023 characters and skips a longer one whole, and
// the writer writes no line the reader would skip. A longer line used to be read in
// pieces, each taken as a line, so a track folder of about 1020 characters ending in
// "xres=7" set the screen width at the next start.
TEST(ConfigFile, ALineLongerThanTheReaderKeepsIsNeitherWrittenNorReadInPieces)
{
    in_fresh_settings(
        [](Problems& p, const folders& f) {
            const std::string longest = "tracks/" + std::string(1010, 'a');   // "track=" + 1017: 1023
            const std::string plain = written(f);
            game_settings.track = intern_string(longest.c_str());
            p.check(has_line(written(f), "track=" + longest), "the longest line is written");
            game_settings.track = intern_string((longest + "b").c_str());
            p.check(written(f).find("track=") == std::string::npos, "one character more is left out");

            read_config_text(f, "track=" + longest + "\nfov=95\n");
            p.same(game_settings.track, longest, "the longest line is read");
            game_settings.track = "rabbithill";
            read_config_text(f, "fov=96\ntrack=" + longest + "\r\n");
            p.same(game_settings.track, longest, "the longest line before a carriage return and line break");
            game_settings.track = "rabbithill";
            read_config_text(f, "fov=97\ntrack=" + longest);
            p.same(game_settings.track, longest, "the longest line at the end of the file");
            p.check(fov_slider.value == 97, "the line before it");

            defaults();
            game_settings.track = "rabbithill";
            LogCapture log;
            read_config_text(f, "track=" + longest + "b\nfov=95\ntrack=" + longest + "xres=7\nvolume=3\ntrack=" +
                                    longest + "b\r\ntrack=" + longest + "b");
            p.same(game_settings.track, "rabbithill", "a longer line is read");
            p.check(fov_slider.value == 95 && volume_slider.value == 3, "the lines after a longer one");
            p.check(plain_values.xres == 640, "a piece of a longer line is read as a line");
            p.check(log.text().find("config' line 1 skipped: longer than 1023 characters\n") != std::string::npos &&
                        log.text().find("config': 3 more lines longer than 1023 characters skipped\n") !=
                            std::string::npos,
                    "the log: " + log.text());

            // A folder of about 1020 characters set as the track, then a restart: no
            // line the player did not set.
            defaults();
            game_settings.track = intern_string((longest + "xres=7").c_str());
            config_write();
            defaults();
            config_read();
            for (const std::string& line : lines_of(written(f)))
                p.check(has_line(plain, line), "a line not set: " + line.substr(0, 80));
        },
        false);
}

// Each damaged file keeps the other settings, and the next write is complete.
TEST(ConfigFile, DamagedAndHandEditedFilesCostOnlyTheirBadLines)
{
    const std::string good = "fov=95\nvolume=3\n";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"cut in its last line", good + "name=Cut Ri"},
        {"a line of 5000 characters", std::string(5000, 'x') + "\n" + good},
        {"lines without =", "fov95\njust words\n" + good},
        {"binary bytes and a NUL", std::string("\x01\xff\xfe=\x80\n", 6) + std::string("slot0\0=Human\n", 13) + good},
        {"an empty file", ""},
        {"a key given twice", "fov=50\n" + good},
        {"a space before =", "fov =20\nvolume =9\n" + good},
        {"a rejected setup line", "stability=abc\nnumber=77\n" + good},
    };
    for (const auto& [what, text] : cases)
        in_fresh_settings([&](Problems& p, const folders& f) {
            read_config_text(f, text);
            if (!text.empty())
                p.check(fov_slider.value == 95 && volume_slider.value == 3, what + ": kept lines");
            p.check(gate_choices[0].selected == 0 && setup.stability == 100, what + ": others unchanged");
            p.check(lines_of(written(f)).size() == 180, what + ": complete write");
            if (what == "cut in its last line")
                p.same(rider_name_field.buffer, "Cut Ri", what);
            if (what == "a rejected setup line")
                p.same(rider_number_field.buffer, "77", what);
        });
}

int entries_in(const std::string& folder)
{
    int n = 0;
    if (DIR* d = opendir(folder.c_str())) {
        while (dirent* e = readdir(d))
            n += e->d_name[0] != '.';
        closedir(d);
    }
    return n;
}

TEST(ConfigFile, AFailedWriteLeavesTheOldFile)
{
    in_fresh_settings([](Problems& p, const folders& f) {
        p.check(config_write() == 1 && entries_in(f.user / "Brovanta") == 1, "a normal write leaves only config");
        const std::string old = "fov=95\n" + std::string(3000, '#') + "\n";
        write_file(f.config(), old);
        // A child limited to 1000 bytes a file: the write fails part-way.
        const pid_t child = fork();
        if (child == 0) {
            signal(SIGXFSZ, SIG_IGN);
            rlimit limit{1000, 1000};
            setrlimit(RLIMIT_FSIZE, &limit);
            _exit(config_write() == 0 ? 0 : 1);
        }
        int status = -1;
        waitpid(child, &status, 0);
        p.check(WIFEXITED(status) && WEXITSTATUS(status) == 0, "config_write returns 0");
        p.same(read_file(f.config()), old, "old file unchanged");
        p.check(entries_in(f.user / "Brovanta") == 1, "no temporary file left");
    });
}

TEST(ConfigFile, AConfigThatCannotBeReadIsKept)
{
    in_fresh_settings([](Problems& p, const folders& f) {
        bvtest::make_dirs(f.config() + "/inside");
        config_read();
        p.check(config_write() == 0, "not written");
        p.check(bvtest::file_exists(f.config() + "/inside"), "the folder stays");
        p.check(entries_in(f.user / "Brovanta") == 1, "nothing beside it");
    });
}

// A config that is a link is neither read nor written through, wherever it leads: the
// read leaves it as the write does, and the write puts a file of its own in its place,
// which the next start reads. The file the link named keeps its bytes.
TEST(ConfigFile, AConfigLinkIsNeitherReadNorWrittenThrough)
{
    in_fresh_settings([](Problems& p, const folders& f) {
        write_file(f.user / "outside/config", "fov=130\n");
        bvtest::make_dirs(f.user / "Brovanta");
        symlink((f.user / "outside/config").c_str(), f.config().c_str());
        const float before = fov_slider.value;
        config_read();
        p.check(fov_slider.value == before, "the config read through a link leading outside");
        fov_slider.value = 95;
        p.check(config_write() == 1, "the config not written in the link's place");
        p.check(!std::filesystem::is_symlink(f.config()), "the link kept");
        p.same(read_file(f.user / "outside/config"), "fov=130\n", "the file the link named");
        fov_slider.value = before;
        config_read();
        p.check(fov_slider.value == 95, "the written config not read back");
    });
}

}  // namespace
