// The track list from a data index of its own: a gzip-only terrain counts, a folder
// without "desc" is titled by its name, titles are ordered ignoring case and equal
// ones keep their index order, an index without terrain has no tracks, and a title
// is one line of bounded length, and a folder past a listing bound hides no other.
#include "foundation/index/file_index.h"
#include "foundation/vfs/capped_read.h"
#include "foundation/front_door.h"
#include "foundation/memory.h"
#include "support/archive_bytes.h"
#include "support/console_capture.h"
#include "support/fresh_process.h"
#include "support/measured_child.h"
#include "support/test_support.h"
#include "terrain/track_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <string>

#include <fcntl.h>
#include <unistd.h>

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

// A title is one line: a "desc" that inflates to 64 MiB with no line end is cut to
// 255 bytes, read no further, and the cut is logged with the file's name.
TEST(TrackList, TitleIsOneBoundedLine)
{
    bvtest::in_fresh_process([] {
        bvtest::Problems p;
        bvtest::TempDir root;
        const std::string data = root / "user/Brovanta";
        bvtest::write_file(data + "/tracks/big/terrain.hf", "x");
        bvtest::write_file(data + "/tracks/big/desc.gz", bvtest::gzip_repeated('a', size_t(64) << 20));
        bvtest::write_file(data + "/tracks/body/terrain.hf", "x");
        bvtest::write_file(data + "/tracks/body/desc", "Body\n" + std::string(100000, 'b'));
        bvtest::use_folders(root / "user", root / "game");
        const bvtest::ChildCost cost = bvtest::run_measured([] {
            ConsoleCapture lines;
            const bool listed = scan_tracks() == 1 && track_count == 2;
            const bool cut = listed && track_list_title("tracks/big") == std::string(255, 'a');
            const bool body = listed && track_list_title("tracks/body") == std::string("Body");
            const bool logged = lines.text().find("Title in @tracks/big/desc cut to 255 bytes\n") != std::string::npos;
            return listed && cut && body && logged ? 1 : 0;
        });
        fprintf(stderr, "%s\n", bvtest::describe("64 MiB title", cost).c_str());
        p.check(cost.finished && cost.result == 1, "the title is cut to one bounded line and the cut logged");
        p.check(cost.seconds < 2 && cost.grown_kib < 16 * 1024, bvtest::describe("64 MiB title", cost));
        return p.text;
    });
}

// A downloaded folder with too many names, or nested too deep, is left out on its own
// with one line naming it: the tracks listed after it stay. At each bound the folder
// is listed whole, the track inside it too.
TEST(TrackList, AFolderPastAListingBoundHidesNoOtherTrack)
{
    for (int past : {0, 1})
        bvtest::in_fresh_process([past] {
            bvtest::Problems p;
            bvtest::TempDir root;
            const std::string tracks = root / "user/Brovanta/tracks";
            // The real names bound takes 100,000 files to reach: a lower one stands in.
            listing_bounds bounds = kListingBounds;
            bounds.folder_names = 40;
            const std::string junk = tracks + "/aaa_download/junk";
            bvtest::write_file(junk + "/terrain.hf", "x");
            for (int i = 1; i < 40 + past; ++i)
                bvtest::write_file(junk + "/" + std::to_string(i), "");
            // The user folder lies at depth 0, "tracks" at 1 and "aaa_deep" at 2.
            std::string deep = tracks + "/aaa_deep";
            for (int depth = 2; depth < kListingBounds.depth + past; ++depth)
                deep += "/n";
            bvtest::write_file(deep + "/terrain.hf", "x");
            bvtest::write_file(tracks + "/zz/terrain.hf", "x");
            bvtest::use_folders(root / "user", root / "game");
            ConsoleCapture lines;
            file_index_build(bounds, false);
            scan_tracks();
            std::string listed;
            for (int i = 0; i < track_count; ++i)
                listed += std::string(track_list[i].folder) + ";";
            const std::string deep_track = deep.substr(deep.find("tracks/aaa_deep")) + ";";
            p.same(listed, past ? "tracks/zz;" : deep_track + "tracks/aaa_download/junk;tracks/zz;", "tracks");
            p.same(bvtest::listing_lines(lines.text()),
                   past ? "Listing skipped " + deep + ": folders nested too deep\nListing skipped " + junk +
                              ": too many entries\n"
                        : "",
                   "lines");
            free_track_list();
            return p.text;
        });
}


