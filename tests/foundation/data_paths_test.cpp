// Search folders and data paths, each scenario in a fresh process with its own
// XDG_DATA_HOME, HOME and BV_HOME.
#include <climits>
#include <filesystem>

#include <sys/resource.h>
#include <sys/stat.h>

#include "fixtures.h"
#include "foundation/data_name.h"
#include "foundation/data_paths.h"
#include "foundation/data_paths_internal.h"
#include "foundation/file_index.h"
#include "foundation/os_paths.h"
#include "foundation/ripemd160.h"
#include "foundation/text_util.h"
#include "foundation/whole_file.h"

namespace {

using namespace fixtures;

std::string folder(int i)
{
    const char* text = data_search_dir(i);
    return text ? text : "(none)";
}

TEST(SearchFolders, UserFolderThenGameFolderNormalised)
{
    char exe[PATH_MAX] = {};
    std::string program(exe, std::max<ssize_t>(readlink("/proc/self/exe", exe, sizeof exe - 1), 0));
    program.erase(program.rfind('/') + 1);
    const struct { const char *xdg, *home, *bv_home; std::string folder0, folder1; } cases[] = {
        {"/xdg//data/", "/h", "/games\\bv///", "/xdg/data/Brovanta/", "/games/bv/"},
        {"/xdg", "/h", "/games/bv", "/xdg/Brovanta/", "/games/bv/"},
        // A relative XDG_DATA_HOME is invalid; an empty BV_HOME counts as unset.
        {"relative", "/home/rider", "", "/home/rider/.local/share/Brovanta/", program},
        {nullptr, nullptr, "/games/bv", "/games/bv/", "(none)"},
    };
    for (const auto& c : cases) {
        in_fresh_process([&] {
            Problems p;
            set_env("XDG_DATA_HOME", c.xdg);
            set_env("HOME", c.home);
            set_env("BV_HOME", c.bv_home);
            p.same(folder(0), c.folder0, "folder 0");
            p.same(folder(1), c.folder1, "folder 1");
            p.same(folder(2), "(none)", "past the end");
            return p.text;
        });
    }
}

TEST(DataPaths, ReadsTakeTheBestCopyPlainOrPacked)
{
    in_fresh_folders([](Problems& p, const TempDir& user, const TempDir& game) {
        write_file(user / "Brovanta/config", "user");
        write_file(game / "config", "game");
        write_file(user / "Brovanta/tracks/hill/desc", "user desc");
        write_file(game / "tracks/hill/desc", "game desc");
        write_file(game / "notes.txt.gz", gzip_bytes("loose packed"));
        write_file(user / "Brovanta/dual.txt.gz", gzip_bytes("user packed"));
        write_file(game / "aaaa.saf", saf_bytes({{"both.txt.gz", gzip_bytes("better packed")}}));
        write_file(game / "zzzz.saf", saf_bytes({{"CONFIG", "archived"},
                                                 {"dual.txt", "archived plain"},
                                                 {"packed.txt.gz", gzip_bytes("archived packed")},
                                                 {"both.txt", "worse plain"},
                                                 {"tie.txt", "tie plain"},
                                                 {"tie.txt.gz", gzip_bytes("tie packed")}}));
        file_index_list();
        p.same(read_named("@config"), "user", "with both loose copies");
        p.same(read_all(vfs_open_in_folder("@tracks/hill", "desc", "rb")), "user desc", "a data folder's file");
        p.same(read_all(vfs_open_in_folder((game / "tracks/hill").c_str(), "desc", "rb")), "game desc",
               "a plain folder's file");
        p.same(read_all(vfs_open_in_folder("tracks/hill", "desc", "rb")), "user desc",
               "a relative folder is a data folder");
        p.same(read_named("@notes.txt"), "loose packed", "loose .gz");
        p.same(read_named("@dual.txt"), "user packed", "loose .gz before an archive entry");
        p.same(read_named("@packed.txt"), "archived packed", "archived .gz");
        p.same(read_named("@both.txt"), "better packed", ".gz of a better archive");
        p.same(read_named("@tie.txt"), "tie plain", "plain wins a tie");
        unlink((user / "Brovanta/config").c_str());
        p.same(read_named("@config"), "game", "without the user copy");
        // The index still lists both removed files; they must not hide the archive.
        unlink((game / "config").c_str());
        p.same(read_named("@Config"), "archived", "without any loose copy");
    });
}

TEST(DataPaths, ArchiveEntriesAreWindowsIntoTheArchive)
{
    in_fresh_folders([](Problems& p, const TempDir&, const TempDir& game) {
        std::string whole = gzip_bytes(random_bytes(30000, 5));
        size_t half = whole.size() / 2;
        write_file(game / "zzzz.saf", saf_bytes({{"ten.bin", "0123456789"}, {"after.bin", "ABCDEFGHIJ"},
                                                 {"cut.bin.gz", whole.substr(0, half)}, {"rest.bin", whole.substr(half)}}));
        file_index_list();
        vfs_file* f = vfs_open("@ten.bin", "rb");
        char buffer[100] = "(none)";
        p.check(f && vfs_read(f, buffer, 100) == 10 && vfs_getc(f) == -1, "a read of 100 from a 10-byte entry");
        p.check(f && vfs_seek(f, 10) == 0 && vfs_seek(f, 4) == 1 && vfs_gets(f, buffer, sizeof buffer), "seek");
        p.same(buffer, "456789", "gets to the entry's end");
        vfs_close(f);
        p.check(read_named("@cut.bin").size() < 30000, "a cut gzip entry read on into the next entry");
    });
}

TEST(DataPaths, WritesLandInFolderZeroAndOverlongPathsAreNotCut)
{
    in_fresh_folders([](Problems& p, const TempDir& user, const TempDir& game) {
        // The game folder text is the longer, so a name too long for folder 0 fits nowhere;
        // folder 0 is long enough that such a name is within the 255 characters a name
        // may have.
        const std::string deep = user / (std::string(150, 'u') + "/" + std::string(150, 'v'));
        use_folders(deep, game / (std::string(150, 'g') + "/" + std::string(160, 'h')));
        vfs_file* f = vfs_open_in_folder("@demos", "new.bvdemo", "w");
        vfs_puts(f, "done");
        vfs_close(f);
        p.same(read_file(deep + "/Brovanta/demos/new.bvdemo"), "done", "written file");

        std::string folder0 = data_search_dir(0);
        std::string sub = std::string(100, 's') + "/";
        std::string fits = sub;
        fits += std::string(511 - folder0.size() - fits.size(), 'f');
        p.check(vfs_open(("@" + fits + "g").c_str(), "wb") == nullptr, "a 512-character path opened");
        p.check(!bvtest::file_exists(folder0 + fits), "the overlong path was cut and created");
        f = vfs_open(("@" + fits).c_str(), "wb");
        p.check(f != nullptr, "a 511-character path did not open");
        vfs_close(f);
    });
}

TEST(Backups, EachSaveKeepsTheOldBytesUnderTheFirstFreeNumber)
{
    TempDir dir;
    std::string path = dir / "config";
    std::string versions[4];
    for (int v = 0; v < 4; ++v)
        versions[v] = random_bytes(150000 + v, 100 + v);  // more than one copy block
    write_file(path, versions[0]);
    for (int v = 1; v <= 3; ++v) {
        vfs_file* f = vfs_open(path.c_str(), "~wb");
        ASSERT_NE(f, nullptr);
        vfs_write(f, versions[v].data(), versions[v].size());
        vfs_close(f);
    }
    EXPECT_TRUE(read_file(path) == versions[3]);
    for (int d = 1; d <= 3; ++d)
        EXPECT_TRUE(read_file(path + ".~" + std::to_string(d) + "~") == versions[d - 1]) << "backup " << d;

    bvtest::make_dirs(path + ".~4~");  // taken by something that cannot be overwritten
    vfs_close(vfs_open(path.c_str(), "~w"));
    EXPECT_TRUE(read_file(path + ".~5~") == versions[3]);
    bvtest::make_dirs(dir / "folder");  // exists, but its bytes cannot be copied
    EXPECT_EQ(vfs_open((dir / "folder").c_str(), "~wb"), nullptr);
    EXPECT_FALSE(bvtest::file_exists(dir / "folder.~1~"));
}

TEST(Replace, AMissingSourceKeepsTheTarget)
{
    TempDir dir;
    write_file(dir / "default.bvdemo", "recording");
    write_file(dir / "best.bvdemo", "precious");
    EXPECT_EQ(vfs_replace((dir / "missing.bvdemo").c_str(), (dir / "best.bvdemo").c_str()), 0);
    EXPECT_EQ(read_file(dir / "best.bvdemo"), "precious");
    EXPECT_EQ(vfs_replace((dir / "default.bvdemo").c_str(), (dir / "best.bvdemo").c_str()), 1);
    EXPECT_EQ(read_file(dir / "best.bvdemo"), "recording");
    EXPECT_FALSE(bvtest::file_exists(dir / "default.bvdemo"));
}

TEST(UserFolder, IsMadeAndHandedToXdgOpenWithoutAShell)
{
    in_fresh_folders([](Problems& p, const TempDir& user, const TempDir& bin) {
        setenv("XDG_DATA_HOME", (user / "deep/my share").c_str(), 1);  // a shell would split it
        write_file(bin / "xdg-open", "#!/bin/sh\nprintf '%s|%s' \"$#\" \"$1\" > \"$0.tmp\" && mv \"$0.tmp\" \"$0.args\"\n");
        chmod((bin / "xdg-open").c_str(), 0755);
        setenv("PATH", (bin.path() + ":/usr/bin:/bin").c_str(), 1);
        open_user_folder();
        std::string folder = user / "deep/my share/Brovanta";
        struct stat st;
        p.check(stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode), "the user folder was not made");
        p.same(bvtest::read_file_once(bin / "xdg-open.args", "1|" + folder), "1|" + folder, "xdg-open's arguments");
        setenv("PATH", user.path().c_str(), 1);
        open_user_folder();  // no xdg-open anywhere: nothing happens
    });
}

