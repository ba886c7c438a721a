// The program as a user starts it: finding (or not finding) its data, writing its
// log into the user data folder, and "--open-home".
#include "editor/editor_commands.h"
#include "editor/editor_state.h"
#include "foundation/front_door.h"
#include "foundation/index/file_index.h"
#include "foundation/door/fresh_file.h"
#include "foundation/memory.h"
#include "foundation/vfs/capped_read.h"
#include "foundation/vfs/vfs.h"
#include "foundation/door/whole_file.h"
#include "frontend/front_end.h"
#include "gfx/images.h"
#include "race/program/main_loop.h"
#include "race/program/program_window.h"
#include "race/program/shutdown.h"
#include "race/program/startup.h"
#include "race/program/startup_lists.h"
#include "race/series.h"
#include "race/track_load.h"
#include "frontend/settings.h"
#include "support/archive_bytes.h"
#include "support/console_capture.h"
#include "support/fresh_process.h"
#include "support/test_support.h"
#include "support/xvfb_server.h"
#include "terrain/save_set.h"
#include "terrain/statues.h"
#include "terrain/terrain_files.h"
#include "terrain/terrain_state.h"
#include "terrain/terrain_tiles_read.h"
#include "terrain/timing_gates.h"
#include "terrain/track_list.h"
#include "view/view_install.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using bvtest::EnvChange;
using bvtest::TempDir;

namespace {

const std::string& program = bvtest::program_path;
const std::string built_archive = BV_BUILD_DIR "/game/zzzz.saf";

// The program's environment with a file browser that notes each folder it is handed
// in home/opened, one line each.
std::vector<EnvChange> env_with_file_browser(const TempDir& home)
{
    std::string fake_bin = home / "bin";
    bvtest::write_file(fake_bin + "/xdg-open", "#!/bin/sh\necho \"$@\" >> \"" + (home / "opened") + "\"\n");
    chmod((fake_bin + "/xdg-open").c_str(), 0755);
    auto env = bvtest::program_env(home);
    env.push_back({"PATH", fake_bin + ":/usr/bin:/bin"});
    return env;
}

}  // namespace

TEST(Startup, WithoutBaseArchiveSaysSoAndFails)
{
    TempDir home;
    bvtest::make_dirs(home / "data");
    auto env = bvtest::program_env(home);
    env.push_back({"BV_HOME", home / "data"});
    auto r = bvtest::run_process({program}, env);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Problem starting Brovanta: Can't find game data"), std::string::npos) << r.err;
    std::string log = bvtest::read_file(home / "xdg/Brovanta/lastlog.txt");
    EXPECT_NE(log.find("Can't find game data"), std::string::npos);
    EXPECT_EQ(log.find("Brovanta version"), std::string::npos);
}

TEST(Startup, ChangedBaseArchiveIsRefused)
{
    TempDir home;
    std::string bytes = bvtest::read_file(built_archive);
    ASSERT_FALSE(bytes.empty());
    bytes[bytes.size() / 2] ^= 1;
    bvtest::write_file(home / "data/zzzz.saf", bytes);
    auto env = bvtest::program_env(home);
    env.push_back({"BV_HOME", home / "data//"});
    EXPECT_EQ(bvtest::run_process({program}, env).status, 1);
}

TEST(Startup, FindsBuiltArchiveBesideTheProgramAndWritesItsLog)
{
    bvtest::XvfbServer server;  // with its data found the program goes on to open its window
    BV_REQUIRE_XVFB(server);
    TempDir home;
    auto r = bvtest::run_and_close_window({program}, bvtest::program_env(home)).result;
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");  // leak tracking is on: nothing may be left behind
    std::string log = bvtest::read_file(home / "xdg/Brovanta/lastlog.txt");
    EXPECT_NE(log.find("] Logfile \"" + (home / "xdg/Brovanta/lastlog.txt") + "\" opened\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("] Brovanta version 2023-06-18-1650 snapshot\n"), std::string::npos) << log;
}

// The program's folder is read whole as data: once it also held the build's staging
// folders, and every list showed its entries two or three times (the first "Brovanta
// Valley MX" a staging copy that "@config" then kept as the track).
TEST(Startup, TheProgramsFolderHoldsTheGameAndEachListShowsItsEntriesOnce)
{
    namespace fs = std::filesystem;
    const fs::path folder = fs::canonical(program).parent_path();
    std::set<std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(folder))
        if (!e.is_directory())
            files.insert(fs::relative(e.path(), folder).string());
    EXPECT_EQ(files, (std::set<std::string>{"brovanta", "demos/sample.bvdemo", "tracks.saf", "zzzz.saf"}))
        << "in " << folder;

    // Started as the README says; "--debug" logs the track, series and demo lists.
    bvtest::XvfbServer server;
    BV_REQUIRE_XVFB(server);
    TempDir home;
    const auto run = bvtest::run_and_close_window({program, "--track", "tracks/sample", "--debug"},
                                                  bvtest::program_env(home));
    EXPECT_EQ(run.result.status, 0) << run.result.err;
    std::map<std::string, int> shown;   // list entry -> times listed
    std::istringstream log(bvtest::read_file(home / "xdg/Brovanta/lastlog.txt"));
    for (std::string line; std::getline(log, line);) {
        const size_t at = line.find("] ");
        const std::string text = at == std::string::npos ? line : line.substr(at + 2);
        const size_t arrow = text.find(" -> ");
        if (text.rfind("tracks/", 0) == 0 && arrow != std::string::npos)
            ++shown["track " + text.substr(arrow + 4)];
        else if (text.rfind("demos/", 0) == 0 && arrow != std::string::npos)
            ++shown["demo " + text.substr(arrow + 4)];
        else if (text.rfind("series ", 0) == 0)
            ++shown[text.substr(text.find(" (") + 1)];
        else if (text.find("staging") != std::string::npos)
            ++shown["a staging name: " + text];
    }
    for (const char* entry : {"track Brovanta Valley MX", "track Flat Test Ground", "demo sample",
                              "(Brovanta Valley Championship)"})
        EXPECT_EQ(shown[entry], 1) << entry;
    for (const auto& [entry, times] : shown)
        EXPECT_EQ(times, 1) << entry;
    EXPECT_NE(bvtest::read_file(home / "xdg/Brovanta/config").find("\ntrack=tracks/sample\n"), std::string::npos);
}

