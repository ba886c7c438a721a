// Data paths over the search folders and the index, each scenario in a fresh process
// with its own XDG_DATA_HOME, HOME and BV_HOME.
#include "../fixtures.h"
#include "foundation/index/file_index.h"
#include "foundation/door/search_folders.h"
#include "foundation/index/leftover_sweep.h"

namespace {

using namespace fixtures;

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

}  // namespace
