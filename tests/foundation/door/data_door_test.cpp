// The door: the search folders, backups, the read and write steps against links, pipes
// and swaps, the name check, the running lock; each scenario in a fresh process with its
// own XDG_DATA_HOME, HOME and BV_HOME.
#include <filesystem>

#include <sched.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/inotify.h>

#include "../fixtures.h"
#include "foundation/index/file_index.h"
#include "foundation/door/data_name.h"
#include "foundation/door/download.h"
#include "foundation/start/startup_check.h"
#include "foundation/door/search_folders.h"
#include "foundation/index/leftover_sweep.h"
#include "foundation/door/door_faults.h"
#include "foundation/door/temp_mark.h"
#include "foundation/door/whole_file.h"

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

// A data name's backups are made by the write step, in the folder it walked to: three
// saves of "@config" leave ".~1~" to ".~3~" beside it, each the file before that save;
// a link standing at the next backup's name is passed by, never written through; a
// link standing at the file is replaced with nothing kept of what it names; a
// backup that cannot be made (its name past 255 bytes) leaves the file as it was and
// opens nothing.
TEST(Backups, ADataNamesBackupsAreMadeInTheFolderWalkedTo)
{
    in_fresh_folders([](Problems& p, const TempDir& user, const TempDir&) {
        const std::string own = user / "Brovanta/";
        const auto save = [](const std::string& name, const std::string& text) {
            vfs_file* f = vfs_open(name.c_str(), "~wb");
            if (!f)
                return false;
            vfs_puts(f, text.c_str());
            return vfs_close(f) == 0;
        };
        write_file(own + "config", "v0");
        for (int v = 1; v <= 3; ++v)
            p.check(save("@config", "v" + std::to_string(v)), "save " + std::to_string(v));
        p.same(read_file(own + "config"), "v3", "the file");
        for (int d = 1; d <= 3; ++d)
            p.same(read_file(own + "config.~" + std::to_string(d) + "~"), "v" + std::to_string(d - 1),
                   "backup " + std::to_string(d));
        write_file(user / "outside", "OUTSIDE");
        p.check(symlink((user / "outside").c_str(), (own + "config.~4~").c_str()) == 0, "link planted");
        p.check(save("@config", "v4"), "save past a link");
        p.same(read_file(user / "outside"), "OUTSIDE", "the file the link names");
        p.same(read_file(own + "config.~5~"), "v3", "the backup past the link");
        // A link at the file itself is replaced, and what it names is neither written
        // nor copied into a backup.
        std::filesystem::remove(own + "config");
        p.check(symlink((user / "outside").c_str(), (own + "config").c_str()) == 0, "link at the file planted");
        p.check(save("@config", "v5"), "save over a link");
        p.check(!std::filesystem::is_symlink(own + "config"), "the link at the file kept");
        p.same(read_file(own + "config"), "v5", "the file that replaced the link");
        p.same(read_file(user / "outside"), "OUTSIDE", "the file the replaced link named");
        p.check(!bvtest::file_exists(own + "config.~6~"), "a backup made of what the link named");
        const std::string longest = std::string(252, 'n');
        write_file(own + longest, "OLD");
        p.check(!save("@" + longest, "NEW"), "opened with no backup made");
        p.same(read_file(own + longest), "OLD", "the file after a failed backup");
        int left = 0;
        for (const auto& e : std::filesystem::directory_iterator(own))
            left += e.path().filename().string().rfind(longest, 0) == 0 && e.path().filename() != longest;
        p.check(left == 0, "left beside it: " + std::to_string(left));
    });
}

}  // namespace