TEST(StartupCheck, OffersTheLogFirstAndChecksTheBaseArchivesFirstMebibyte)
{
    in_fresh_folders([](Problems& p, const TempDir& user, const TempDir& game) {
        use_folders(user / "not/yet", game.path());
        unsetenv("QORL_LOGFILE");
        unsetenv("QORL_LOGFILE_FLAGS");
        std::string archive = saf_bytes({{"base.bin", random_bytes(1200000, 9)}});
        ripemd160_ctx ctx;
        ripemd160_init(&ctx);
        ripemd160_update(&ctx, archive.data(), 1048576);
        ripemd160_final(&ctx);
        char digest[41];
        ripemd160_to_hex(ctx.digest, digest);
        archive[1100000] = static_cast<char>(~archive[1100000]);  // past the checked part
        write_file(game / "zzzz.saf", archive);

        set_base_archive_digest(digest);
        p.check(startup_check_data() == 1, "the right digest did not match");
        std::string log_path = user / "not/yet/Brovanta/lastlog.txt";
        p.check(read_file(log_path).find("Logfile \"" + log_path + "\" opened") != std::string::npos,
                "the log did not open in the user folder");
        digest[5] = digest[5] == '0' ? '1' : '0';
        set_base_archive_digest(digest);
        p.check(startup_check_data() == 0, "a wrong digest matched");
    });
}