// An installation made of links to the built game (a distribution linking its data
// folders beside the program, or a package store whose launcher names the folder in
// BV_HOME, the program itself a link there) is the program's own folder and trusted:
// it starts, lists its tracks and rides the sample behind the menu.
TEST(Startup, AProgramFolderMadeOfLinksStartsAndRidesTheSample)
{
    namespace fs = std::filesystem;
    bvtest::XvfbServer server;
    BV_REQUIRE_XVFB(server);
    for (const bool program_linked : {false, true}) {
        TempDir home;
        const std::string farm = home / "install";
        fs::create_directories(farm);
        const std::string game = BV_BUILD_DIR "/game";
        for (const char* name : {"zzzz.saf", "tracks.saf", "demos"})
            fs::create_symlink(game + "/" + name, farm + "/" + name);
        auto env = bvtest::program_env(home);
        if (program_linked) {
            fs::create_symlink(game + "/brovanta", farm + "/brovanta");
            env.push_back({"BV_HOME", farm});
        } else {
            fs::copy_file(game + "/brovanta", farm + "/brovanta");
        }
        bvtest::write_file(home / "xdg/Brovanta/config", "video_mode=Windowed\nxres=400\nyres=300\n");
        const auto run = bvtest::run_and_close_window({farm + "/brovanta", "--track", "tracks/sample"}, env);
        const std::string log = bvtest::program_log(home);
        const std::string which = program_linked ? "the program linked: " : "the program copied: ";
        EXPECT_EQ(run.result.status, 0) << which << run.result.err;
        EXPECT_FALSE(bvtest::has(log, "a link leading out")) << which << bvtest::listing_lines(log);
        EXPECT_FALSE(bvtest::has(log, "No tracks found")) << which;
        EXPECT_TRUE(bvtest::has(log, "Welcome to Brovanta Valley MX")) << which << log.substr(0, 600);
    }
}

TEST(Startup, ArchiveInUserFolderIsFoundToo)
{
    bvtest::XvfbServer server;
    BV_REQUIRE_XVFB(server);
    TempDir home;
    bvtest::write_file(home / "xdg/Brovanta/zzzz.saf", bvtest::read_file(built_archive));
    bvtest::write_file(home / "xdg/Brovanta/tracks.saf", bvtest::read_file(BV_BUILD_DIR "/game/tracks.saf"));
    auto env = bvtest::program_env(home);
    env.push_back({"BV_HOME", home / "empty"});
    EXPECT_EQ(bvtest::run_and_close_window({program}, env).result.status, 0);
}