namespace {

// The writers of the player's files, each as its caller names its file: the whole-file
// writer (setups, key cameras, config, screenshots), a data name opened for writing
// (the recorded demo) and the fresh-file writer (standings). 1 when written.
struct writer {
    const char* what;
    const char* name;   // below the user folder
    int (*write)(const char* name);
};

int put_new(vfs_file* f, void*)
{
    return vfs_puts(f, "new") >= 0 ? 1 : 0;
}

int write_whole(const char* name)
{
    return whole_file_write(name, put_new, nullptr);
}

int write_fresh(const char* name)
{
    return fresh_file_write(name, put_new, nullptr);
}

int write_opened(const char* name)
{
    vfs_file* f = vfs_open(name, "wb");
    const bool ok = f && vfs_puts(f, "new") >= 0;
    return vfs_close(f) == 0 && ok ? 1 : 0;
}

const writer kWriters[] = {
    {"a setup", "setups/fast", write_whole},
    {"a key camera", "keycam/cam1", write_whole},
    {"the recorded demo", "demos/default.bvdemo", write_opened},
    {"the config", "config", write_whole},
    {"the standings", "series/champ.standings", write_fresh},
    {"a screenshot", "screenshot001.png", write_whole},
};

// The folder a writer's file lies in below the user folder, "" for one at the top.
std::string folder_of(const std::string& name)
{
    const size_t slash = name.rfind('/');
    return slash == std::string::npos ? std::string() : name.substr(0, slash);
}

// True when body ends within the time in a child process of its own (which is then
// killed), so that a write that blocks fails the test instead of hanging it; *code is
// the child's exit code then.
bool ends_within(double seconds, const std::function<void()>& body, int* code = nullptr)
{
    const pid_t child = fork();
    if (child == 0) {
        body();
        _exit(0);
    }
    int status = 0;
    for (int k = 0; k < int(seconds * 100); ++k) {
        if (waitpid(child, &status, WNOHANG) == child) {
            if (code)
                *code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            return true;
        }
        usleep(10000);
    }
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
    return false;
}

}  // namespace

// The door's write step: below the user folder a write never passes through a link. A
// link at the target is replaced, never followed, wherever it leads (inside the user
// folder to the player's own track ground, outside, to a sibling folder named like the
// user folder, to nothing); a link on the way refuses the write with one line naming
// it, even when it leads to a folder inside.
TEST(DataDoor, WritesReplaceALinkAtTheTargetAndRefuseOneOnTheWay)
{
    in_fresh_folders([](Problems& p, const TempDir& user, const TempDir&) {
        const std::string own = user / "Brovanta/";
        const std::string ground = own + "tracks/mytrack/terrain.hf";
        const std::string outside = user / "outside/";
        const std::string sibling = user / "Brovanta2/";
        write_file(ground, "GROUND");
        write_file(outside + "precious", "PRECIOUS");
        write_file(sibling + "config", "SIBLING");
        LogFile log;
        for (const writer& w : kWriters) {
            const std::string target = own + w.name;
            const std::string what = std::string(w.what) + ": ";
            const std::string folder = folder_of(w.name);
            if (!folder.empty())
                bvtest::make_dirs(own + folder);
            const std::string linked[] = {ground, outside + "precious", sibling + "config", outside + "none"};
            for (const std::string& to : linked) {
                std::filesystem::remove(target);
                symlink(to.c_str(), target.c_str());
                p.check(w.write(("@" + std::string(w.name)).c_str()) == 1, what + "a link at the target refused " + to);
                p.check(!std::filesystem::is_symlink(target), what + "the link to " + to + " kept");
                p.same(read_file(target), "new", what + "the new file");
            }
            p.same(read_file(ground), "GROUND", what + "the track ground");
            p.same(read_file(outside + "precious"), "PRECIOUS", what + "the outside file");
            p.same(read_file(sibling + "config"), "SIBLING", what + "the sibling's file");
            p.check(!bvtest::file_exists(outside + "none"), what + "a file made where a dangling link led");
            if (folder.empty())
                continue;   // nothing stands on the way to a file at the top
            // The file's folder a link to the track's folder, then to one outside.
            std::filesystem::remove_all(own + folder);
            for (const std::string& to : {own + "tracks/mytrack", outside}) {
                std::filesystem::remove(own + folder);
                symlink(to.c_str(), (own + folder).c_str());
                p.check(w.write(("@" + std::string(w.name)).c_str()) == 0, what + "written through a linked folder");
                p.check(log.text().find("Write to " + target + " refused: a link stands on the way at " + own + folder) !=
                            std::string::npos, what + "no line naming the link:\n" + log.text());
            }
            std::filesystem::remove(own + folder);
            p.same(read_file(ground), "GROUND", what + "the track ground through the folder");
            p.check(!bvtest::file_exists(own + "tracks/mytrack/" + (std::string(w.name).substr(folder.size() + 1))) &&
                        !bvtest::file_exists(outside + std::string(w.name).substr(folder.size() + 1)),
                    what + "a file made through the linked folder");
        }
        symlink(outside.c_str(), (own + "keycam").c_str());
        p.check(vfs_replace("@keycam/start", "@keycam/end") == 0, "a rename through a linked folder");
        p.check(!bvtest::file_exists(outside + "start") && !bvtest::file_exists(outside + "end"), "a file made outside");
    });
}

