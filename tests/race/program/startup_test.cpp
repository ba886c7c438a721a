// The program as a user starts it: finding (or not finding) its data, writing its
// log into the user data folder, and "--open-home".
#include "foundation/file_index.h"
#include "race/program/program_window.h"
#include "race/program/startup_lists.h"
#include "support/fresh_process.h"
#include "support/test_support.h"
#include "support/xvfb_server.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <sstream>

#include <fcntl.h>
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
