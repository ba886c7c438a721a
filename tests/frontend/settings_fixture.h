// What the settings tests share: a fresh process with its own user and game folders
// (the search folders are decided once per process), the program's defaults as
// start-up makes them, with a fixed track list and video-mode list, and whole-file
// helpers for "@config".
#pragma once
#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "frontend/config_file.h"
#include "frontend/settings.h"
#include "race/bike_setup.h"
#include "race/program/detail_presets.h"
#include "race/game_settings.h"
#include "support/fresh_process.h"
#include "support/test_support.h"
#include "terrain/track_list.h"

namespace settings_test
{

using bvtest::Problems;
using bvtest::read_file;
using bvtest::TempDir;
using bvtest::write_file;

// Start-up's order: static values, preset 0, the default bike and its derived
// stability, the video modes; the track list comes after "@config".
inline void defaults()
{
    settings_reset_static();
    config_forget_unreadable();
    detail_preset_apply(0);
    ui_choice_select(&bike_choice, "yz250f(2017)");
    stability_derive(100);
    static const int32_t modes[] = {800, 600, 1024, 768};
    video_modes_build(modes, 2);
}

inline void tracks_listed()
{
    static char folders[2][32] = {"tracks/rabbithill", "tracks/sample"};
    static char titles[2][32] = {"Rabbit Hill", "Sample"};
    static track_entry tracks[2] = {{folders[0], titles[0]}, {folders[1], titles[1]}};
    track_list = tracks;
    track_count = 2;
    track_choice_build(game_settings.track);
}

struct folders {
    const TempDir& user;
    const TempDir& game;
    std::string config() const { return user / "Brovanta/config"; }
};

// A fresh process with its folders and the defaults (track list included unless the
// scenario wants to build it itself).
inline void in_fresh_settings(const std::function<void(Problems&, const folders&)>& scenario, bool tracks = true)
{
    bvtest::in_fresh_process([&] {
        Problems p;
        TempDir user, game;
        bvtest::use_folders(user.path(), game.path());
        defaults();
        if (tracks)
            tracks_listed();
        scenario(p, folders{user, game});
        return p.text;
    });
}

inline std::vector<std::string> lines_of(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

inline bool has_line(const std::string& text, const std::string& line)
{
    return ("\n" + text).find("\n" + line + "\n") != std::string::npos;
}

// Reads text as "@config" over the defaults.
inline void read_config_text(const folders& f, const std::string& text)
{
    write_file(f.config(), text);
    config_read();
}

}  // namespace settings_test