// A pipe (or device) at a writer's target is replaced by the new file: nothing opens it,
// so no write waits for a reader. A folder there refuses the write with one line.
TEST(DataDoor, APipeAtTheTargetIsReplacedAndAFolderRefused)
{
    in_fresh_folders([](Problems& p, const TempDir& user, const TempDir&) {
        const std::string own = user / "Brovanta/";
        LogFile log;
        for (const writer& w : kWriters) {
            const std::string target = own + w.name;
            const std::string what = std::string(w.what) + ": ";
            bvtest::make_dirs(own + folder_of(w.name));
            mkfifo(target.c_str(), 0600);
            const std::string name = "@" + std::string(w.name);
            p.check(ends_within(2.0, [&] { _exit(w.write(name.c_str()) == 1 ? 0 : 1); }), what + "the write waited");
            const bool replaced = std::filesystem::is_regular_file(std::filesystem::symlink_status(target));
            p.check(replaced, what + "the pipe still stands");
            p.same(replaced ? read_file(target) : "(a pipe)", "new", what + "the file in the pipe's place");
            std::filesystem::remove(target);
            bvtest::make_dirs(target);
            p.check(w.write(name.c_str()) == 0, what + "written over a folder");
            p.check(log.text().find("Write to " + target + " refused: a folder stands there") != std::string::npos,
                    what + "no line for the folder");
            std::filesystem::remove(target);
        }
    });
}

// A folder swapped for a link between the walk's steps: the write lands in the folder
// the walk holds open, or is refused, and nothing is written where the link leads.
TEST(DataDoor, AFolderSwappedForALinkMidWriteSendsNothingOutside)
{
    in_fresh_folders([](Problems& p, const TempDir& user, const TempDir&) {
        static std::string own, outside, swap_at;
        own = user / "Brovanta/";
        bvtest::make_dirs(own + "tracks");
        outside = user / "outside";
        bvtest::make_dirs(outside);
        bvtest::make_dirs(own + "setups");
        const auto swap = [](const std::string& path) {
            if (path != swap_at)
                return;
            swap_at.clear();
            std::filesystem::rename(own + "setups", own + "setups.old");
            symlink(outside.c_str(), (own + "setups").c_str());
        };
        door_set_faults(under_kernel({.before_open = swap}));
        // Just before the walk opens the folder: the link is met, and refused.
        swap_at = own + "setups";
        p.check(write_whole("@setups/fast") == 0, "written through the folder swapped before its open");
        p.check(swap_at.empty(), "the seam before the open was not reached");
        std::filesystem::remove(own + "setups");
        std::filesystem::rename(own + "setups.old", own + "setups");
        // Once the folder is open, before the temporary is made: it lands in the folder.
        swap_at = own + "setups/";
        p.check(write_whole("@setups/fast") == 1, "the write into the folder held open failed");
        p.check(swap_at.empty(), "the seam before the temporary was not reached");
        p.same(read_file(own + "setups.old/fast"), "new", "the file in the folder the walk held");
        p.check(std::filesystem::is_empty(outside), "a file written where the link leads");
        // A read: another file put at the name between the look at it and its open is
        // not the file checked, and is not read.
        std::filesystem::remove(own + "setups");
        std::filesystem::rename(own + "setups.old", own + "setups");
        write_file(own + "setups/mine", "MINE");
        write_file(outside + "/theirs", "THEIRS");
        swap_at = own + "setups/mine";
        static const auto put_theirs = [] {
            link((outside + "/theirs").c_str(), (own + "setups/new").c_str());
            std::filesystem::rename(own + "setups/new", own + "setups/mine");
        };
        door_set_faults(under_kernel({.before_open = [](const std::string& path) {
            if (path == swap_at) {
                swap_at.clear();
                put_theirs();
            }
        }}));
        p.same(read_named("@setups/mine"), "(none)", "a file put at the name after its look");
        p.check(swap_at.empty(), "the seam between the look and the open was not reached");
        // Removed and made again between the look and the open: the file system may hand
        // the freed inode to the new file at once, unless the look still holds it.
        door_set_faults(under_kernel({.before_open = [](const std::string& path) {
            if (path == swap_at) {
                swap_at.clear();
                unlink(path.c_str());
                write_file(path, "THEIRS");
            }
        }}));
        int read_as_checked = 0;
        for (int i = 0; i < 50; ++i) {
            write_file(own + "setups/again", "MINE");
            swap_at = own + "setups/again";
            read_as_checked += read_named("@setups/again") != "(none)" ? 1 : 0;
        }
        p.check(read_as_checked == 0, "files made again after their look read: " + std::to_string(read_as_checked) +
                                          " of 50");
        // The start's listing: a folder it found real and would sweep, swapped for a link
        // before it is opened, is not entered, and nothing where the link leads is swept.
        write_file(outside + "/far/x.tmp-0123456789ab", "FAR");
        write_file(own + "tracks/t/terrain.hf", "");
        swap_at = own + "tracks/t";
        door_set_faults(under_kernel({.before_open = [](const std::string& path) {
            if (path == swap_at) {
                swap_at.clear();
                std::filesystem::rename(own + "tracks/t", own + "tracks/t.old");
                symlink((outside + "/far").c_str(), (own + "tracks/t").c_str());
            }
        }}));
        file_index_build(kListingBounds, true);
        door_set_faults(under_kernel({}));
        p.check(swap_at.empty(), "the seam before the listing's open was not reached");
        p.same(read_file(outside + "/far/x.tmp-0123456789ab"), "FAR", "swept where the link leads");
        p.check(file_index_find("tracks/t/x.tmp-0123456789ab") < 0, "listed where the link leads");
    });
}

