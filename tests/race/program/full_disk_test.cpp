// Files the program writes while it runs, on a full file system (a file-size limit, its
// signal ignored, so that writes fail as they do on a full disk): a screenshot, the
// results and the "--record-audio" recording are whole or absent, never cut, and a
// failure is said, not reported as a success; a screenshot never replaces a file.
#include "race/program/program_window.h"
#include "support/file_size_limit.h"
#include "support/fresh_process.h"
#include "support/xvfb_server.h"

#include "foundation/index/file_index.h"
#include "foundation/front_door.h"
#include "foundation/door/door_faults.h"
#include "gfx/fake_gl.h"
#include "race/program/audio_start.h"
#include "race/program/main_loop.h"
#include "race/race_results.h"
#include "race/race_state.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

using bvtest::FileSizeLimit;
using bvtest::TempDir;

namespace {

std::vector<std::string> names_in(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    return names;
}

std::vector<std::string> printed;

}  // namespace

TEST(FullDisk, ScreenshotAndResultsAreWholeOrAbsentAndAFailureIsSaid)
{
    TempDir root;
    bvtest::in_fresh_process([&] {
        bvtest::Problems p;
        bvtest::use_folders(root / "user", root / "game");
        const std::string user = root / "user/Brovanta";
        bvtest::write_file(user + "/results.txt", "the last race\r\n");
        fakegl::install();
        front_door.console_print = [](const char* text) { printed.emplace_back(text); };
        window_width = 64;
        window_height = 48;
        loop.screenshot_counter = 7;
        final_order.count = 0;
        {
            FileSizeLimit full(64);
            take_screenshot();
            p.check(results_file_write() == 0, "results.txt reported written on a full disk");
        }
        p.check(printed == std::vector<std::string>{"Can't save \"screenshot007.png\""},
                "the failed screenshot is said: " + (printed.empty() ? std::string("nothing") : printed.back()));
        p.same(bvtest::read_file(user + "/results.txt"), "the last race\r\n", "the old results untouched");
        const std::vector<std::string> left = names_in(user);
        p.check(left == std::vector<std::string>{"results.txt"}, "no cut picture or temporary file left behind");

        // With room again both are written whole.
        printed.clear();
        take_screenshot();
        p.check(printed == std::vector<std::string>{"Saved \"screenshot008.png\""}, "the next screenshot saved");
        p.same(bvtest::read_file(user + "/screenshot008.png").substr(1, 3), "PNG", "a picture");
        p.check(results_file_write() == 1, "results.txt written");
        p.same(bvtest::read_file(user + "/results.txt").substr(0, 5), "Time=", "the new results");
        return p.text;
    });
}

// The index may miss pictures that stand on disk (a listing cut short, or a copy that
// saved since), and a stranger's links to nothing or empty folders it never lists: a
// screenshot then takes the next name free on disk, never the place of the player's
// picture, of a link, a folder or a pipe, past a hundred thousand taken names in a row
// still, past one more none, with the line that says why; on a file system without the
// no-replace rename as well.
TEST(FullDisk, AScreenshotTakesANameFreeOnDiskWhateverTheIndexSays)
{
    enum class stands { file, folder, pipe, link };
    const struct {
        int taken;              // screenshot001.png on, beside the index's view
        stands at;              // what stands at 003 on
        bool noreplace;         // the file system renames without replacing
        int counter;            // the screenshot counter: 0 asks the index
        const char* said;
        int again;              // the counter for a second press; -1 as the first left it
        const char* then;       // what the second press says
    } cases[] = {
        {2, stands::file, true, 0, "Saved \"screenshot003.png\"", -1, "Saved \"screenshot004.png\""},
        {2, stands::file, false, 0, "Saved \"screenshot003.png\"", -1, "Saved \"screenshot004.png\""},
        {5, stands::pipe, false, 0, "Saved \"screenshot006.png\"", -1, "Saved \"screenshot007.png\""},
        {999, stands::folder, true, 3, "Saved \"screenshot1000.png\"", -1, "Saved \"screenshot1001.png\""},
        {2002, stands::link, true, 0, "Saved \"screenshot2003.png\"", -1, "Saved \"screenshot2004.png\""},
        {1003, stands::folder, true, 0, "Saved \"screenshot1004.png\"", -1, "Saved \"screenshot1005.png\""},
        {100000, stands::link, true, 0, "Saved \"screenshot100001.png\"", 1,
         "Can't save \"screenshot001.png\": every name from it to \"screenshot100001.png\" is taken"},
    };
    for (const auto& c : cases) {
        TempDir root;
        bvtest::in_fresh_process([&] {
            bvtest::Problems p;
            bvtest::use_folders(root / "user", root / "game");
            const std::string user = root / "user/Brovanta";
            bvtest::make_dirs(user);
            file_index_list();   // listed while the folder held no picture
            bvtest::write_file(user + "/screenshot001.png", "the player's picture");
            symlink((root / "elsewhere").c_str(), (user + "/screenshot002.png").c_str());
            char name[64];
            for (int n = 3; n <= c.taken; ++n) {
                snprintf(name, sizeof name, "/screenshot%03d.png", n);
                if (c.at == stands::file)
                    bvtest::write_file(user + name, "");
                else if (c.at == stands::folder)
                    bvtest::make_dirs(user + name);
                else if (c.at == stands::pipe)
                    mkfifo((user + name).c_str(), 0600);
                else
                    symlink((root / "elsewhere").c_str(), (user + name).c_str());
            }
            door_set_faults({.without_rename_noreplace = !c.noreplace});
            fakegl::install();
            printed.clear();
            front_door.console_print = [](const char* text) { printed.emplace_back(text); };
            window_width = 8;
            window_height = 6;
            loop.screenshot_counter = c.counter;
            take_screenshot();
            p.check(printed == std::vector<std::string>{c.said}, std::string("said ") + c.said + ", got " +
                                                                   (printed.empty() ? "nothing" : printed.back()));
            snprintf(name, sizeof name, "/screenshot%03d.png", c.taken + 1);
            p.same(bvtest::read_file(user + name).substr(0, 4), "\x89PNG", std::string("a picture at ") + name);
            if (c.again >= 0)
                loop.screenshot_counter = c.again;
            printed.clear();
            take_screenshot();
            p.check(printed == std::vector<std::string>{c.then}, std::string("then ") + c.then + ", got " +
                                                                   (printed.empty() ? "nothing" : printed.back()));
            p.same(bvtest::read_file(user + "/screenshot001.png"), "the player's picture", "the player's picture");
            p.check(std::filesystem::is_symlink(user + "/screenshot002.png") && !std::filesystem::exists(root / "elsewhere"),
                    "the link stays a link to nothing");
            const size_t saved = std::string(c.then).rfind("Saved", 0) == 0 ? 2 : 1;
            p.check(names_in(user).size() == size_t(c.taken) + saved, "a picture more for each saved, no temporary");
            return p.text;
        });
    }
}