TEST(Startup, OpenHomeMakesTheFolderAndHandsItToTheFileBrowser)
{
    TempDir home;
    auto r = bvtest::run_process({program, "--open-home"}, env_with_file_browser(home));
    EXPECT_EQ(r.status, 0);
    struct stat st {};
    EXPECT_EQ(stat((home / "xdg/Brovanta").c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    // The browser may still be starting, or writing, when the program ends.
    EXPECT_EQ(bvtest::read_file_once(home / "opened", home / "xdg/Brovanta\n"), home / "xdg/Brovanta\n");
    EXPECT_FALSE(bvtest::file_exists(home / "xdg/Brovanta/lastlog.txt"));
}

TEST(Startup, OpenHomeWithoutFileBrowserStillEndsCleanly)
{
    TempDir home;
    auto env = bvtest::program_env(home);
    env.push_back({"PATH", home / "nothing-here"});
    EXPECT_EQ(bvtest::run_process({program, "--open-home"}, env).status, 0);
}

// Among other options "--open-home" still opens the folder and ends the run without a
// window (there is no display here to open one on), once the options before it are read.
TEST(Startup, OpenHomeAmongOtherOptionsEndsBeforeTheWindow)
{
    TempDir home;
    auto env = env_with_file_browser(home);
    env.push_back({"DISPLAY", "", true});
    const struct {
        std::vector<std::string> args;
        int status;
    } runs[] = {{{"--nosound", "--open-home"}, 0},
                {{"--open-home", "--glversion", "bad"}, 0},     // never read
                {{"--record-audio", "--open-home"}, 0},         // no file name to take
                {{"--glversion", "bad", "--open-home"}, 1},     // read before it
                {{"--glversion", "--open-home"}, 1}};           // the version's value
    int opened = 0;
    for (const auto& run : runs) {
        std::vector<std::string> argv = {program};
        argv.insert(argv.end(), run.args.begin(), run.args.end());
        auto r = bvtest::run_process(argv, env);
        EXPECT_EQ(r.status, run.status) << run.args[0] << " " << run.args[1] << "\n" << r.err;
        opened += run.status == 0;
    }
    std::string want;
    for (int i = 0; i < opened; ++i)
        want += home / "xdg/Brovanta\n";
    EXPECT_EQ(bvtest::read_file_once(home / "opened", want), want);
}

// A command line the program refuses ends it with status 1 and its exact words on
// standard error, before any window (there is no display here to open one on).
TEST(Startup, BadCommandLinesEndBeforeTheWindow)
{
    TempDir home;
    auto env = bvtest::program_env(home);
    env.push_back({"DISPLAY", "", true});
    const struct {
        std::vector<std::string> args;
        std::string err;
    } runs[] = {{{"--bogus"}, "bad option '--bogus'\n"},
                {{"--glversion", "es"}, "bad arg for --glversion\n"},
                {{"--bikes", "8", "--nosound=1"}, "--bikes doesn't do anything anymore\nbad option '--nosound=1'\n"},
                {{"a.bvdemo", "b.bvdemo"}, "Too many files!\n"},
                {{"--lock-fps", "1e999"}, "Bad arg for --lock-fps\n"},
                {{"--detail"}, "Bad arg for --detail\n"}};
    for (const auto& run : runs) {
        std::vector<std::string> argv = {program};
        argv.insert(argv.end(), run.args.begin(), run.args.end());
        auto r = bvtest::run_process(argv, env);
        EXPECT_EQ(r.status, 1) << run.args[0];
        EXPECT_EQ(r.err, run.err) << run.args[0];
        EXPECT_FALSE(bvtest::file_exists(home / "xdg/Brovanta/config")) << "no @config after " << run.args[0];
    }
}

// A player with more demos than the demos folder keeps (10,000) still sees the first
// 10,000 in the demo menu: the folder is cut at its bound, not left out.
TEST(Startup, TheDemoMenuKeepsTenThousandOfTenThousandAndOneDemos)
{
    bvtest::in_fresh_process([] {
        bvtest::Problems p;
        TempDir root;
        const std::string demos = root / "user/Brovanta/demos";
        bvtest::make_dirs(demos);
        char name[32];
        for (int i = 0; i <= 10000; ++i) {
            snprintf(name, sizeof name, "/d%05d.bvdemo", i);
            close(creat((demos + name).c_str(), 0644));
        }
        bvtest::make_dirs(root / "game");
        bvtest::use_folders(root / "user", root / "game");
        file_index_list();   // built by the start before the lists
        demo_list_build(0);
        p.check(demo_list_names.size() == 10000, "demos listed: " + std::to_string(demo_list_names.size()));
        p.same(demo_list_short.empty() ? "" : demo_list_short.back(), "d09999", "the last demo listed");
        demo_list_free();
        return p.text;
    });
}

namespace {

// Every entry under folder, links not followed: a file's bytes, a link's target, or a
// folder's mark, by path.
std::map<std::string, std::string> tree(const std::string& folder)
{
    namespace fs = std::filesystem;
    std::map<std::string, std::string> entries;
    for (const auto& e : fs::recursive_directory_iterator(folder)) {
        const std::string path = e.path().string();
        if (e.is_symlink())
            entries[path] = "link to " + fs::read_symlink(e.path()).string();
        else if (e.is_directory())
            entries[path] = "folder";
        else
            entries[path] = bvtest::read_file(path);
    }
    return entries;
}

}  // namespace

// Writes stopped by a kill, as each writer leaves them (the whole-file writes of config,
// results, frame times, a screenshot, a setup and a key camera; the fresh-file writes
// of series standings, a fast lap, track info and a demo; an editor save stopped in its
// commit with the old files kept aside), then the next start: every leftover in the
// folders the game writes goes, down to the deepest folder the listing reads, and
// nothing else changes: names near the pattern, a folder so named, the file a leftover
// link names, a folder the game does not write, folders reached through links (inside
// the user folder or out of it), and a folder one level past the depth.
TEST(Startup, LeftoversOfKilledWritesGoAtTheNextStartAndNothingElse)
{
    // The writers run in a process of their own, whose search folders are this home's.
    bvtest::in_fresh_process([] {
        bvtest::Problems p;
        TempDir home;
        const std::string user = home / "xdg/Brovanta";
        std::string chain = user + "/tracks";
        std::vector<std::string> swept = {user,           user + "/setups", user + "/keycam",   user + "/demos",
                                          user + "/series", user + "/tracks", user + "/tracks/t", user + "/tracks/pack/deep"};
        for (int depth = 2; depth <= 17; ++depth) {
            chain += "/d";
            bvtest::write_file(chain + "/fastlap.bvdemo.tmp-0123456789ab", "deep");
            if (depth <= 16)
                swept.push_back(chain);
        }
        for (const char* folder : {"setups", "keycam", "series", "demos", "tracks/pack/deep"})
            bvtest::make_dirs(user + "/" + folder);
        bvtest::use_folders(home / "xdg", home / "game");
        // Each write is killed half-way: its file and its lock closed as the process's
        // end closes them.
        std::vector<vfs_file*> killed;
        std::vector<int> holds;
        for (const char* name :
             {"@config", "@results.txt", "@frametimes.txt", "@screenshot001.png", "@setups/fast", "@keycam/cam"}) {
            whole_file w;
            p.check(whole_file_open(name, &w) == 1 && vfs_puts(w.f, "half") >= 0 && vfs_flush(w.f) == 0,
                    std::string("a whole-file write of ") + name + " begun");
            killed.push_back(w.f);
            holds.push_back(w.fresh.hold);
        }
        for (const char* name : {"@series/cup.series_standings", "@tracks/t/fastlap.bvdemo", "@tracks/t.trackinfo",
                                 "@demos/default.bvdemo", "@tracks/pack/deep/fastlap.bvdemo"}) {
            fresh_file w;
            p.check(fresh_file_open(name, &w) == 1 && vfs_puts(w.f, "half") >= 0 && vfs_flush(w.f) == 0,
                    std::string("a fresh-file write of ") + name + " begun");
            killed.push_back(w.f);
            holds.push_back(w.hold);
        }
        for (vfs_file* f : killed)
            if (f)
                fclose(f->file);
        for (int fd : holds)
            close(fd);
        terrain_state t{};
        terrain_init(&t);
        terrain_alloc(&t, 2, 8.0f, 0.0f, 10.0f);
        p.check(terrain_write_heights(&t, "tracks/t") == 1, "the heights saved");
        t.heights[3] = 5.0f;
        save_set_test_faults({.stop_after = 3});   // the three old files kept aside, none replaced
        terrain_write_heights(&t, "tracks/t");
        save_set_test_faults({});

        const std::string outside = home / "outside";
        bvtest::write_file(outside + "/kept", "outside");
        bvtest::write_file(outside + "/dir/terrain.png.tmp-0123456789ab", "outside folder");
        bvtest::write_file(user + "/other/terrain.png.tmp-0123456789ab", "a folder the game does not write");
        const std::string near = user + "/tracks/t/";
        for (const char* name : {"config.tmp-12345", "x.tmp-0123456789AB", "x.tmp-0123456789ab.png",
                                 "x.tmp-12345678901", "x.tmp-1234567890abc", "x.tmp_0123456789ab"}) {
            bvtest::write_file(user + "/" + name, name);
            bvtest::write_file(near + name, name);
        }
        bvtest::write_file(user + "/d.tmp-0123456789ab/inner", "a folder so named");
        p.check(symlink((outside + "/kept").c_str(), (near + "edinfo.tmp-a1b2c3d4e5f6").c_str()) == 0 &&
                    symlink((outside + "/dir").c_str(), (user + "/tracks/linked").c_str()) == 0 &&
                    symlink((user + "/other").c_str(), (user + "/tracks/inside").c_str()) == 0 &&
                    symlink((user + "/other").c_str(), (user + "/series/inside").c_str()) == 0,
                "links planted");

        const std::regex leftover(".*\\.tmp-[0-9a-f]{12}");
        const std::set<std::string> swept_folders(swept.begin(), swept.end());
        auto before = tree(home.path());
        std::map<std::string, int> left;   // leftovers by folder
        for (auto it = before.begin(); it != before.end();) {
            const std::filesystem::path path(it->first);
            if (it->second != "folder" && swept_folders.count(path.parent_path().string()) &&
                std::regex_match(path.filename().string(), leftover)) {
                ++left[path.parent_path().string()];
                it = before.erase(it);
            } else {
                ++it;
            }
        }
        // The writers' own: four in the user folder, one for each other writer, and in
        // the track folder the fast lap's, the stopped save's three new files and its
        // three kept old ones, and the planted link.
        const std::map<std::string, int> writers_left = {
            {user, 4},
            {user + "/setups", 1},
            {user + "/keycam", 1},
            {user + "/series", 1},
            {user + "/demos", 1},
            {user + "/tracks", 1},
            {user + "/tracks/t", 8},
            {user + "/tracks/pack/deep", 1},
        };
        for (const auto& [folder, count] : writers_left)
            p.check(left[folder] == count,
                    folder + " held " + std::to_string(left[folder]) + " leftovers, not " + std::to_string(count));

        auto env = bvtest::program_env(home);
        env.push_back({"DISPLAY", "", true});
        const auto r = bvtest::run_process({program, "--bogus"}, env);
        p.check(r.status == 1, "the start ended on its command line: " + r.err);
        auto after = tree(home.path());
        after.erase(user + "/lastlog.txt");
        after.erase(user + "/running.lock");
        for (const auto& [path, what] : before)
            p.check(after.count(path) && after.at(path) == what, path + " changed or went");
        for (const auto& [path, what] : after)
            p.check(before.count(path) == 1, path + " stayed");
        return p.text;
    });
}

// A second copy starting while a first one runs: the first copy holds the lock (here
// the test, through an open file of its own), its log and a write in flight in the
// user folder and in a track folder, which the second start leaves alone, placing no
// log of its own and saying so on standard error. Once the first copy has ended, the
// next start removes them. A link planted at the lock's name is never followed: the
// start keeps the leftovers and the file it names stays as it is.
TEST(Startup, ASecondCopysStartLeavesTheFirstCopysWritesInFlight)
{
    TempDir home;
    const std::string user = home / "xdg/Brovanta";
    const std::vector<std::string> in_flight = {user + "/config.tmp-0123456789ab",
                                                user + "/tracks/t/decals.tmp-a1b2c3d4e5f6"};
    for (const std::string& path : in_flight)
        bvtest::write_file(path, "half");
    const std::string outside = home / "outside";
    bvtest::write_file(outside, "outside");
    ASSERT_EQ(symlink(outside.c_str(), (user + "/running.lock").c_str()), 0);
    auto env = bvtest::program_env(home);
    env.push_back({"DISPLAY", "", true});
    std::string err;
    const auto start = [&](const std::string& when) {
        const auto r = bvtest::run_process({program, "--bogus"}, env);
        EXPECT_EQ(r.status, 1) << when << ": the start ended on its command line: " << r.err;
        err = r.err;
        return bvtest::read_file(user + "/lastlog.txt");
    };
    const auto left = [&] {
        int n = 0;
        for (const std::string& path : in_flight)
            n += access(path.c_str(), F_OK) == 0 ? 1 : 0;
        return n;
    };

    std::string log = start("a link at the lock");
    EXPECT_EQ(left(), 2) << "with a link at the lock's name";
    EXPECT_EQ(bvtest::read_file(outside), "outside");
    EXPECT_NE(log.find("running.lock' (Too many levels of symbolic links): leftovers of stopped writes are kept"),
              std::string::npos)
        << log;
    ASSERT_EQ(unlink((user + "/running.lock").c_str()), 0);

    const int first = open((user + "/running.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(first, 0);
    ASSERT_EQ(flock(first, LOCK_SH), 0);
    // The running copy's log stays its own: the second places none over it.
    bvtest::write_file(user + "/lastlog.txt", "THE FIRST COPY'S LOG");
    log = start("a second copy");
    EXPECT_EQ(left(), 2) << "while the first copy runs";
    EXPECT_EQ(log, "THE FIRST COPY'S LOG");
    const std::string line =
        "Another copy of the game is running: this copy keeps no log file, and leftovers of stopped writes are kept\n";
    EXPECT_NE(err.find(line), std::string::npos) << err;
    EXPECT_EQ(err.find(line), err.rfind(line)) << err;
    close(first);

    log = start("after the first copy ended");
    EXPECT_EQ(left(), 0) << "after the first copy ended";
    EXPECT_EQ(log.find("Another copy"), std::string::npos) << log;
}

// The start's sweep is a step of its one listing of the user folder, with bounds
// lowered here (18 names in a download, 20 in a folder). A download of empty folders
// down to the deepest level listed loses its leftover there, and reading it costs one
// read of each folder: no second walk. A download past its bound is left out, and
// costs the folders it read before its bound was passed. A game folder that is a link
// ("keycam" here) is never swept, nor is a folder past the names a folder may hold,
// its leftovers counted among them (one at the bound is). A later build of the index
// sweeps nothing.
TEST(Startup, TheSweepIsAStepOfTheOneListingOfTheUserFolder)
{
    bvtest::in_fresh_process([] {
        bvtest::Problems p;
        TempDir home;
        const std::string user = home / "xdg/Brovanta";
        const std::string leftover = "/terrain.hf.tmp-0123456789ab";
        // "tracks" at depth 1, "deep" at 2, its chain down to 16.
        std::string chain = user + "/tracks/deep";
        for (int depth = 3; depth <= 16; ++depth)
            chain += "/c";
        bvtest::make_dirs(chain);
        bvtest::write_file(chain + leftover, "");
        std::string wide = user + "/tracks/wide";
        for (int i = 0; i < 19; ++i)   // one more name than a download holds
            bvtest::make_dirs(wide + "/" + std::to_string(i));
        bvtest::write_file(user + "/kc/cam" + leftover.substr(11), "");
        p.check(symlink((user + "/kc").c_str(), (user + "/keycam").c_str()) == 0, "no link");
        // Leftovers count among a folder's names: "setups" holds one more than its 20,
        // "series" exactly 20, two leftovers in each.
        for (int i = 0; i < 19; ++i)
            bvtest::write_file(user + "/setups/s" + std::to_string(i), "");
        for (int i = 0; i < 18; ++i)
            bvtest::write_file(user + "/series/s" + std::to_string(i), "");
        for (const char* folder : {"/setups", "/series"})
            for (const char* name : {"/fast.tmp-0123456789ab", "/slow.tmp-0123456789ab"})
                bvtest::write_file(user + folder + name, "");
        bvtest::write_file(user + "/config.tmp-0123456789ab", "");
        bvtest::make_dirs(home / "game");
        bvtest::use_folders(home / "xdg", home / "game");
        const listing_bounds bounds{.folder_names = 20, .depth = 16, .names = 100, .skipped = 100,
                                    .download_names = 18, .track_folders = kListingBounds.track_folders};
        const long before = file_index_work_done().folders_read;
        const int swept = file_index_build(bounds, true);
        const long read = file_index_work_done().folders_read - before;
        p.check(swept == 4 && !bvtest::file_exists(chain + leftover) &&
                    !bvtest::file_exists(user + "/config.tmp-0123456789ab"),
                "leftovers swept: " + std::to_string(swept));
        // The top, tracks, deep and its 14 folders, wide (whose 19th name passes its
        // bound, so none of its folders is read), kc (keycam, a link at the top, is not
        // entered), setups, series; and the game folder.
        p.check(read == 1 + 1 + 15 + 1 + 1 + 1 + 1 + 1, "folders read: " + std::to_string(read));
        p.check(bvtest::file_exists(user + "/kc/cam" + leftover.substr(11)), "a linked game folder swept");
        p.check(bvtest::file_exists(user + "/setups/fast.tmp-0123456789ab") &&
                    bvtest::file_exists(user + "/setups/slow.tmp-0123456789ab"),
                "a folder past its names swept");
        p.check(!bvtest::file_exists(user + "/series/fast.tmp-0123456789ab"), "a folder at its names not swept");
        p.check(file_index_find("tracks/wide/0") == -1, "the download past its bound listed");
        vfs_shutdown();
        bvtest::write_file(user + "/config.tmp-0123456789ab", "");
        bvtest::use_folders(home / "xdg", home / "game");
        file_index_list();
        p.check(bvtest::file_exists(user + "/config.tmp-0123456789ab"), "a later build swept");
        // The top's bound counts its leftovers too: 18 names and 2 leftovers are swept,
        // 19 and 2 are past it, cut and not swept.
        for (const int names : {18, 19}) {
            vfs_shutdown();
            TempDir other;
            const std::string top = other / "xdg/Brovanta";
            for (int i = 0; i < names; ++i)
                bvtest::write_file(top + "/n" + std::to_string(i), "");
            for (const char* name : {"/a.tmp-0123456789ab", "/b.tmp-0123456789ab"})
                bvtest::write_file(top + name, "");
            bvtest::use_folders(other / "xdg", home / "game");
            const long names_before = file_index_work_done().names_read;
            const int gone = file_index_build(bounds, true);
            const long names_read = file_index_work_done().names_read - names_before;
            p.check(gone == (names == 18 ? 2 : 0), std::to_string(names) + " names at the top: swept " + std::to_string(gone));
            p.check(names_read <= names + 3, "names read: " + std::to_string(names_read));
        }
        return p.text;
    });
}

// Folders whose data names pass 255 characters, 30 in each of three downloads a few
// levels down (a pack in "tracks", the demos, a folder at the top): the start's one
// listing leaves them out with a few lines in all, not a line for each.
TEST(Startup, OverlongNamesCostTheLogAFewLines)
{
    bvtest::in_fresh_process([] {
        bvtest::Problems p;
        TempDir home;
        const std::string user = home / "xdg/Brovanta";
        const std::string deep = "/d/d/d/" + std::string(200, 'a') + "/";
        for (const char* download : {"/tracks/pack", "/demos", "/0pack"})
            for (int i = 0; i < 30; ++i)
                bvtest::make_dirs(user + download + deep + std::string(60, 'n') + std::to_string(i));
        bvtest::make_dirs(home / "game");
        bvtest::use_folders(home / "xdg", home / "game");
        ConsoleCapture console;
        file_index_build(kListingBounds, true);
        const std::string lines = bvtest::listing_lines(console.text());
        const auto count = std::count(lines.begin(), lines.end(), '\n');
        p.check(count >= 1 && count <= 10, std::to_string(count) + " lines:\n" + lines);
        return p.text;
    });
}

namespace {

int frames_seen = 0;

// This process's folders for a start run in it: the user folder below home, the built
// game as the program's folder.
void start_in_process(const TempDir& home)
{
    setenv("XDG_DATA_HOME", (home / "xdg").c_str(), 1);
    setenv("HOME", home.path().c_str(), 1);
    setenv("BV_HOME", BV_BUILD_DIR "/game", 1);
    unsetenv("QORL_OPTIONS");
    shutdown_pause_seconds = 0;
}
bool setup_listed = false;

// A few frames behind the menu, a screenshot, then the program's own exit.
void screenshot_and_quit()
{
    if (++frames_seen == 5) {
        setup_listed = file_index_find("setups/fast") >= 0;
        take_screenshot();
        loop.quit = 1;
    }
}

}  // namespace

// Each flood that once spent the listing's totals outside "tracks", beside the player's
// track, setup and picture, through the program's start and exit, with bounds lowered
// (40 names in a folder, 100 in all, 3 skips, 30 names in a download): the track and
// the setup, later in name order, stay listed, so the config written at exit keeps the
// track, and a screenshot taken then leaves the player's picture as it was.
TEST(Startup, NoFloodOutsideTracksCostsThePlayersTrackOrPicture)
{
    bvtest::XvfbServer server;
    BV_REQUIRE_XVFB(server);
    const struct {
        const char* folder;
        bool past_depth;   // five folders one level past the depth, else three nested folders of 35 names
    } floods[] = {{"demos", false}, {"demos/pack", true}, {"0pack/x", true}};
    for (const auto& f : floods) {
        TempDir home;
        bvtest::in_fresh_process([&] {
            bvtest::Problems p;
            const std::string user = home / "xdg/Brovanta";
            std::string chain = user + "/" + f.folder;
            for (int depth = 3; f.past_depth && depth <= kListingBounds.depth; ++depth)
                chain += "/c";
            for (int i = 0; i < 5 && f.past_depth; ++i)
                bvtest::make_dirs(chain + "/" + std::to_string(i));
            for (const char* nest : {"/a", "/a/b", "/a/b/c"})
                for (int i = 0; i < 35 && !f.past_depth; ++i)
                    bvtest::write_file(chain + nest + "/" + std::to_string(i), "");
            bvtest::write_file(user + "/tracks/mytrack/terrain.hf", "x");
            bvtest::write_file(user + "/setups/fast", "");
            bvtest::write_file(user + "/screenshot001.png", "PICTURE");
            bvtest::write_file(user + "/config", "video_mode=Windowed\nxres=320\nyres=240\ntrack=tracks/mytrack\n");
            start_in_process(home);
            start_bounds bounds;
            bounds.listing = {.folder_names = 40, .depth = 16, .names = 100, .skipped = 3,
                              .download_names = 30, .track_folders = kListingBounds.track_folders};
            loop_io.frame_observer = screenshot_and_quit;
            front_end_install();
            const char* argv[] = {"brovanta", nullptr};
            p.check(brovanta_main(1, const_cast<char**>(argv), bounds) == 0, std::string(f.folder) + ": the run failed");
            const std::string listed = bvtest::listing_lines(bvtest::read_file(user + "/lastlog.txt"));
            p.check(bvtest::has(bvtest::read_file(user + "/config"), "\ntrack=tracks/mytrack\n"),
                    std::string(f.folder) + ": the config's track\n" + listed);
            p.check(setup_listed, std::string(f.folder) + ": the setup listed");
            p.same(bvtest::read_file(user + "/screenshot001.png"), "PICTURE", std::string(f.folder) + ": the picture");
            p.check(bvtest::read_file(user + "/screenshot002.png").rfind("\x89PNG", 0) == 0,
                    std::string(f.folder) + ": no screenshot taken");
            return p.text;
        });
    }
}

namespace {

// What the start saw of the player's track, a few frames behind the menu.
struct seen_at_start {
    std::string titles;            // "folder=title;" of the listed tracks in "tracks/" but the bundled
    std::string script, decals;    // what the player's track's names read
    std::string bundled;           // what the bundled tracks/flat's script and decals read
    std::string series;            // the titles of the series listed
    long names_read = 0;
    bool shared = false;           // another process could share the running lock
} seen;

void look_and_quit()
{
    if (++frames_seen != 5)
        return;
    seen.titles.clear();
    for (int32_t i = 0; i < track_count; ++i)
        if (strcmp(track_list[i].folder, "tracks/sample") != 0 && strcmp(track_list[i].folder, "tracks/flat") != 0)
            seen.titles += std::string(track_list[i].folder) + "=" + track_list[i].title + ";";
    const auto read = [](const char* name) {
        char* text = file_to_string(name);
        const std::string got = text ? text : "(none)";
        mem_free(text);
        return got;
    };
    seen.script = read("@tracks/mytrack/nofrills.js");
    seen.decals = read("@tracks/mytrack/decals");
    seen.bundled = read("@tracks/flat/nofrills.js") + ";" + read("@tracks/flat/decals");
    seen.series.clear();
    for (int32_t i = 0; i < series_count(); ++i)
        seen.series += std::string(series_at(i)->title) + ";";
    seen.names_read = file_index_work_done().names_read;
    const int other = open((std::string(getenv("XDG_DATA_HOME")) + "/Brovanta/running.lock").c_str(), O_RDONLY | O_CLOEXEC);
    seen.shared = other >= 0 && flock(other, LOCK_SH | LOCK_NB) == 0;
    if (other >= 0)
        close(other);
    loop.quit = 1;
}

// n empty track folders "<prefix><i>" in tracks, each made after the one before.
void track_folders(const std::string& user, const std::string& prefix, int n)
{
    for (int i = 0; i < n; ++i)
        bvtest::write_file(user + "/tracks/" + prefix + std::to_string(i) + "/terrain.hf", "x");
}

// Championship "P<k>" of three events, each of 81 results, every byte of it read (no
// line break after the last).
std::string championship(int k)
{
    std::string event = "e tracks/sample 0 1";
    for (int i = 0; i < 80; ++i)
        event += " 1";
    return "P" + std::to_string(k) + " 0 Novice 3 " + event + " " + event + " " + event;
}

// Four championships, each in a top folder of its own ("p0/a.series" to "p3/...").
void four_championships(const std::string& user)
{
    for (int k = 0; k < 4; ++k)
        bvtest::write_file(user + "/p" + std::to_string(k) + "/a.series", championship(k));
}

}  // namespace

// Beside the player's plain track "tracks/mytrack" (title "Mine"), through the
// program's start and exit: a zip unpacked at the top as "Tracks/" or "TRACKS/", a
// download "tracks/MyTrack" that came first, archives naming the player's track's
// files, floods in "tracks" that the list's cut once counted (links, names the listing
// refuses, more names than the listing once read there), a series pack in "series"
// and championships spread over many top folders. None supplies, replaces or hides
// the player's track or the bundled championship; each left out says so in one line;
// config keeps the player's track. The cut's bound (lowered to 8 downloads in
// "tracks") and the series' bounds in all (lowered to 9 events, or to the bytes of
// three championships) are tried on both sides.
TEST(Startup, NoOtherDownloadSuppliesReplacesOrHidesThePlayersTrack)
{
    bvtest::XvfbServer server;
    BV_REQUIRE_XVFB(server);
    const std::string mine = "tracks/mytrack=Mine;";
    const std::string bundled = "Brovanta Valley Championship;";
    const struct {
        const char* name;
        std::function<void(const std::string& user)> before;   // made before the player's track
        std::string titles;
        std::string series;
        const char* line;            // a line the start says, "" for none
        long names_at_least = 0;     // names read
        int32_t series_events = kSeriesMaxEventsFromDownloads;   // what all downloads may bring
        uint32_t series_bytes = kSeriesMaxBytesFromDownloads;
    } rows[] = {
        {"a top folder spelt Tracks",
         [](const std::string& user) {
             for (const char* top : {"/Tracks", "/TRACKS"}) {
                 bvtest::write_file(user + top + "/mytrack/nofrills.js", "THEIR SCRIPT");
                 bvtest::write_file(user + top + "/mytrack/decals", "THEIR DECALS");
             }
             bvtest::write_file(user + "/Series/valley.series", "Theirs 0 Novice 0");
         },
         mine, bundled, "/Tracks: its name differs only by letter case from the game's folder \"tracks\""},
        {"a case twin that came first",
         [](const std::string& user) {
             bvtest::write_file(user + "/tracks/MyTrack/terrain.hf", "x");
             bvtest::write_file(user + "/tracks/MyTrack/desc", "Theirs");
             bvtest::write_file(user + "/tracks/MyTrack/nofrills.js", "THEIR SCRIPT");
             bvtest::write_file(user + "/tracks/MyTrack/decals", "THEIR DECALS");
         },
         mine + "tracks/MyTrack=Theirs;", bundled, ""},
        {"archives naming the player's track's files",
         [](const std::string& user) {
             const std::string pack = bvtest::saf_bytes({{"tracks/mytrack/nofrills.js", "THEIR SCRIPT"},
                                                         {"Tracks/mytrack/decals", "THEIR DECALS"},
                                                         {"tracks/theirs/terrain.hf", "x"}});
             bvtest::write_file(user + "/pack.saf", pack);
             bvtest::write_file(user + "/tracks/aaa.saf", pack);
         },
         mine + "tracks/theirs=tracks/theirs;", bundled,
         "pack.saf: 2 entries left out: they lie in tracks/mytrack, a track the user folder holds as a folder"},
        {"archives naming the bundled track's files",
         [](const std::string& user) {
             const std::string pack = bvtest::saf_bytes({{"tracks/flat/nofrills.js", "INJECTED SCRIPT"},
                                                         {"Tracks/flat/decals", "THEIR DECALS"}});
             bvtest::write_file(user + "/pack.saf", pack);
             bvtest::write_file(user + "/tracks/evil.saf", pack);
         },
         mine, bundled, "tracks/evil.saf: 2 entries left out: they lie in tracks/flat, a track of the game's own"},
        {"links in tracks",
         [](const std::string& user) {
             for (int i = 0; i < 12; ++i)
                 symlink("../..", (user + "/tracks/link" + std::to_string(i)).c_str());
         },
         mine, bundled, ""},
        {"names the listing refuses",
         [](const std::string& user) { track_folders(user, "bad\x01", 12); }, mine, bundled, ""},
        {"downloads at the bound",
         [](const std::string& user) { track_folders(user, "f", 7); },
         mine + "tracks/f0=tracks/f0;tracks/f1=tracks/f1;tracks/f2=tracks/f2;tracks/f3=tracks/f3;tracks/f4=tracks/f4;"
         "tracks/f5=tracks/f5;tracks/f6=tracks/f6;",
         bundled, ""},
        {"downloads past the bound",
         [](const std::string& user) { track_folders(user, "f", 8); },
         "tracks/f0=tracks/f0;tracks/f1=tracks/f1;tracks/f2=tracks/f2;tracks/f3=tracks/f3;tracks/f4=tracks/f4;"
         "tracks/f5=tracks/f5;tracks/f6=tracks/f6;tracks/f7=tracks/f7;",
         bundled, "/tracks: the newest downloads past 8 left out: 1, the newest mytrack\n"},
        {"more names in tracks than the listing once read",
         [](const std::string& user) {
             for (int i = 0; i < 150; ++i)
                 symlink("x", (user + "/tracks/n" + std::to_string(i)).c_str());
         },
         mine, bundled, "", 151},
        {"a series pack in series",
         [](const std::string& user) {
             bvtest::write_file(user + "/series/valley.series", "Theirs 0 Novice 0");
             bvtest::write_file(user + "/series/cup.series", "Cup 0 Novice 0");
         },
         mine, "Cup;" + bundled,
         "Series series/valley.series from @U@/series left out: the game's own of that name is read"},
        {"championships in many top folders", four_championships, mine, "P0;P1;P2;" + bundled,
         "Series p3/a.series refused: series from downloads past their events in all", 0, 9},
        {"championships in many top folders, by their bytes", four_championships, mine, "P0;P1;P2;" + bundled,
         "Series p3/a.series refused: series from downloads past their bytes in all", 0,
         kSeriesMaxEventsFromDownloads, uint32_t(3 * championship(0).size())},
    };
    for (const auto& row : rows) {
        TempDir home;
        bvtest::in_fresh_process([&] {
            bvtest::Problems p;
            const std::string user = home / "xdg/Brovanta";
            bvtest::make_dirs(user + "/tracks");
            row.before(user);
            bvtest::write_file(user + "/tracks/mytrack/terrain.hf", "x");
            bvtest::write_file(user + "/tracks/mytrack/desc", "Mine");
            bvtest::write_file(user + "/series/valley.series_standings", "3 1 2 4 5 6 7 8 9 \n");
            bvtest::write_file(user + "/config", "video_mode=Windowed\nxres=320\nyres=240\ntrack=tracks/mytrack\n");
            start_in_process(home);
            start_bounds bounds;
            bounds.listing.track_folders = 8;
            bounds.listing.names = 100;
            bounds.series.events = row.series_events;
            bounds.series.bytes = row.series_bytes;
            loop_io.frame_observer = look_and_quit;
            front_end_install();
            const char* argv[] = {"brovanta", nullptr};
            const std::string what = std::string(row.name) + ": ";
            ConsoleCapture console;
            p.check(brovanta_main(1, const_cast<char**>(argv), bounds) == 0, what + "the run failed");
            const std::string log = console.text();
            p.same(seen.titles, row.titles, what + "the tracks listed");
            p.same(seen.script, "(none)", what + "the player's track's script");
            p.same(seen.decals, "(none)", what + "the player's track's decals");
            p.same(seen.bundled, "(none);(none)", what + "the bundled track's script and decals");
            p.same(seen.series, row.series, what + "the series listed");
            p.check(seen.shared, what + "the running copy keeps the lock to itself");
            std::string line = row.line;
            if (const size_t at = line.find("@U@"); at != std::string::npos)
                line.replace(at, 3, user);
            p.check(bvtest::has(log, line), what + "no line " + line + "\n" + bvtest::listing_lines(log));
            p.check(seen.names_read >= row.names_at_least && !bvtest::has(log, "/tracks: names past"),
                    what + "tracks cut in the order its names were read: " + std::to_string(seen.names_read));
            const bool kept = row.titles.find(mine) != std::string::npos;
            p.check(bvtest::has(bvtest::read_file(user + "/config"), "\ntrack=tracks/mytrack\n") == kept,
                    what + "the config's track");
            return p.text;
        });
    }
}

namespace {

std::string load_seen, choice_seen;

void note_track_and_quit()
{
    if (++frames_seen != 3)
        return;
    load_seen = track_load_failure();
    choice_seen = track_choice_folder() ? track_choice_folder() : "(none)";
    loop.quit = 1;
}

}  // namespace

// A track that the command line and the config name by another letter case than its
// folder's is found when it is the one track so spelt but for case, with one line;
// where two folders differ only by case (two tracks) neither is taken for it.
TEST(Startup, AStoredTrackNameFindsItsOneTrackWhateverItsLetterCase)
{
    bvtest::XvfbServer server;
    BV_REQUIRE_XVFB(server);
    for (const bool twins : {false, true}) {
        TempDir home;
        bvtest::in_fresh_process([&] {
            bvtest::Problems p;
            const std::string user = home / "xdg/Brovanta";
            // Not a ground that loads: the load's line names the folder it tried.
            for (const char* folder : {"mytrack", "MYTRACK"})
                if (folder[0] == 'm' || twins)
                    bvtest::write_file(user + "/tracks/" + folder + "/terrain.hf", "x");
            bvtest::write_file(user + "/config", "video_mode=Windowed\nxres=320\nyres=240\ntrack=tracks/MyTrack\n");
            start_in_process(home);
            loop_io.frame_observer = note_track_and_quit;
            front_end_install();
            const char* argv[] = {"brovanta", "--track", "tracks/MyTrack", nullptr};
            const std::string what = twins ? "two folders but for case: " : "one folder but for case: ";
            ConsoleCapture console;
            p.check(brovanta_main(3, const_cast<char**>(argv)) == 0, what + "the run failed");
            p.same(load_seen, twins ? "Can't load track 'tracks/MyTrack'" : "Can't load track 'tracks/mytrack'",
                   what + "the load");
            p.check((choice_seen == "tracks/mytrack") != twins, what + "the track chosen: " + choice_seen);
            const std::string line = twins ? "Track 'tracks/MyTrack' not found: 2 tracks differ from it only by letter case"
                                           : "Track 'tracks/MyTrack' is 'tracks/mytrack'";
            p.check(bvtest::has(console.text(), line), what + "no line " + line);
            return p.text;
        });
    }
}

namespace {

struct editor_seen {
    std::string status;
    bool planted_kept = false, own_kept = false, own_written = false;
    std::string planted;
} in_editor;

// In the editor on the sample, with a write of this copy's own in flight in the track
// folder: one save, then the program's own exit.
void save_and_quit()
{
    if (++frames_seen != 5)
        return;
    whole_file w;
    const bool open = whole_file_open("@tracks/sample/lastlap.bvdemo", &w) == 1 && vfs_puts(w.f, "half") >= 0 &&
                      vfs_flush(w.f) == 0;
    editor_save();
    in_editor.status = editor_state.status_text ? editor_state.status_text : "";
    in_editor.planted_kept = bvtest::file_exists(in_editor.planted);
    const data_place& at = w.fresh.place;
    in_editor.own_kept = open && bvtest::file_exists(at.target.substr(0, at.target.size() - at.leaf.size()) + w.fresh.temp_leaf);
    in_editor.own_written = open && whole_file_close(&w, true) == 1;
    loop.quit = 1;
}

}  // namespace

// The editor's save sweeps the track's folder only while no other copy of the game
// runs, and never a write of this copy's own still under way: with another copy
// holding the running lock, the leftover-named file of its write in flight stays;
// alone, a killed write's leftover goes. Either way this copy's own recording in the
// track folder, in flight across the save, is kept and placed.
TEST(Startup, TheEditorsSaveSweepsNoWriteInFlight)
{
    bvtest::XvfbServer server;
    BV_REQUIRE_XVFB(server);
    for (const bool other_copy : {true, false}) {
        TempDir home;
        bvtest::in_fresh_process([&] {
            bvtest::Problems p;
            const std::string user = home / "xdg/Brovanta";
            in_editor.planted = user + "/tracks/sample/decals.tmp-0123456789ab";
            bvtest::write_file(in_editor.planted, "another copy's write in flight");
            // A stranger's archive naming the bundled track's decals: none of them is saved
            // into the player's copy of the track.
            std::string theirs;
            for (int i = 0; i < 3; ++i)
                theirs += "[123.25 45" + std::to_string(i) + ".75] 0.5 4.0 0.5 @decals/start_line.png\n";
            bvtest::write_file(user + "/pack.saf", bvtest::saf_bytes({{"tracks/sample/decals", theirs}}));
            bvtest::write_file(user + "/config", "video_mode=Windowed\nxres=320\nyres=240\ntrack=tracks/sample\n");
            const int other = open((user + "/running.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
            if (other_copy)
                p.check(flock(other, LOCK_SH) == 0, "the other copy's lock");
            start_in_process(home);
            loop_io.frame_observer = save_and_quit;
            view_install();
            front_end_install();
            editor_install();
            const char* argv[] = {"brovanta", "--editor", "--track", "tracks/sample", nullptr};
            const std::string what = other_copy ? "another copy running: " : "alone: ";
            p.check(brovanta_main(4, const_cast<char**>(argv)) == 0, what + "the run failed");
            p.same(in_editor.status, "Saved!", what + "the save");
            p.check(!bvtest::has(bvtest::read_file(user + "/tracks/sample/decals"), "123.25"),
                    what + "an archive's decals saved into the bundled track");
            p.check(in_editor.planted_kept == other_copy, what + (other_copy ? "its write in flight swept" : "a leftover kept"));
            p.check(in_editor.own_kept, what + "this copy's own write in flight swept");
            p.check(in_editor.own_written && bvtest::read_file(user + "/tracks/sample/lastlap.bvdemo") == "half",
                    what + "this copy's own recording lost");
            return p.text;
        });
    }
}

// The eight files a track's digest reads ahead of its shapes, as a download of a few
// bytes unpacks them (sparse, 3 GiB each), started with "--track": each is refused in
// one line naming its reader's bound, nothing is read while scanning, and no track loads.
TEST(Startup, TheFilesOfATrackPastTheirReadersBoundsAreRefusedUnread)
{
    bvtest::XvfbServer server;
    BV_REQUIRE_XVFB(server);
    TempDir home;
    bvtest::in_fresh_process([&] {
        bvtest::Problems p;
        const uint32_t bounds[] = {kHeightsFileMax, kGray16PictureMax, kTextureListMax,     kTileMapMax,
                                   kTileInfoMax,    kFileToStringMax,  kTimingGatesFileMax, kStatuesFileMax};
        std::string lines;
        for (int i = 0; i < 8; ++i) {
            const std::string name = std::string("tracks/huge/") + kTrackHashFiles[i];
            bvtest::write_file(home / "xdg/Brovanta/" + name, "");
            p.check(truncate((home / "xdg/Brovanta/" + name).c_str(), off_t(3) << 30) == 0, name + " not made");
            lines += "Track hash: " + name + " refused: longer than " + std::to_string(bounds[i]) + " bytes\n";
        }
        bvtest::write_file(home / "xdg/Brovanta/config", "video_mode=Windowed\nxres=320\nyres=240\n");
        start_in_process(home);
        loop_io.frame_observer = [] { loop.quit = ++frames_seen == 5 ? 1 : loop.quit; };
        front_end_install();
        static front_door_table shown;
        static long long scanned = 0;   // bytes read between the start and the end of "Scanning"
        shown = front_door;
        front_door.progress_log_reset = [](const char* m) {
            shown.progress_log_reset(m), scanned -= strcmp(m, "Scanning") ? 0 : bvtest::bytes_read();
        };
        front_door.progress_done = [](const char* m) {
            scanned += strcmp(m, "Scanning") ? 0 : bvtest::bytes_read(), shown.progress_done(m);
        };
        const char* argv[] = {"brovanta", "--track", "tracks/huge", nullptr};
        ConsoleCapture console;
        p.check(brovanta_main(3, const_cast<char**>(argv)) == 0, "the run failed");
        std::istringstream log(console.text());
        std::string refused;
        for (std::string line; std::getline(log, line);)
            refused += line.find(" refused: longer than ") != std::string::npos ? line + "\n" : "";
        for (size_t at = 0, end; (end = lines.find('\n', at)) != std::string::npos; at = end + 1)
            p.check(bvtest::has(refused, lines.substr(at, end + 1 - at)), "no line " + lines.substr(at, end - at));
        p.check(refused.size() == lines.size(), "the refusals:\n" + refused);
        p.check(scanned < 65536, std::to_string(scanned) + " bytes read while scanning");
        p.same(track_load_failure(), "Can't load track 'tracks/huge'", "the load");
        return p.text;
    });
}