// The longest names the door takes are written under every writer: the temporary's
// name is cut to the file system's 255 bytes and still ends as a leftover's does, so
// the sweep finds what a killed write left.
TEST(DataDoor, TheLongestNamesAreWrittenAndTheirTemporariesFit)
{
    in_fresh_folders([](Problems& p, const TempDir& user, const TempDir&) {
        const std::string own = user / "Brovanta/";
        for (const writer& w : kWriters) {
            const std::string folder = folder_of(w.name);
            const std::string prefix = folder.empty() ? "" : folder + "/";
            const std::string name = prefix + std::string(kDataNameMax - 1 - prefix.size(), 'n');
            p.check(w.write(("@" + name).c_str()) == 1, std::string(w.what) + ": the longest name not written");
            p.same(read_file(own + name), "new", std::string(w.what) + ": the longest name's file");
        }
        // Both sides of the cut: a last component of 237 bytes is kept whole.
        for (const size_t length : {size_t(1), size_t(237), size_t(238), size_t(254)}) {
            const std::string leaf = std::string(length, 'c');
            const std::string temp = own + temp_mark_leaf(leaf);
            const std::string temp_leaf = temp.substr(own.size());
            const size_t kept = std::min<size_t>(length, 237);
            p.check(temp.compare(0, own.size(), own) == 0 && temp_leaf.size() == kept + 17 &&
                        temp_leaf.compare(0, kept + 5, leaf.substr(0, kept) + ".tmp-") == 0,
                    "the temporary of a " + std::to_string(length) + "-byte name: " + temp_leaf);
            write_file(temp, "half");
        }
        p.check(leftover_sweep_folder(own.substr(0, own.size() - 1)) == 4, "the long leftovers not swept");
        // A save's sweep reads as many names as the listing reads in a folder (3 here).
        for (const int names : {3, 30}) {
            for (int i = 0; i < names; ++i)
                write_file(own + "keycam/k" + std::to_string(i) + "-" + std::to_string(names), "");
            const long before = file_index_work_done().names_read;
            leftover_sweep_folder("@keycam", 3);
            const long read = file_index_work_done().names_read - before;
            p.check(read <= 4, std::to_string(names) + " names: the sweep read " + std::to_string(read));
        }
        // A name of two-byte letters is cut between letters, never inside one: 119
        // Cyrillic letters (238 bytes) keep 118, and 118 keep them all.
        for (const int letters : {118, 119}) {
            std::string leaf;
            for (int i = 0; i < letters; ++i)
                leaf += "\xd0\xb6";
            const std::string temp_leaf = temp_mark_leaf(leaf);
            p.check(temp_leaf.compare(0, 236, leaf, 0, 236) == 0 && temp_leaf.size() == 236 + 17 &&
                        temp_leaf.compare(236, 5, ".tmp-") == 0,
                    std::to_string(letters) + " two-byte letters: the temporary's name " + data_name_shown(temp_leaf.c_str()));
        }
    });
}

