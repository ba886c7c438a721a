// The editor tests' process: a fresh one whose user folder holds an empty track
// "tracks/t", where the editor reads and saves.
#pragma once
#include "editor/editor_state.h"
#include "support/fresh_process.h"
#include "support/test_support.h"
#include "terrain/terrain_files.h"
#include "terrain/track_list.h"

#include <cstring>
#include <functional>
#include <string>

namespace edtest {

inline std::string status()
{
    return editor_state.status_text ? editor_state.status_text : "";
}

inline void in_track_folder(const std::function<std::string(bvtest::TempDir&)>& scenario)
{
    bvtest::in_fresh_process([&] {
        bvtest::TempDir root;
        bvtest::make_dirs(root / "user/Brovanta/tracks/t");
        bvtest::make_dirs(root / "game");
        bvtest::use_folders(root / "user", root / "game");
        track_folder = strdup("tracks/t");
        terrain_remember_folder("tracks/t");
        return scenario(root);
    });
}

}  // namespace edtest