TEST(WorkingSet, RangeFollowsTheMachinesMemory)
{
    const uint64_t MiB = 1 << 20;
    const struct { uint64_t total; int result; uint32_t min, max; } cases[] = {
        {8192 * MiB, 1, 1073741824u, 2113929216u}, {1536 * MiB, 1, 1024 * MiB, 1504 * MiB},
        {512 * MiB, 1, 503316480u, 503316480u},    {64 * MiB, 1, 32 * MiB, 32 * MiB},
        {64 * MiB - 1, 0, 0, 0},
    };
    for (const auto& c : cases) {
        uint32_t min = 0, max = 0;
        EXPECT_EQ(working_set_range(c.total, &min, &max), c.result) << c.total;
        EXPECT_TRUE(min == c.min && max == c.max) << c.total << ": " << min << " - " << max;
    }
}

TEST(WorkingSet, TuningLogsOnlyWhatReallyHappened)
{
    in_fresh_folders([](Problems& p, const TempDir& dir, const TempDir&) {
        setenv("QORL_LOGFILE", (dir / "log.txt").c_str(), 1);
        int nice_before = getpriority(PRIO_PROCESS, 0);
        tune_process();
        int nice_after = getpriority(PRIO_PROCESS, 0);
        std::string log = read_file(dir / "log.txt");
        uint32_t min = 0, max = 0;
        working_set_range(os_total_memory(), &min, &max);
        p.check(log.find("Setting working set range to " + std::to_string(min) + " - " + std::to_string(max)) !=
                    std::string::npos, "no range line");
        p.check(log.find("Working set successfully updated") == std::string::npos, "claims a working-set update");
        bool claims_high = log.find("Priority successfully set to high\n") != std::string::npos;
        p.check(claims_high != (log.find("Priority set failed\n") != std::string::npos), "one priority outcome");
        p.check(claims_high == (nice_after <= -10 && nice_after <= nice_before), "the priority line is untrue");
    });
}

}  // namespace