// With no user folder the program's own folder never stands in for it: nothing is
// written or swept there, and one line says why.
TEST(DataDoor, WithoutAUserFolderNothingIsWrittenOrSwept)
{
    in_fresh_process([] {
        Problems p;
        TempDir game, logs;
        unsetenv("XDG_DATA_HOME");
        unsetenv("HOME");
        setenv("BV_HOME", game.path().c_str(), 1);
        setenv("QORL_LOGFILE", (logs / "log.txt").c_str(), 1);
        write_file(game / "config.tmp-0123456789ab", "a leftover");
        for (const writer& w : kWriters)
            p.check(w.write(("@" + std::string(w.name)).c_str()) == 0, std::string(w.what) + " written");
        p.check(!data_user_folder_known(), "a user folder found");
        p.check(leftover_sweep_folder(game.path()) == 0, "the program's folder swept");
        p.check(bvtest::file_exists(game / "config.tmp-0123456789ab"), "the leftover removed");
        p.check(!bvtest::file_exists(game / "config") && !bvtest::file_exists(game / "setups"),
                "a file written in the program's folder");
        const std::string log = read_file(logs / "log.txt");
        p.check(log.find("No user folder: neither XDG_DATA_HOME nor HOME names one, so nothing is written or swept") !=
                    std::string::npos, "no line saying why:\n" + log);
        return p.text;
    });
}

// The log's file, the config and the base archive are opened by the door as every data
// file is: a link at "lastlog.txt" is replaced, a config link leading outside is
// neither read nor written through, and a pipe named like the base archive ends the
// check instead of waiting.
TEST(DataDoor, TheLogConfigAndBaseArchiveGoThroughTheDoor)
{
    in_fresh_folders([](Problems& p, const TempDir& user, const TempDir& game) {
        unsetenv("QORL_LOGFILE");
        const std::string own = user / "Brovanta/";
        write_file(user / "outside/log.txt", "OUTSIDE LOG");
        write_file(user / "outside/config", "OUTSIDE CONFIG");
        bvtest::make_dirs(own);
        symlink((user / "outside/log.txt").c_str(), (own + "lastlog.txt").c_str());
        symlink((user / "outside/config").c_str(), (own + "config").c_str());
        mkfifo((game / "zzzz.saf").c_str(), 0600);
        set_base_archive_digest(std::string(40, '0').c_str());
        int matched = -1;
        p.check(ends_within(2.0, [] { _exit(startup_check_data()); }, &matched), "the check waited on a pipe");
        p.check(matched == 0, "a pipe taken for the base archive");
        p.same(read_file(user / "outside/log.txt"), "OUTSIDE LOG", "the file the log's link named");
        p.check(!std::filesystem::is_symlink(own + "lastlog.txt") &&
                    read_file(own + "lastlog.txt").find("Logfile \"" + own + "lastlog.txt\" opened") != std::string::npos,
                "the log is not a new file in the user folder");

        vfs_file* f = nullptr;
        p.check(vfs_open_own(&f, "@config") == 0 && !f, "the config read through a link leading outside");
        p.check(write_whole("@config") == 1, "the config not written in the link's place");
        p.same(read_file(user / "outside/config"), "OUTSIDE CONFIG", "the outside file");
        p.check(vfs_open_own(&f, "@config") == 1 && read_all(f) == "new", "the config written is not the one read");
        bvtest::make_dirs(own + "setups/config");
        p.check(vfs_open_own(&f, "@setups/config") == -1, "a folder at a player's file taken as missing");
    });
}

// The door's read step and its names: a name without "@" is looked up among the data
// folders, never against the working folder; the program's own folder is trusted, links
// and all; "//" and a trailing "/" are dropped like "."; a control character (DEL
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
        p.same(read_named("@linked.txt"), "OUTSIDE", "a link out of the game folder");
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