namespace {

std::string listed_folders()
{
    std::string listed;
    for (int i = 0; i < track_count; ++i)
        listed += std::string(track_list[i].folder) + ";";
    return listed;
}

// The sanitizer build runs unoptimised and keeps freed blocks for a while: a start
// costs it about four times the time, and the memory, of the shipped build's.
constexpr double kSlowdown = bvtest::kUnderSanitizers ? 4 : 1;

// n empty files in folder, made without the per-file folder checks of write_file.
void empty_files(const std::string& folder, int n)
{
    bvtest::make_dirs(folder);
    for (int i = 0; i < n; ++i)
        close(creat((folder + "/" + std::to_string(i)).c_str(), 0644));
}

// An archive of empty entries: "tracks/<prefix><i>/terrain.hf" each, or "<prefix><i>",
// with i in 7 digits (names of one length are the slowest to tell apart).
std::string empty_entries(const std::string& prefix, int n, bool tracks)
{
    std::string header;
    char number[16];
    for (int i = 0; i < n; ++i) {
        snprintf(number, sizeof number, "%07d", i);
        header += tracks ? "0 tracks/" + prefix + number + "/terrain.hf\n" : "0 " + prefix + number + "\n";
    }
    return header + "-\n";
}

}  // namespace

// Three oversized downloads first in name order once spent the listing's total and hid
// every later track. Now each stops at its own bound (30 names here, the folder bound
// 40 and the total 100 lowered with it): at the bound a download is listed whole, past
// it, or past the folder bound too, it is left out with one line and "zz" stays listed.
TEST(TrackList, OversizedDownloadsFirstInNameOrderHideNoLaterTrack)
{
    for (int names : {30, 31, 50})
        bvtest::in_fresh_process([names] {
            bvtest::Problems p;
            bvtest::TempDir root;
            const std::string tracks = root / "user/Brovanta/tracks";
            for (const char* download : {"/aaa1", "/aaa2", "/aaa3"}) {
                empty_files(tracks + download, names - 1);
                bvtest::write_file(tracks + download + "/terrain.hf", "x");
            }
            bvtest::write_file(tracks + "/zz/terrain.hf", "x");
            const listing_bounds bounds{.folder_names = 40, .depth = 16, .names = 100, .skipped = 100,
                                        .download_names = 30, .track_folders = kListingBounds.track_folders};
            bvtest::use_folders(root / "user", root / "game");
            ConsoleCapture lines;
            file_index_build(bounds, false);
            scan_tracks();
            const bool whole = names == 30;
            p.same(listed_folders(), whole ? "tracks/aaa1;tracks/aaa2;tracks/aaa3;tracks/zz;" : "tracks/zz;",
                   std::to_string(names) + " names: tracks");
            std::string said;
            for (const char* download : {"/aaa1", "/aaa2", "/aaa3"})
                said += "Listing skipped " + tracks + download + ": too many entries in one download\n";
            p.same(bvtest::listing_lines(lines.text()), whole ? "" : said, std::to_string(names) + " names: lines");
            free_track_list();
            return p.text;
        });
}