// The door's write step: the player's own files (setups, key cameras, demos, config)
// are written through a link only when it leads to a file inside the user folder, and
// never through a folder on the way that leads out, a sibling folder whose name begins
// with the user folder's included.
TEST(DataDoor, WritesFollowNoLinkOutOfTheUserFolder)
{
    in_fresh_folders([](Problems& p, const TempDir& user, const TempDir&) {
        const std::string own = user / "Brovanta/";
        const std::string sibling = user / "Brovanta2/";
        const std::string outside = user / "outside/";
        for (const std::string& folder : {own + "setups", own + "demos", own + "kept", sibling, outside})
            bvtest::make_dirs(folder);
        write_file(outside + "precious", "PRECIOUS");
        write_file(sibling + "config", "SIBLING");
        write_file(own + "kept/fast", "old");
        symlink((outside + "precious").c_str(), (own + "setups/fast").c_str());
        symlink(outside.c_str(), (own + "keycam").c_str());
        symlink((outside + "precious").c_str(), (own + "demos/default.bvdemo").c_str());
        symlink((sibling + "config").c_str(), (own + "config").c_str());
        symlink((outside + "none").c_str(), (own + "setups/dangling").c_str());
        symlink((own + "kept/fast").c_str(), (own + "setups/inside").c_str());
        LogFile log;
        auto whole = [](const char* name) {
            return whole_file_write(name, [](vfs_file* f, void*) { return vfs_puts(f, "new") >= 0 ? 1 : 0; }, nullptr);
        };
        p.check(whole("@setups/fast") == 0, "a setup written through a link to a file outside");
        p.check(whole("@keycam/start") == 0, "a key camera written through a linked folder");
        p.check(vfs_open("@demos/default.bvdemo", "wb") == nullptr, "a demo opened through a link");
        p.check(vfs_replace("@keycam/start", "@keycam/end") == 0, "a rename through a linked folder");
        p.check(whole("@config") == 0, "config written into a sibling folder named like the user folder");
        p.check(whole("@setups/dangling") == 0, "a write through a link to nothing");
        p.same(read_file(outside + "precious"), "PRECIOUS", "the outside file");
        p.same(read_file(sibling + "config"), "SIBLING", "the sibling's file");
        p.check(!bvtest::file_exists(outside + "start") && !bvtest::file_exists(outside + "none"),
                "a file made outside");
        const std::string text = log.text();
        for (const char* link : {"setups/fast", "keycam/start", "demos/default.bvdemo", "config"})
            p.check(text.find("Write to " + own + link + " refused") != std::string::npos,
                    std::string("no line naming ") + link + ":\n" + text);

        // A link that stays inside is followed and stays a link.
        p.check(whole("@setups/inside") == 1, "a setup written through a link inside");
        p.same(read_file(own + "kept/fast"), "new", "the file the inside link names");
        p.check(std::filesystem::is_symlink(own + "setups/inside"), "the inside link kept");
    });
}