// In the user folder a read follows a link only to a file of the same download: a
// track's link to the player's screenshot is not read, plain or as its ".gz" spelling,
// nor through the file index, and neither it nor a file outside is even opened, while
// a link within the track (or within "setups"), through ".." and down again, or along
// a chain of 40 links, is read; the 41st link is one too many. Whichever read step the
// kernel leaves (openat2, or the walk where it is refused), the answers are the same.
TEST(DataDoor, AUserFolderLinkIsReadOnlyWithinItsDownload)
{
    in_fresh_folders([](Problems& p, const TempDir& user, const TempDir&) {
        const std::string own = user / "Brovanta/";
        write_file(own + "screenshot001.png", "PLAYER'S PICTURE");
        write_file(own + "screenshot002.png.gz", gzip_bytes("PLAYER'S PACKED PICTURE"));
        write_file(own + "tracks/dl/real.png", "TRACK PICTURE");
        write_file(own + "tracks/dl/sub/deep.png", "DEEP");
        write_file(own + "setups/real", "SETUP");
        write_file(user / "outside.png", "OUTSIDE");
        symlink((own + "screenshot001.png").c_str(), (own + "tracks/dl/shot.png").c_str());
        symlink("../../screenshot002.png.gz", (own + "tracks/dl/packed.png.gz").c_str());
        symlink((user / "outside.png").c_str(), (own + "tracks/dl/out.png").c_str());
        symlink("real.png", (own + "tracks/dl/alias.png").c_str());
        symlink("sub", (own + "tracks/dl/folder").c_str());
        symlink("../real.png", (own + "tracks/dl/sub/up.png").c_str());
        symlink("../folder/../sub/./deep.png", (own + "tracks/dl/sub/round.png").c_str());
        symlink("real", (own + "setups/alias").c_str());
        symlink((own + "tracks/dl").c_str(), (own + "tracks/copy").c_str());
        // chain0 -> chain1 -> ... -> chain40 -> real.png: 41 links from chain0.
        for (int i = 0; i <= 40; ++i)
            symlink(i == 40 ? "real.png" : ("chain" + std::to_string(i + 1)).c_str(),
                    (own + "tracks/dl/chain" + std::to_string(i)).c_str());
        // What the links lead out to is never opened: the read is refused on the way.
        const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        for (const std::string& target : {own + "screenshot001.png", own + "screenshot002.png.gz", user / "outside.png"})
            inotify_add_watch(watch, target.c_str(), IN_OPEN);
        const auto opens_seen = [watch] {
            alignas(inotify_event) char events[4096];
            int n = 0;
            for (ssize_t got; (got = read(watch, events, sizeof events)) > 0;)
                for (char* e = events; e < events + got; e += sizeof(inotify_event) + reinterpret_cast<inotify_event*>(e)->len)
                    ++n;
            return n;
        };
        LogFile log;
        file_index_list();
        const struct { const char* name; const char* want; } cases[] = {
            {"@tracks/dl/shot.png", "(none)"},
            {"@tracks/dl/packed.png", "(none)"},
            {"@tracks/dl/out.png", "(none)"},
            {"@tracks/copy/real.png", "(none)"},
            {"@tracks/dl/alias.png", "TRACK PICTURE"},
            {"@tracks/dl/folder/deep.png", "DEEP"},
            {"@tracks/dl/sub/up.png", "TRACK PICTURE"},
            {"@tracks/dl/folder/round.png", "DEEP"},
            {"@tracks/dl/chain1", "TRACK PICTURE"},
            {"@tracks/dl/chain0", "(none)"},
            {"@setups/alias", "SETUP"},
        };
        for (const auto& c : cases)
            p.same(read_named(c.name), c.want, c.name);
        const std::string text = log.text();
        for (const auto& [name, why] : {std::pair{"shot.png", "a link there leads out of its download"},
                                        std::pair{"out.png", "a link there leads out of its download"},
                                        std::pair{"chain0", "more than 40 links"}})
            p.check(text.find("Read of " + own + "tracks/dl/" + name + " refused: " + why) != std::string::npos,
                    std::string("no line for ") + name + ":\n" + text);
        const int opened = opens_seen();
        p.check(opened == 0, "a link's target outside its download opened: " + std::to_string(opened));
    });
}