// What one download holds, whatever its shape, adds at most 2 s of processor time and
// 200 MB to the start (the index and the track list) of the built data and one plain
// track, and leaves that track listed. At the download bound it is still listed whole.
TEST(TrackList, NoOneDownloadCostsTheStartMoreThanTwoSecondsOr200MB)
{
    struct hostile {
        const char* name;
        std::function<void(const std::string& tracks)> make;
        int tracks;   // listed beside the plain one and the two of the built data
    };
    const int bound = kListingBounds.download_names;
    const hostile cases[] = {
        {"4,000,000 empty entries",
         [](const std::string& tracks) {
             bvtest::write_file(tracks + "/big.saf", empty_entries("e", 4000000, false));
         },
         0},
        {"160,000 track folders",
         [](const std::string& tracks) { bvtest::write_file(tracks + "/many.saf", empty_entries("t", 160000, true)); },
         0},
        {"track folders at the bound",
         [bound](const std::string& tracks) {
             bvtest::write_file(tracks + "/many.saf", empty_entries("t", bound, true));
         },
         bound},
        {"track folders past the bound",
         [bound](const std::string& tracks) {
             bvtest::write_file(tracks + "/many.saf", empty_entries("t", bound + 1, true));
         },
         0},
        {"three oversized folders first",
         [bound](const std::string& tracks) {
             for (const char* download : {"/aaa1", "/aaa2", "/aaa3"}) {
                 empty_files(tracks + download + "/in", bound);
                 bvtest::write_file(tracks + download + "/terrain.hf", "x");
             }
         },
         0},
        // Downloads within their bounds that once hid the plain track.
        {"a chain of folders past the depth with 110 leaves",
         [](const std::string& tracks) {
             // tracks is at depth 1: the chain reaches 16 and the leaves one past it.
             std::string chain = tracks + "/aaa";
             for (int depth = 3; depth <= kListingBounds.depth; ++depth)
                 chain += "/c";
             for (int i = 0; i < 110; ++i)
                 bvtest::make_dirs(chain + "/" + std::to_string(i));
         },
         0},
        {"100,001 loose files in tracks", [](const std::string& tracks) { empty_files(tracks, 100001); }, 0},
        {"five archives of 10,000 tracks",
         [](const std::string& tracks) {
             for (const char* name : {"a", "b", "c", "d", "e"})
                 bvtest::write_file(tracks + "/" + name + ".saf", empty_entries(name, 10000, true));
         },
         40000},
        // Titles sharing a long prefix: as long as a data name may be, and far past it.
        {"9,990 tracks sharing a 220-character prefix",
         [](const std::string& tracks) {
             bvtest::write_file(tracks + "/long.saf", empty_entries(std::string(220, 'p'), 9990, true));
         },
         9990},
        {"9,990 tracks sharing a 900-character prefix",
         [](const std::string& tracks) {
             bvtest::write_file(tracks + "/longer.saf", empty_entries(std::string(900, 'p'), 9990, true));
         },
         0},
        {"half a download",
         [bound](const std::string& tracks) {
             empty_files(tracks + "/half", 10);
             bvtest::write_file(tracks + "/half/terrain.hf", "x");
             bvtest::write_file(tracks + "/half/in.saf", empty_entries("e", bound - 11, false));
         },
         0},
    };
    for (const hostile& c : cases)
        bvtest::in_fresh_process([&c] {
            bvtest::Problems p;
            // Each start is a child of this process, which never lists its folders.
            auto start = [](const bvtest::TempDir& root, int tracks) {
                bvtest::use_folders(root / "user", root / "game");
                return bvtest::run_measured([tracks] {
                    scan_tracks();
                    return track_list_title("tracks/plain") && track_count == tracks + 3 ? 1 : 0;
                });
            };
            bvtest::TempDir plain_root, root;
            for (const bvtest::TempDir* r : {&plain_root, &root}) {
                bvtest::use_built_data(*r);
                bvtest::write_file(*r / "user/Brovanta/tracks/plain/terrain.hf", "x");
            }
            c.make(root / "user/Brovanta/tracks");
            const bvtest::ChildCost plain = start(plain_root, 0);
            const bvtest::ChildCost cost = start(root, c.tracks);
            fprintf(stderr, "%s\n%s\n", bvtest::describe("plain", plain).c_str(),
                    bvtest::describe(c.name, cost).c_str());
            p.check(plain.finished && plain.result == 1, "the plain start");
            p.check(cost.finished && cost.result == 1, std::string(c.name) + ": the plain track and no other listed");
            p.check(cost.seconds < plain.seconds + 2 * kSlowdown &&
                        cost.grown_kib < plain.grown_kib + long(200 * 1024 * kSlowdown),
                    bvtest::describe(c.name, cost) + " against " + bvtest::describe("plain", plain));
            return p.text;
        });
}