// A results.txt that is a link to a file elsewhere in the user folder is replaced by
// the new file, and the file it named keeps its bytes; a recording the player named on
// the command line as a link to a file anywhere stays a link, and the file it names
// takes the new bytes. No temporary file is left beside either.
TEST(FullDisk, ResultsReplaceALinkAndARecordingWritesThroughOne)
{
    TempDir root;
    bvtest::in_fresh_process([&] {
        bvtest::Problems p;
        bvtest::use_folders(root / "user", root / "game");
        const std::string user = root / "user/Brovanta";
        const std::string kept = user + "/kept";
        bvtest::write_file(kept + "/results.txt", "the last race\r\n");
        bvtest::write_file(kept + "/race.raw", "an old recording");
        bvtest::make_dirs(user);
        symlink((kept + "/results.txt").c_str(), (user + "/results.txt").c_str());
        symlink((kept + "/race.raw").c_str(), (root / "race.raw").c_str());
        final_order.count = 0;
        p.check(results_file_write() == 1, "results.txt written");
        p.check(!std::filesystem::is_symlink(user + "/results.txt"), "results.txt is still a link");
        p.same(bvtest::read_file(user + "/results.txt").substr(0, 5), "Time=", "the new results");
        p.same(bvtest::read_file(kept + "/results.txt"), "the last race\r\n", "the linked file");

        const std::string path = root / "race.raw";
        audio_request request;
        request.record_path = path.c_str();
        p.check(audio_start(request, nullptr) == 1 && audio_record_file, "recording");
        const std::vector<uint8_t> block(size_t(record_audio_block) * 2, 0x5a);
        audio_record_block(block.data());
        audio_record_block(block.data());
        audio_stop();
        p.check(std::filesystem::is_symlink(path), "the recording is still a link");
        p.same(bvtest::read_file(kept + "/race.raw"), std::string(block.size() * 2, '\x5a'), "the linked recording");
        p.check(names_in(kept).size() == 2 && names_in(user).size() == 2, "no temporary file left");
        return p.text;
    });
}

TEST(FullDisk, ARecordingThatCannotBeWrittenLeavesNoFileAndSaysSo)
{
    bvtest::XvfbServer server;
    BV_REQUIRE_XVFB(server);
    TempDir home;
    bvtest::WindowedRun run;
    {
        // Less than one tick's block: the first one already fails.
        FileSizeLimit full(1000);
        run = bvtest::run_and_close_window({bvtest::program_path, "--record-audio", home / "race.raw"},
                                           bvtest::program_env(home));
    }
    EXPECT_TRUE(run.window_seen);
    EXPECT_NE(run.result.err.find("Can't write " + (home / "race.raw") + " for --record-audio\n"), std::string::npos)
        << run.result.err;
    for (const std::string& name : names_in(home.path()))
        EXPECT_EQ(name.find("race.raw"), std::string::npos) << name << " left behind";
}