// A filter that answers every openat2 call with error, as sandboxes and older
// container runtimes answer the calls they do not know.
bool refuse_openat2(int error)
{
    sock_filter code[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, AUDIT_ARCH_X86_64, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_openat2, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (unsigned(error) & SECCOMP_RET_DATA)),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    sock_fprog program{static_cast<unsigned short>(sizeof code / sizeof code[0]), code};
    return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 && prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

// Where a filter refuses openat2, the start finds it once on the user folder, says so,
// and reads beneath downloads by the walk: the player's own copy is read, not the
// program's, and a link within its download is followed. A look that fails for any
// cause but absence (here what this process may not read, as a user namespace's
// stranger to the files) refuses the name with one line: no other copy of it is read,
// its owner keeps it as it is, and the sweep leaves a leftover it could not open.
TEST(DataDoor, ARefusedOpenat2IsWalkedAndAFailedLookIsNoAbsence)
{
    in_fresh_folders([](Problems& p, const TempDir& user, const TempDir& game) {
        const std::string own = user / "Brovanta/";
        write_file(own + "setups/fast", "PLAYER'S");
        write_file(game / "setups/fast", "PROGRAM'S");
        write_file(own + "tracks/dl/real.png", "TRACK PICTURE");
        symlink("real.png", (own + "tracks/dl/alias.png").c_str());
        LogFile log;
        door_set_faults({});
        p.check(refuse_openat2(EPERM), "the filter not installed");
        download_choose_read_step();
        p.same(read_named("@setups/fast"), "PLAYER'S", "under the filter, the player's copy");
        p.same(read_named("@tracks/dl/alias.png"), "TRACK PICTURE", "under the filter, a link within its download");
        p.check(log.text().find("Reads beneath downloads walk one name at a time: openat2 answered EPERM\n") !=
                    std::string::npos, "no line for the read step:\n" + log.text());
    });
    in_fresh_folders([](Problems& p, const TempDir& user, const TempDir& game) {
        const std::string own = user / "Brovanta/";
        write_file(own + "setups/fast", "PLAYER'S");
        write_file(own + "series/cup.series_standings", "1 2 \n");
        write_file(own + "demos/x.bvdemo.tmp-0123456789ab", "A WRITE IN FLIGHT");
        write_file(game / "setups/fast", "PROGRAM'S");
        write_file(game / "series/cup.series_standings", "2 1 \n");
        LogFile log;
        for (const std::string& open_to_all : {user.path(), own, own + "demos", game.path(), log.dir.path()})
            chmod(open_to_all.c_str(), 0777);
        for (const std::string& closed : {own + "setups/fast", own + "series", own + "demos/x.bvdemo.tmp-0123456789ab"})
            chmod(closed.c_str(), 0);
        p.check(unshare(CLONE_NEWUSER) == 0, "no user namespace");
        for (const char* name : {"@setups/fast", "@series/cup.series_standings"}) {
            p.same(read_named(name), "(none)", std::string(name) + ", which may not be read");
            vfs_file* f = nullptr;
            p.check(vfs_open_own(&f, name) == -1, std::string(name) + " taken for none by its owner");
        }
        vfs_file* none = nullptr;
        p.check(vfs_open_own(&none, "@setups/none") == 0, "a name with nothing there");
        p.check(leftover_sweep_folder("@demos", 100) == 0 && bvtest::file_exists(own + "demos/x.bvdemo.tmp-0123456789ab"),
                "a leftover that could not be opened swept");
        const std::string text = log.text();
        for (const std::string& line : {"Read of " + own + "setups/fast refused: could not look at it: Permission denied\n",
                                        "Read of " + own + "series/cup.series_standings refused: could not look at it: "
                                                           "Permission denied\n"})
            p.check(text.find(line) != std::string::npos, "no line " + line + text);
    });
}

// Exactly one leading "@" marks a data name: "@@x", "@./@x" and "./@x" all name the
// file "@x", and a second "@" never reaches past a name rule to "x".
TEST(DataDoor, OneLeadingAtMarksADataName)
{
    in_fresh_folders([](Problems& p, const TempDir& user, const TempDir& game) {
        write_file(game / "@x", "AT X");
        write_file(game / "x", "PLAIN X");
        write_file(game / "tracks/other/secret.raw", "SECRET");
        write_file(user / "Brovanta/tracks/other/secret.raw", "SECRET");
        file_index_list();
        for (const char* name : {"@@x", "@./@x", "./@x", "@.//@x"})
            p.same(read_named(name), "AT X", name);
        for (const char* name : {"@@tracks/other/secret.raw", "@./@tracks/other/secret.raw", "./@tracks/other/secret.raw"})
            p.same(read_named(name), "(none)", name);
        std::string normal;
        p.check(data_file_accept("./@x", "Test", &normal) && normal == "@@x", "the \"@\" spelling of ./@x: " + normal);
        p.check(data_file_accept("@./@x", "Test", &normal) && normal == "@@x", "the \"@\" spelling of @./@x: " + normal);
        p.check(write_whole("@@y") == 1 && read_file(user / "Brovanta/@y") == "new" &&
                    !bvtest::file_exists(user / "Brovanta/y"), "\"@@y\" written as another file than \"@y\"");
        // After its one "@" a name is checked and opened as it stands, by the same rule:
        // what the check takes the door reads, as the name it gives, and what the check
        // refuses the door refuses.
        write_file(game / "@./x", "AT DOT X");
        write_file(game / "@/x", "AT FOLDER X");
        write_file(game / "@../x", "AT DOTS X");
        const struct { const char* name; const char* want; } twice[] = {
            {"@@./x", "AT DOT X"}, {"@@/x", "AT FOLDER X"}, {"@@../x", "AT DOTS X"}, {"@@", "(none)"}, {"./@", "(none)"},
            {"@@x/../y", "(none)"}, {"@/@x", "(none)"}};
        for (const auto& c : twice) {
            const bool taken = data_name_check(c.name, &normal) == nullptr;
            const std::string read = read_named(c.name);
            p.same(read, c.want, c.name);
            p.same(taken ? read_named(normal.c_str()) : "(refused)", taken ? read : "(refused)",
                   std::string(c.name) + ": what the check's spelling " + normal + " reads");
            p.check(taken || read == "(none)", std::string(c.name) + ": refused by the check, read by the door");
        }
    });
}

// A copy whose start could not have the running lock (another copy held it alone for
// its sweep for longer than the start waits) asks again before its first temporary:
// while the other still holds it the write is refused with one line and leaves
// nothing, so the other's sweep cannot take it; once the other lets it go the write
// is made, and this copy's shared hold keeps any other copy from sweeping meanwhile.
TEST(RunningLock, ACopyThatCouldNotLockAsksAgainBeforeItsFirstTemporary)
{
    in_fresh_folders([](Problems& p, const TempDir& user, const TempDir&) {
        const std::string lock = user / "Brovanta/running.lock";
        write_file(lock, "");
        const int sweeping = open(lock.c_str(), O_RDWR | O_CLOEXEC);
        p.check(flock(sweeping, LOCK_EX) == 0, "the sweeping copy's lock");
        LogFile log;
        startup_check_data();
        p.check(write_whole("@setups/fast") == 0, "written while another copy sweeps");
        p.check(!bvtest::file_exists(user / "Brovanta/setups") || std::filesystem::is_empty(user / "Brovanta/setups"),
                "a temporary left for the sweep");
        p.check(log.text().find("Write refused: another copy of the game holds the running lock to sweep the user folder") !=
                    std::string::npos, "no line:\n" + log.text());
        std::thread done([sweeping] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            flock(sweeping, LOCK_UN);
        });
        p.check(write_whole("@setups/fast") == 1, "not written once the other copy's sweep ended");
        done.join();
        p.same(read_file(user / "Brovanta/setups/fast"), "new", "the setup");
        p.check(flock(sweeping, LOCK_EX | LOCK_NB) != 0, "another copy could sweep while this one runs");
        close(sweeping);
    });
}