// The list holds 50,000 tracks, room for several downloads at their bound beside every
// track ever published. Past it the downloads naming the most tracks are left out
// first, whole (of equal ones the last in name order), each with one line, so the
// bundled tracks and the player's own track stay. Finding each folder once takes
// n log n: the list is built in well under 2 s (a search through the folders found so
// far took 3 s).
TEST(TrackList, HoldsFiftyThousandTracksAndLeavesOutTheLargestDownloadsFirst)
{
    for (int past : {0, 1})
        bvtest::in_fresh_process([past] {
            bvtest::Problems p;
            bvtest::TempDir root;
            bvtest::use_built_data(root);   // two bundled tracks in one archive
            const std::string tracks = root / "user/Brovanta/tracks";
            bvtest::write_file(tracks + "/plain/terrain.hf", "x");
            for (const char* name : {"a", "b", "c", "d", "e"})
                bvtest::write_file(tracks + "/" + name + ".saf", empty_entries(name, 9999, true));
            bvtest::write_file(tracks + "/f.saf", empty_entries("f", 2 + past, true));
            const bvtest::ChildCost cost = bvtest::run_measured([past, &tracks] {
                ConsoleCapture lines;
                scan_tracks();
                const std::string full =
                    "Track list full at 50000 tracks: " + tracks + "/e.saf left out, 9999 tracks\n";
                const bool said = (lines.text().find(full) != std::string::npos) == bool(past) &&
                                  (lines.text().find("Track list full") != std::string::npos) == bool(past);
                const bool kept = track_list_title("tracks/plain") && track_list_title("tracks/sample") &&
                                  track_list_title("tracks/d0009998") && track_list_title("tracks/f0000001");
                const bool e = track_list_title("tracks/e0000000") != nullptr;
                return track_count == (past ? 40002 : 50000) && said && kept && e == !past ? 1 : 0;
            });
            p.check(cost.finished && cost.result == 1, "the largest download left out past 50,000 tracks, and said");
            p.check(cost.seconds < 2 * kSlowdown, bvtest::describe("50,000 tracks", cost));
            return p.text;
        });
}

// A downloaded track folder whose "desc" and script are links to a file outside the
// user folder: neither is listed, with one line for the download. A link to a file inside the
// track folder is listed, and its title read.
TEST(TrackList, FileLinksLeadingOutOfTheUserFolderAreNotListed)
{
    bvtest::in_fresh_process([] {
        bvtest::Problems p;
        bvtest::TempDir root, outside;
        bvtest::write_file(outside / "secret", "PRECIOUS first line");
        const std::string tracks = root / "user/Brovanta/tracks";
        bvtest::write_file(tracks + "/out/terrain.hf", "x");
        bvtest::write_file(tracks + "/in/terrain.hf", "x");
        bvtest::write_file(tracks + "/in/title.txt", "Inside title");
        for (const char* name : {"/desc", "/nofrills.js"})
            p.check(symlink((outside / "secret").c_str(), (tracks + "/out" + name).c_str()) == 0, "no link");
        p.check(symlink("title.txt", (tracks + "/in/desc").c_str()) == 0, "no link");
        bvtest::use_folders(root / "user", root / "game");
        ConsoleCapture lines;
        scan_tracks();
        p.check(file_index_find("tracks/out/desc") == -1 && file_index_find("tracks/out/nofrills.js") == -1,
                "a link leading out listed");
        p.check(file_index_find("tracks/out/terrain.hf") >= 0, "the track beside them");
        p.check(file_index_find("tracks/in/desc") >= 0, "a link inside");
        p.same(track_list_title("tracks/in") ? track_list_title("tracks/in") : "", "Inside title", "title inside");
        p.same(bvtest::listing_lines(lines.text()),
               "Listing skipped " + tracks + "/out/desc: a link leading out of its download\n", "one line per download");
        free_track_list();
        return p.text;
    });
}

