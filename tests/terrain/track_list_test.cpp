// The track list from a data index of its own: a gzip-only terrain counts, a folder
// without "desc" is titled by its name, titles are ordered ignoring case and equal
// ones keep their index order, and an index without terrain has no tracks.
#include "foundation/file_index.h"
#include "foundation/front_door.h"
#include "support/fresh_process.h"
#include "support/test_support.h"
#include "terrain/track_list.h"

#include <gtest/gtest.h>

#include <string>

TEST(TrackList, ComesFromTheIndexSortedByTitle)
{
    bvtest::in_fresh_process([] {
        bvtest::Problems p;
        bvtest::TempDir root;
        const std::string data = root / "user/Brovanta";
        auto put = [&](const std::string& name, const std::string& bytes) { bvtest::write_file(data + "/" + name, bytes); };
        put("tracks/zz/terrain.hf.gz", "not read");
        put("tracks/zz/desc", std::string("alpha\0rest", 10));
        put("tracks/b1/terrain.hf", "x");
        put("tracks/b1/terrain.hf.gz", "x");   // one track, not two
        put("tracks/b1/desc", "Alpha\r\nsecond line");
        put("tracks/b2/terrain.hf", "x");
        put("tracks/b2/desc", "ALPHA");
        put("tracks/aa/terrain.hf", "x");
        put("tracks/aa/desc", " beta\n");
        put("tracks/Mid/terrain.hf", "x");       // no desc: its folder names it
        put("tracks/notrack/terrain.hf.bak", "x");
        put("tracks/deep/er/terrain.hf", "x");
        put("tracks/deep/er/desc", "Deep");
        bvtest::use_folders(root / "user", root / "game");
        const int spins = loading_spinner_calls();
        p.check(scan_tracks() == 1, "tracks found");
        std::string listed;
        for (int i = 0; i < track_count; ++i)
            listed += std::string(track_list[i].folder) + "=" + track_list[i].title + ";";
        p.same(listed, "tracks/aa= beta;tracks/b1=Alpha;tracks/b2=ALPHA;tracks/zz=alpha;tracks/deep/er=Deep;"
                       "tracks/Mid=tracks/Mid;",
               "list");
        p.check(int64_t(loading_spinner_calls() - spins) >= track_count, "the spinner turns per folder");
        p.same(track_list_title("tracks/b2") ? track_list_title("tracks/b2") : "", "ALPHA", "title by folder");
        p.check(track_list_title("tracks/B2") == nullptr, "folders compare exactly");
        free_track_list();
        return p.text;
    });
}

TEST(TrackList, IsEmptyWithoutAnyTerrain)
{
    bvtest::in_fresh_process([] {
        bvtest::Problems p;
        bvtest::TempDir root;
        bvtest::write_file(root / "user/Brovanta/tracks/a/desc", "A");
        bvtest::use_folders(root / "user", root / "game");
        p.check(scan_tracks() == 0 && track_count == 0, "no tracks");
        return p.text;
    });
}