// A name shown in a message is cut at 200 bytes, back to the start of a multibyte
// character that would pass the cut: a character ending at byte 200 stays, one
// ending at 201 goes whole. Control characters show as "?".
TEST(DataNameShown, CutsAtTwoHundredBytesNeverInsideACharacter)
{
    const std::string a(200, 'a');
    const struct {
        std::string name, shown;
    } cases[] = {
        {a + "b", a},
        {a.substr(0, 198) + "\xc3\xa9" "x", a.substr(0, 198) + "\xc3\xa9"},
        {a.substr(0, 199) + "\xc3\xa9" "x", a.substr(0, 199)},
        {a.substr(0, 197) + "\xe2\x82\xac", a.substr(0, 197) + "\xe2\x82\xac"},
        {a.substr(0, 198) + "\xe2\x82\xac", a.substr(0, 198)},
        {a.substr(0, 199) + "\xe2\x82\xac", a.substr(0, 199)},
        {a.substr(0, 197) + "\xf0\x9f\x98\x80", a.substr(0, 197)},
        {a.substr(0, 196) + "\xf0\x9f\x98\x80" "b", a.substr(0, 196) + "\xf0\x9f\x98\x80"},
        {"tab\there", "tab?here"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(data_name_shown(c.name.c_str()), c.shown) << c.name.size() << " bytes";
}