// Finding each track folder once, titling and ordering them take n log n: eight times
// the tracks cost about eight and a half times the processor time. A search through
// the folders found so far costs 64 times (at 50,000 tracks the search is most of the
// start); the ratio tells them apart on a machine of any speed. The two sizes are run
// in turn, five rounds each, and the fastest of each taken, so that a machine busy in
// one stretch slows both alike; 20 leaves a margin of twice or more on either side.
TEST(TrackList, EightTimesTheTracksCostAboutEightTimesTheTime)
{
    bvtest::in_fresh_process([] {
        bvtest::Problems p;
        bvtest::TempDir fewer_root, more_root;
        auto make = [](const bvtest::TempDir& root, int per_download) {
            const std::string tracks = root / "user/Brovanta/tracks";
            for (const char* name : {"a", "b", "c", "d", "e"})
                bvtest::write_file(tracks + "/" + name + ".saf", empty_entries(name, per_download, true));
        };
        make(fewer_root, 1250);
        make(more_root, 10000);
        auto start = [&p](const bvtest::TempDir& root, int per_download) {
            bvtest::use_folders(root / "user", root / "game");
            const bvtest::ChildCost cost = bvtest::run_measured([per_download] {
                scan_tracks();
                return track_count == 5 * per_download ? 1 : 0;
            });
            p.check(cost.finished && cost.result == 1, bvtest::describe(std::to_string(per_download), cost));
            return cost.seconds;
        };
        double fewer = 1e9, more = 1e9;
        for (int round = 0; round < 5; ++round) {
            fewer = std::min(fewer, start(fewer_root, 1250));
            more = std::min(more, start(more_root, 10000));
        }
        fprintf(stderr, "6,250 tracks %.3f s, 50,000 tracks %.3f s\n", fewer, more);
        p.check(more < 20 * fewer, "50,000 tracks took " + std::to_string(more) + " s against " +
                                       std::to_string(fewer) + " s for 6,250");
        return p.text;
    });
}

namespace {

// A folder tracks/<name> holding one empty ground, made after everything before it.
void one_track(const std::string& tracks, const std::string& name)
{
    bvtest::write_file(tracks + "/" + name + "/terrain.hf", "x");
}

}  // namespace