// The door's read step and its names: a name without "@" is looked up among the data
// folders, never against the working folder; a link out of a search folder is not read
// through; "//" and a trailing "/" are dropped like "."; a control character (DEL
// included) or a name past 255 characters is refused.
TEST(DataDoor, NamesAreLookedUpAmongTheDataFoldersOnly)
{
    in_fresh_folders([](Problems& p, const TempDir& user, const TempDir& game) {
        TempDir work;
        write_file(work / "statues/hay.png", "WORKING FOLDER");
        write_file(game / "statues/hay.png", "DATA");
        write_file(user / "outside.txt", "OUTSIDE");
        symlink((user / "outside.txt").c_str(), (game / "linked.txt").c_str());
        write_file(game / "real.txt", "REAL");
        symlink((game / "real.txt").c_str(), (game / "inside.txt").c_str());
        p.check(chdir(work.path().c_str()) == 0, "no working folder");
        p.same(read_named("statues/hay.png"), "DATA", "a name without \"@\"");
        p.same(read_named("@statues//hay.png"), "DATA", "a name with \"//\"");
        p.same(read_named("@statues/hay.png/"), "DATA", "a name with a trailing \"/\"");
        p.same(read_named("@linked.txt"), "(none)", "a link out of the game folder");
        p.same(read_named("@inside.txt"), "REAL", "a link inside the game folder");

        std::string normal;
        p.check(data_name_check("@statues//hay.png", &normal) == nullptr && normal == "@statues/hay.png",
                "the one spelling: " + normal);
        p.check(data_name_check("@/statues/hay.png", nullptr) != nullptr, "a leading \"/\" after \"@\"");
        p.check(data_name_check("/statues/hay.png", nullptr) != nullptr, "a leading \"/\"");
        p.check(data_name_check("@statues/h\x7f.png", nullptr) != nullptr, "DEL in a name");
        p.check(data_name_check("@statues/h~.png", nullptr) == nullptr, "the last printable character");
        const std::string name = std::string(250, 'n') + ".png";   // "@" and this: 255 characters
        write_file(game / name, "LONGEST");
        write_file(game / (name + "x"), "PAST");
        p.same(read_named("@" + name), "LONGEST", "a 255-character name");
        p.same(read_named("@" + name + "x"), "(none)", "a 256-character name");
        p.same(read_named(name), "LONGEST", "the same name without \"@\"");
        p.same(read_named(name + "x"), "(none)", "the longer one without \"@\"");
        // The listing leaves out what the door would not open, folders of such names too.
        const std::string deep = std::string(200, 'd') + "/" + std::string(53, 'e');   // 254 characters
        write_file(game / deep, "DEEP");
        write_file(game / (deep + "x"), "DEEPER");
        file_index_list();
        p.check(file_index_find(name.c_str()) >= 0, "a 255-character name not listed");
        p.check(file_index_find((name + "x").c_str()) < 0, "a 256-character name listed");
        p.check(file_index_find(deep.c_str()) >= 0, "a 255-character name below a folder not listed");
        p.check(file_index_find((deep + "x").c_str()) < 0, "a 256-character name below a folder listed");
    });
}