// The list full (its bound lowered to 6): of the player's downloads the one naming the
// most tracks goes first (a loose pack of three track folders is one download), then
// the newest of equal ones, one at a time until the list holds its bound exactly; the
// two bundled tracks never go, and neither does the player's track made before the
// flood. "tracks" holding more downloads than its bound (lowered to 8) leaves out the
// newest of them, with one line.
TEST(TrackList, PastItsBoundTheNewestDownloadsGoFirstAndNeverTheGamesOwn)
{
    const struct {
        const char* name;
        bool pack;
        int flood;
        const char* listed;   // besides the bundled tracks and tracks/mytrack
        const char* lines;    // "%s" is tracks
        bool game_pack = false;   // a loose pack of two tracks in the program's folder
    } cases[] = {
        {"the pack leaves exactly the bound", true, 3, "f0;f1;f2;",
         "Track list full at 6 tracks: %s/pack left out, 3 tracks\n"},
        {"then the newest one-track folder", true, 4, "f0;f1;f2;",
         "Track list full at 6 tracks: %s/pack left out, 3 tracks\n"
         "Track list full at 6 tracks: %s/f3 left out, 1 tracks\n"},
        {"a one-track flood", false, 5, "f0;f1;f2;",
         "Track list full at 6 tracks: %s/f4 left out, 1 tracks\n"
         "Track list full at 6 tracks: %s/f3 left out, 1 tracks\n"},
        {"a flood past the downloads tracks holds", false, 9, "f0;f1;f2;",
         "Listing shortened %s: the newest downloads past 8 left out: 2, the newest f8, f7\n"
         "Track list full at 6 tracks: %s/f6 left out, 1 tracks\n"
         "Track list full at 6 tracks: %s/f5 left out, 1 tracks\n"
         "Track list full at 6 tracks: %s/f4 left out, 1 tracks\n"
         "Track list full at 6 tracks: %s/f3 left out, 1 tracks\n"},
        {"beside a loose pack of the program's", false, 3, "f0;",
         "Track list full at 6 tracks: %s/f2 left out, 1 tracks\n"
         "Track list full at 6 tracks: %s/f1 left out, 1 tracks\n",
         true},
    };
    for (const auto& c : cases)
        bvtest::in_fresh_process([&c] {
            bvtest::Problems p;
            bvtest::TempDir root;
            bvtest::use_built_data(root);   // two bundled tracks in one archive
            const std::string tracks = root / "user/Brovanta/tracks";
            one_track(tracks, "mytrack");
            if (c.game_pack)
                for (const char* t : {"a", "b"})
                    one_track(root / "game/tracks", std::string("pack/") + t);
            if (c.pack)
                for (const char* t : {"a", "b", "c"})
                    one_track(tracks, std::string("pack/") + t);
            for (int i = 0; i < c.flood; ++i)
                one_track(tracks, "f" + std::to_string(i));
            listing_bounds bounds = kListingBounds;
            bounds.track_folders = 8;
            ConsoleCapture console;
            file_index_build(bounds, false);
            scan_tracks(6);
            std::string listed;
            for (int i = 0; i < c.flood; ++i)
                if (track_list_title(("tracks/f" + std::to_string(i)).c_str()))
                    listed += "f" + std::to_string(i) + ";";
            p.same(listed, c.listed, std::string(c.name) + ": the flood listed");
            p.check(track_list_title("tracks/sample") && track_list_title("tracks/mytrack") && track_count == 6,
                    std::string(c.name) + ": the bundled tracks and the player's, " + std::to_string(track_count));
            p.check(!c.game_pack || (track_list_title("tracks/pack/a") && track_list_title("tracks/pack/b")),
                    std::string(c.name) + ": the program's pack left out");
            std::string lines = c.lines;
            for (size_t at; (at = lines.find("%s")) != std::string::npos;)
                lines.replace(at, 2, tracks);
            std::string said = bvtest::listing_lines(console.text());
            const std::string text = console.text();
            for (size_t at = text.find("Track list full"); at != std::string::npos; at = text.find("Track list full", at + 1))
                said += text.substr(at, text.find('\n', at) + 1 - at);
            p.same(said, lines, std::string(c.name) + ": lines");
            free_track_list();
            return p.text;
        });
}

// Track folders whose names differ only by letter case are two tracks, whichever came
// first: a download "MyTrack" unpacked before the player's "mytrack", and a "SAMPLE"
// beside the bundled sample, are each listed under their own spelling and read only
// their own files. Within one track folder case is still ignored.
TEST(TrackList, TrackFoldersDifferingOnlyByCaseAreTwoTracks)
{
    bvtest::in_fresh_process([] {
        bvtest::Problems p;
        bvtest::TempDir root;
        bvtest::use_built_data(root);
        const std::string tracks = root / "user/Brovanta/tracks";
        bvtest::write_file(tracks + "/MyTrack/terrain.hf", "theirs");
        bvtest::write_file(tracks + "/MyTrack/desc", "Theirs");
        bvtest::write_file(tracks + "/MyTrack/nofrills.js", "theirs");
        bvtest::write_file(tracks + "/mytrack/terrain.hf", "mine");
        bvtest::write_file(tracks + "/mytrack/desc", "Mine");
        bvtest::write_file(tracks + "/SAMPLE/terrain.hf", "theirs");
        bvtest::write_file(tracks + "/SAMPLE/decals", "theirs");
        bvtest::write_file(tracks + "/pack/Inner/terrain.hf", "x");
        bvtest::write_file(tracks + "/pack/inner/desc", "Inner");
        // Twins whose grounds stand next to each other in the index: the player's
        // "other" holds its ground alone, the download "otheR" a title beside it.
        bvtest::write_file(tracks + "/other/terrain.hf", "mine");
        bvtest::write_file(tracks + "/otheR/terrain.hf", "theirs");
        bvtest::write_file(tracks + "/otheR/desc", "Theirs too");
        // A folder named as the game's temporaries are is no track, in an archive too.
        bvtest::write_file(tracks + "/temps.saf", bvtest::saf_bytes({{"tracks/x.tmp-0123456789ab/terrain.hf", "x"}}));
        ConsoleCapture console;
        scan_tracks();
        const auto title = [](const char* folder) {
            return track_list_title(folder) ? std::string(track_list_title(folder)) : std::string("(none)");
        };
        p.same(title("tracks/mytrack"), "Mine", "the player's track");
        p.same(title("tracks/MyTrack"), "Theirs", "the download's track");
        p.same(title("tracks/SAMPLE"), "tracks/SAMPLE", "the download beside the bundled track");
        p.check(file_index_find("tracks/mytrack/nofrills.js") == -1, "the download's script on the player's track");
        p.check(file_index_find("tracks/MyTrack/NOFRILLS.JS") >= 0, "the download's script, any case below its folder");
        for (const auto& [name, want] : std::map<std::string, std::string>{
                 {"@tracks/mytrack/terrain.hf", "mine"}, {"@tracks/MyTrack/terrain.hf", "theirs"},
                 {"@tracks/mytrack/Terrain.HF", "mine"}}) {
            capped_bytes ground = vfs_read_file_capped(name.c_str(), 100);
            p.same(ground.data ? std::string(ground.data) : "", want, name);
            mem_free(ground.data);
        }
        const file_index_entry* sample = file_index_get(file_index_find("tracks/sample/terrain.hf"));
        p.check(sample && std::string(sample->container_path).ends_with("/game/tracks.saf"), "the bundled ground");
        const int decals = file_index_find("tracks/sample/decals");
        p.check(decals == -1 || file_index_get(decals)->priority > 1, "the download's decals on the bundled track");
        p.same(title("tracks/pack/Inner"), "Inner", "a pack's folder spelt two ways");
        p.same(title("tracks/other") + ";" + title("tracks/otheR"), "tracks/other;Theirs too", "twins side by side");
        p.same(title("tracks/x.tmp-0123456789ab"), "(none)", "a temporary's folder in an archive");
        p.same(bvtest::listing_lines(console.text()), "", "lines");
        free_track_list();
        return p.text;
    });
}

// A game folder or the top past its names, beside the player's track and screenshot,
// with bounds lowered (40 names in a folder, 100 in all, 3 skips, 30 names in a
// download): the track is listed, and so stays the config's track, and the screenshot
// keeps its bytes. The floods of other folders are ridden through the program's start
// (Startup.NoFloodOutsideTracksCostsThePlayersTrackOrPicture).
TEST(TrackList, NoFloodOutsideTracksHidesThePlayersTrack)
{
    const struct {
        const char* name;
        std::function<void(const std::string& user)> make;
        bool screenshot_listed;
    } floods[] = {
        {"setups: 120 names", [](const std::string& user) { empty_files(user + "/setups", 120); }, true},
        {"the top: 120 names", [](const std::string& user) { empty_files(user, 120); }, false},
    };
    for (const auto& f : floods)
        bvtest::in_fresh_process([&f] {
            bvtest::Problems p;
            bvtest::TempDir root;
            bvtest::use_built_data(root);
            const std::string user = root / "user/Brovanta";
            bvtest::write_file(user + "/tracks/mytrack/terrain.hf", "x");
            bvtest::write_file(user + "/screenshot001.png", "PICTURE");
            f.make(user);
            const listing_bounds bounds{.folder_names = 40, .depth = 16, .names = 100, .skipped = 3,
                                        .download_names = 30, .track_folders = kListingBounds.track_folders};
            ConsoleCapture console;
            file_index_build(bounds, false);
            scan_tracks();
            p.check(track_list_title("tracks/mytrack") != nullptr,
                    std::string(f.name) + ": the track\n" + bvtest::listing_lines(console.text()));
            if (f.screenshot_listed)
                p.check(file_index_find("screenshot001.png") >= 0, std::string(f.name) + ": the screenshot listed");
            p.same(bvtest::read_file(user + "/screenshot001.png"), "PICTURE", std::string(f.name) + ": its bytes");
            free_track_list();
            return p.text;
        });
}
