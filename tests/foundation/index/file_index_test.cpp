// The file index over the search folders and their ".saf" archives. The index and the
// folders are built once per process, so each scenario runs in a fresh process.
#include <strings.h>

#include "../fixtures.h"
#include "foundation/door/data_name.h"
#include "foundation/index/file_index.h"
#include "foundation/index/index_downloads.h"
#include "foundation/door/data_read.h"
#include "foundation/door/fresh_file.h"
#include "foundation/memory.h"
#include "support/measured_child.h"

#include <fcntl.h>
#include <unistd.h>

namespace {

using namespace fixtures;

std::string container_of(const char* name)
{
    const file_index_entry* e = file_index_get(file_index_find(name));
    return e ? e->container_path : "(none)";
}

TEST(SafArchive, OffsetsCountTheWholeHeaderWithItsEndLine)
{
    in_fresh_folders([](Problems& p, const TempDir&, const TempDir& game) {
        write_file(game / "zzzz.saf", "5 a.txt\n3 b/c.txt\n-\nAAAAABBB");
        file_index_list();
        const file_index_entry* a = file_index_get(file_index_find("a.txt"));
        const file_index_entry* c = file_index_get(file_index_find("b/c.txt"));
        p.check(a && c, "entries missing");
        if (!a || !c)
            return;
        p.check(a->offset == 20 && a->size == 5 && c->offset == 25 && c->size == 3, "offsets or sizes");
        p.check(a->priority == 2, "an archive's priority follows the two search folders");
        p.same(read_named("@B/C.TXT"), "BBB", "b/c.txt data");
        char line[200] = "";
        file_index_describe(file_index_find("a.txt"), line, sizeof line);
        p.same(line, "a.txt -> " + (game / "zzzz.saf"), "description");
    });
}

TEST(SafArchive, MalformedArchivesDropOnlyTheirOwnEntries)
{
    in_fresh_folders([](Problems& p, const TempDir&, const TempDir& game) {
        const std::pair<const char*, std::string> bad[] = {
            {"negative.saf", "-5 neg.txt\n-\nABCDEFGH"},
            {"huge.saf", "5000000000 huge.txt\n-\nABCDEFGH"},
            {"over.saf", "2147483648 over.txt\n-\nABCDEFGH"},
            {"no-separator.saf", "5 ok1.txt\n5\n-\nABCDEFGHIJ"},
            {"no-number.saf", "5 ok2.txt\nfive nan.txt\n-\nABCDE"},
            {"no-end.saf", "5 ok3.txt\n"},
            {"end-unterminated.saf", "5 ok4.txt\n-"},
            {"crlf.saf", "5 crlf.txt\r\n-\r\nABCDE"},
            {"long-line.saf", "1 " + std::string(1021, 'm') + "\n-\nA"},
            {"zero-byte.saf", std::string("5 nul\0x.txt\n-\nABCDE", 20)},
            {"past-2GiB.saf", "2147483000 big1.txt\n2147483000 big2.txt\n-\n"},
        };
        for (const auto& [name, bytes] : bad)
            write_file(game / name, bytes);
        write_file(game / "good.saf", "1 " + std::string(1020, 'k') + "\n4 good.txt\n-\nKGOOD");
        write_file(game / "loose.txt", "loose");
        file_index_list();
        for (const char* gone : {"neg.txt", "huge.txt", "over.txt", "ok1.txt", "ok2.txt", "ok3.txt", "ok4.txt",
                                 "crlf.txt", "crlf.txt\r", "nul", "big1.txt", "big2.txt"})
            p.check(file_index_find(gone) == -1, std::string("entry of a malformed archive: ") + gone);
        p.check(file_index_find(std::string(1021, 'm').c_str()) == -1, "the 1023-character line");
        // The 1022-character line is read whole: its entry keeps its byte, but a name past
        // 255 characters is not taken, and the entry after it is read from the right place.
        p.check(file_index_find(std::string(1020, 'k').c_str()) == -1, "a name past 255 characters listed");
        p.same(read_named("@" + std::string(1020, 'k')), "(none)", "a name past 255 characters read");
        p.same(read_named("@good.txt"), "GOOD", "good archive");
        p.same(read_named("@loose.txt"), "loose", "loose file");
    });
}

// An entry the index could not keep (its name copy failed) still holds its bytes in
// the archive: the entries after it must not shift onto them.
TEST(SafArchive, AnEntryDroppedForWantOfMemoryKeepsTheOthersInPlace)
{
    in_fresh_folders([](Problems& p, const TempDir&, const TempDir& game) {
        write_file(game / "zzzz.saf", "4 a.txt\n4 bb.txt\n4 c.txt\n-\nAAAABBBBCCCC");
        static int failures_left;
        failures_left = 1;
        // The copy of "bb.txt" is the one allocation of 7 bytes while the index is built.
        const mem_system_allocator failing{[](size_t size) -> void* {
                                               if (size == 7 && failures_left > 0) {
                                                   --failures_left;
                                                   return nullptr;
                                               }
                                               return malloc(size);
                                           },
                                           realloc, free};
        mem_set_system_allocator(&failing);
        file_index_list();
        mem_set_system_allocator(nullptr);
        p.check(failures_left == 0, "no allocation of 7 bytes was failed");
        p.check(file_index_find("bb.txt") == -1, "the dropped entry is listed");
        p.same(read_named("@a.txt"), "AAAA", "the entry before");
        p.same(read_named("@c.txt"), "CCCC", "the entry after");
    });
}

TEST(IndexOrder, LowerPriorityWinsAndEqualNamesStayInTheOrderFound)
{
    in_fresh_folders([](Problems& p, const TempDir& user, const TempDir& game) {
        std::string inner = saf_bytes({{"deep.txt", "deep"}});
        write_file(game / "aaaa.saf", saf_bytes({{"y.png", "a"}, {"only-archived", "a"}, {"inner.saf", inner}}));
        write_file(game / "zzzz.saf", saf_bytes({{"y.png", "z"}, {"only-archived", "z"}, {"dup", "1"}, {"dup", "2"},
                                                 {"dir//sub///f", "F"}}));
        write_file(game / "y.png", "loose y");
        write_file(game / "X.PNG", "folder 1");
        write_file(user / "Brovanta/x.png", "folder 0");
        write_file(game / "A.tga", "upper");
        write_file(game / "a.tga", "lower");
        write_file(game / ".saf", saf_bytes({{"hidden.txt", "h"}}));  // too short a name for an archive
        for (int i = 0; i < 40; ++i)  // enough entries that an unstable sort would reorder equal names
            write_file(game / ("x" + std::to_string(i)), "");

        int pngs = 0;
        char** names = file_index_list();
        for (char** n = names; *n; ++n) {
            pngs += strcasecmp(*n, "x.png") == 0;
            p.check(n == names || strcasecmp(n[-1], *n) < 0, std::string("list order at ") + *n);
        }
        p.check(pngs == 1, "x.png is not one unique name");
        p.same(container_of("X.png"), user / "Brovanta/x.png", "folder 0 beats folder 1");
        p.same(container_of("y.png"), game / "y.png", "a loose file beats both archives");
        p.same(read_named("@only-archived"), "a", "aaaa.saf beats zzzz.saf");
        p.same(container_of("a.TGA"), game / "A.tga", "equal names in one folder: byte order");
        p.same(read_named("@dup"), "1", "a name repeated in one archive");
        p.same(read_named("@dir/sub/f"), "F", "runs of \"/\" collapsed");
        p.check(file_index_find("deep.txt") == -1 && file_index_find("hidden.txt") == -1, "an archive opened");
    });
}

int spins = 0;

TEST(IndexBuild, EmptyThenRebuiltAfterShutdownWithNothingLeft)
{
    in_fresh_folders([](Problems& p, const TempDir& user, const TempDir& game) {
        setenv("BV_CHECK_ALLOC", "1", 1);
        p.check(file_index_find("x") == -1, "find before the build");
        char** names = file_index_list();
        p.check(names && !names[0] && file_index_find("x") == -1 && !file_exists("x"), "empty index");
        p.check(file_index_list() == names, "a second call built another list");
        vfs_shutdown();

        write_file(user / "Brovanta/sub/c.txt", "c");
        write_file(game / "zzzz.saf", saf_bytes({{"b.txt.gz", gzip_bytes("b")}}));
        write_file(game / "bad.saf", "3 gone.txt\n");
        file_index_set_spinner([] { ++spins; });
        file_index_list();
        // Folders: Brovanta, sub, the game folder. Archives: bad.saf, zzzz.saf.
        p.check(spins == 5, "spinner calls: " + std::to_string(spins));
        p.same(read_named("@SUB/C.TXT"), "c", "the rebuilt index");
        p.same(read_named("@b.txt"), "b", "gzip entry");
        vfs_shutdown();
        p.check(file_index_find("b.txt.gz") == -1, "find after shutdown");
        p.same(stderr_of(mem_report_leaks), "", "blocks left after shutdown");
    });
}

// In the user folder a link is followed only where it stays inside the download it
// stands in (at the top, outside every download, none is), and cycles end; the
// program's own folder is trusted with its links, so an installation made of links
// lists whole.
TEST(IndexBuild, SymlinkCyclesEndAndOnlyLinksInsideTheirDownloadAreFollowed)
{
    in_fresh_folders([](Problems& p, const TempDir& elsewhere, const TempDir& game) {
        const std::string user = elsewhere / "Brovanta";
        const TempDir outside;
        write_file(user + "/a/b/y.txt", "y");
        write_file(user + "/shared/s.txt", "s");
        write_file(outside / "outside.txt", "o");
        symlink(user.c_str(), (user + "/loop").c_str());
        symlink("..", (user + "/a/b/up").c_str());
        // At the top a link is a download of its own, whose bytes are another's; inside
        // "a" one leading to another download would charge that one's files to "a".
        symlink((user + "/shared").c_str(), (user + "/d1").c_str());
        symlink("../shared", (user + "/a/d2").c_str());
        symlink("b/y.txt", (user + "/a/same.txt").c_str());
        // Folders outside the search folder are not entered: not even the whole disc.
        symlink(outside.path().c_str(), (user + "/out").c_str());
        symlink("/", (user + "/root").c_str());
        symlink((outside / "outside.txt").c_str(), (user + "/file.txt").c_str());
        symlink("a/b/y.txt", (user + "/inside.txt").c_str());
        // The program's folder: a farm of links to files and folders elsewhere.
        symlink(outside.path().c_str(), (game / "farm").c_str());
        symlink((outside / "outside.txt").c_str(), (game / "far.txt").c_str());
        LogFile console;
        file_index_list();
        p.check(file_index_find("a/b/y.txt") >= 0, "a/b/y.txt");
        p.check(file_index_find("loop/a/b/y.txt") == -1 && file_index_find("a/b/up/b/y.txt") == -1,
                "listed through a cycle");
        p.check(file_index_find("d1/s.txt") == -1, "a linked folder at the top");
        p.check(file_index_find("a/d2/s.txt") == -1, "a link into another download");
        p.same(read_named("@a/same.txt"), "y", "a linked file inside its download");
        p.check(file_index_find("out/outside.txt") == -1, "a linked folder outside");
        p.check(file_index_find("root/etc/passwd") == -1, "the root folder");
        p.check(file_index_find("file.txt") == -1, "a linked file outside");
        p.check(file_index_find("inside.txt") == -1, "a linked file at the top");
        p.check(file_index_find("farm/outside.txt") >= 0 && file_index_find("far.txt") >= 0,
                "the links of the program's folder");
        const std::string out = ": a link outside every download\n";
        const std::string own = ": a link leading out of its download\n";
        const std::string at = "Listing skipped " + user;
        p.same(bvtest::listing_lines(console.text()),
               at + "/a/d2" + own + at + "/d1" + out + at + "/file.txt" + out + at + "/inside.txt" + out + at + "/loop" +
                   out + at + "/out" + out + at + "/root" + out,
               "one line for each link leading out");
    });
}

// Links that fan out (each folder linking twice to the next) once listed 2^23 paths.
// Each folder past the depth bound is skipped with its own line, and skipping a
// hundred leaves the download out whole.
TEST(IndexBuild, ListingSkipsFoldersPastTheDepthAndLeavesTheDownloadOutAfterAHundred)
{
    in_fresh_folders([](Problems& p, const TempDir& user, const TempDir&) {
        const std::string top = user / "Brovanta";
        for (int i = 0; i < 23; ++i) {
            bvtest::make_dirs(top + "/fan/d" + std::to_string(i));
            for (const char* link : {"a", "b"})
                symlink(("../d" + std::to_string(i + 1)).c_str(),
                        (top + "/fan/d" + std::to_string(i) + "/" + link).c_str());
        }
        bvtest::make_dirs(top + "/fan/d23");
        write_file(top + "/tracks/t/terrain.hf", "");
        const bvtest::ChildCost cost = bvtest::run_measured([&top] {
            LogFile console;
            file_index_list();
            const std::string lines = bvtest::listing_lines(console.text());
            std::string deepest = top + "/fan/d0";
            for (int i = 0; i < 15; ++i)
                deepest += "/a";
            const std::string first = "Listing skipped " + deepest + ": folders nested too deep\n";
            const std::string last = "Listing skipped " + top + "/fan: too many folders skipped in one download\n";
            int skipped = 0;
            for (size_t at = lines.find("Listing skipped"); at != std::string::npos; at = lines.find("Listing skipped", at + 1))
                ++skipped;
            return lines.starts_with(first) && skipped == kListingBounds.skipped + 1 && lines.ends_with(last) &&
                           file_index_find("fan/d0/a/a") == -1 && file_index_find("tracks/t/terrain.hf") >= 0
                       ? 1
                       : 0;
        });
        fprintf(stderr, "%s\n", bvtest::describe("23-folder fan-out of links", cost).c_str());
        p.check(cost.finished && cost.result == 1, "a hundred folders skipped past the depth, then the download left out");
        p.check(cost.seconds < 2 && cost.grown_kib < 200 * 1024, bvtest::describe("fan-out", cost));
    });
}

// Every folder at the top of the user folder is charged on its own, with bounds lowered
// here so that few files reach them (12 names in a folder, 8 in a download): "big1"
// and "big2" (10 names each) are left out whole, each with one line, the game's own
// "demos" (two folders of 10 names) is cut after 8 names, and "a", "z.txt" and the
// track stay. The top itself at its bound is listed whole; one name past it, it is cut
// with one line and its "tracks" is listed all the same.
TEST(IndexBuild, EachTopFolderIsChargedOnItsOwnAndTheTopKeepsTracks)
{
    for (int past : {0, 1})
        in_fresh_folders([past](Problems& p, const TempDir& user, const TempDir&) {
            const std::string top = user / "Brovanta";
            for (const char* file : {"a/1", "a/2", "a/3", "z.txt", "tracks/t/terrain.hf"})
                write_file(top + "/" + file, "");
            for (int i = 0; i < 10; ++i)
                for (const char* big : {"/big1/", "/big2/", "/demos/s0/", "/demos/s1/"})
                    write_file(top + big + std::to_string(i), "");
            for (int i = 0; i < 6 + past; ++i)   // six folders and files above: 12 names
                write_file(top + "/f" + std::to_string(i), "");
            const listing_bounds bounds{.folder_names = 12, .depth = 16, .names = 100, .skipped = 2,
                                        .download_names = 8, .track_folders = kListingBounds.track_folders};
            LogFile console;
            file_index_build(bounds, false);
            const std::string lines = bvtest::listing_lines(console.text());
            const std::string name = past ? "past the top's bound" : "at the top's bound";
            p.check(file_index_find("tracks/t/terrain.hf") >= 0, name + ": the track");
            if (past) {
                p.check(lines.find("Listing shortened " + top + ": names past 12 left out\n") != std::string::npos,
                        name + ": lines\n" + lines);
                return;
            }
            p.same(lines,
                   "Listing skipped " + top + "/big1: too many entries in one download\n" + "Listing skipped " + top +
                       "/big2: too many entries in one download\n" + "Listing shortened " + top +
                       "/demos: names past 8 left out: 4\n",
                   name + ": lines");
            p.check(file_index_find("a/3") >= 0 && file_index_find("z.txt") >= 0 && file_index_find("big1/0") == -1,
                    name + ": a and z.txt listed, big1 not");
            p.check(file_index_find("demos/s0/6") >= 0 && file_index_find("demos/s0/7") == -1 &&
                        file_index_find("demos/s1/0") == -1,
                    name + ": demos cut after 8 names");
        });
}

// A downloaded archive whose entries climb out of the data folders: those entries are
// refused with one line and the rest of the archive is listed ("." components dropped).
// Nothing outside the user folder is opened, written or made, neither through such a
// name nor through a link planted as a track folder, while the honest track's files
// are written where they always were.
TEST(SafArchive, NamesThatClimbOutAreRefusedAndNothingOutsideIsTouched)
{
    in_fresh_folders([](Problems& p, const TempDir& user, const TempDir& game) {
        TempDir outside;
        write_file(outside / "statues", "outside statues");
        write_file(outside / "secret.png", "outside picture");
        std::string up = "tracks/";
        for (int i = 0; i < 40; ++i)
            up += "../";
        const std::string climb = up + (outside.path().c_str() + 1);   // the outside folder, from "/"
        write_file(game / "tracks/x.saf",
                   saf_bytes({{climb + "/terrain.hf", "bad"}, {"tracks/ok/terrain.hf", "OK"}, {"..", "x"},
                              {"tracks/ok/../../../secret.png", "x"}, {"/etc/x", "x"}, {"tracks/ok/", "x"},
                              {"tracks/ctl\x01/terrain.hf", "x"}, {"tracks/./dot/./terrain.hf", "DOT"},
                              {"tracks/ok/desc", "Honest"}}));
        LogFile console;
        char** names = file_index_list();
        int listed = 0;
        for (char** n = names; n && *n; ++n) {
            ++listed;
            p.check(!strstr(*n, "..") && !strchr(*n, '\x01') && (*n)[0] != '/', std::string("listed: ") + *n);
        }
        // x.saf and four entries: "tracks/ok/" is the file "tracks/ok", as "//" would be.
        p.check(listed == 5, "names listed: " + std::to_string(listed));
        p.same(read_named("@tracks/ok/terrain.hf"), "OK", "an honest entry");
        p.same(read_named("@tracks/ok/desc"), "Honest", "the entry after the refused ones");
        p.same(read_named("@tracks/dot/terrain.hf"), "DOT", "a name with \".\" components");
        p.same(read_named("@tracks/./ok/./terrain.hf"), "OK", "a spelling with \".\" components");
        const std::string refused = "entries refused, the first \"" + climb + "/terrain.hf\": it holds a \"..\"";
        p.check(console.text().find("tracks/x.saf: 5 " + refused) != std::string::npos, "the line:\n" + console.text());

        // Reads and writes through a climbing name.
        p.same(read_named("@" + climb + "/statues"), "(none)", "read outside");
        p.same(read_named("@tracks/../../secret.png"), "(none)", "read outside through \"..\"");
        auto write = [](const std::string& name) {
            return fresh_file_write(name.c_str(), [](vfs_file* f, void*) { return vfs_puts(f, "new") >= 0 ? 1 : 0; },
                                    nullptr);
        };
        p.check(write("@" + climb + "/statues") == 0, "a write through \"..\"");
        p.check(write("@" + climb + "/made/lastlap.bvdemo") == 0, "a write making folders outside");
        p.check(!bvtest::file_exists(outside / "made"), "a folder made outside");
        // A link planted as the track folder, by the data name and by the plain path.
        bvtest::make_dirs(user / "Brovanta/tracks");
        p.check(symlink(outside.path().c_str(), (user / "Brovanta/tracks/linked").c_str()) == 0, "no link");
        p.check(write("@tracks/linked/statues") == 0, "a write through a linked track folder");
        p.check(write(user / "Brovanta/tracks/linked/sub/statues") == 0, "a plain write through the link");
        p.check(!data_passes_no_link("tracks/linked", "Track"), "a linked track folder is loaded");
        p.same(read_file(outside / "statues"), "outside statues", "the outside file");
        p.check(!bvtest::file_exists(outside / "sub"), "a folder made through the link");
        // The honest track is written as before, its folder made in the user folder.
        p.check(write("@tracks/ok/statues") == 1, "the honest track's write");
        p.same(read_file(user / "Brovanta/tracks/ok/statues"), "new", "the honest track's file");
        p.check(write("@tracks/./ok/./edinfo") == 1, "a write under a spelling with \".\"");
        p.same(read_file(user / "Brovanta/tracks/ok/edinfo"), "new", "the file of that spelling");
        p.check(data_passes_no_link("tracks/ok", "Track"), "the honest track folder");
    });
}

// One download (a folder or archive directly in the search folder or in its "tracks")
// spends a bound of its own, lowered here to 5 names: its loose names in all its
// folders and the entries of the archives in it count alike. At the bound each is
// listed whole; one name more leaves that download out whole, with one line naming
// it, and the rest listed. Archive entries count against the listing's total too.
TEST(IndexBuild, EachDownloadIsListedWholeWithinItsBoundOrLeftOut)
{
    for (int past : {0, 1})
        in_fresh_folders([past](Problems& p, const TempDir&, const TempDir& game) {
            std::vector<std::pair<std::string, std::string>> five;
            for (int i = 0; i < 5 + past; ++i)
                five.push_back({"top" + std::to_string(i), ""});
            write_file(game / "a.saf", saf_bytes(five));
            // Three names in the folder, then two archives that each fit in what is
            // left but together pass it (one entry and one, or two past): the folder
            // goes whole, its loose files and the archive that fitted too.
            std::vector<std::pair<std::string, std::string>> second{{"in2", ""}};
            if (past)
                second.push_back({"in3", ""});
            write_file(game / "tracks/b/terrain.hf", "");
            write_file(game / "tracks/b/in1.saf", saf_bytes({{"in1", ""}}));
            write_file(game / "tracks/b/in2.saf", saf_bytes(second));
            // Names count in all the download's folders; the file listed first goes too.
            write_file(game / "tracks/c/1.txt", "");
            for (int i = 0; i < 3 + past; ++i)
                write_file(game / ("tracks/c/z/" + std::to_string(i)), "");
            write_file(game / "z.txt", "");
            const listing_bounds bounds{.folder_names = 100, .depth = 16, .names = 100, .skipped = 100,
                                        .download_names = 5, .track_folders = kListingBounds.track_folders};
            LogFile console;
            file_index_build(bounds, false);
            const std::string g = game.path();
            p.same(bvtest::listing_lines(console.text()),
                   past ? "Listing skipped " + g + "/tracks/c: too many entries in one download\n"
                          "Listing skipped " + g + "/a.saf: too many entries in one download\n"
                          "Listing skipped " + g + "/tracks/b: too many entries in one download\n"
                        : "",
                   "lines");
            const bool whole = !past;
            p.check((file_index_find("top0") >= 0) == whole && (file_index_find("top4") >= 0) == whole, "a.saf");
            p.check((file_index_find("tracks/c/1.txt") >= 0) == whole &&
                        (file_index_find("tracks/c/z/2") >= 0) == whole,
                    "tracks/c");
            p.check((file_index_find("in1") >= 0) == whole && (file_index_find("in2") >= 0) == whole &&
                        file_index_find("in3") == -1,
                    "the archives of tracks/b");
            p.check((file_index_find("tracks/b/terrain.hf") >= 0) == whole &&
                        (file_index_find("tracks/b/in1.saf") >= 0) == whole,
                    "the loose files of tracks/b");
            p.check(file_index_find("z.txt") >= 0, "z.txt");
        });
}

// An archive is a download: its entries are charged to it alone, never to the
// listing's total (4 here, spent whole by the 4 loose names). At its own bound (3
// entries) it is listed; past it (bound 2) it is left out with one line and the
// loose files stay.
TEST(IndexBuild, ArchiveEntriesAreChargedToTheirArchiveAlone)
{
    for (int past : {0, 1})
        in_fresh_folders([past](Problems& p, const TempDir&, const TempDir& game) {
            write_file(game / "a.saf", saf_bytes({{"e1", ""}, {"e2", ""}, {"e3", ""}}));
            write_file(game / "b.saf", saf_bytes({}));
            write_file(game / "c.txt", "");
            write_file(game / "d.txt", "");
            const listing_bounds bounds{.folder_names = 100, .depth = 16, .names = 4, .skipped = 100,
                                        .download_names = 3 - past, .track_folders = kListingBounds.track_folders};
            LogFile console;
            file_index_build(bounds, false);
            p.same(bvtest::listing_lines(console.text()),
                   past ? "Listing skipped " + game / "a.saf" + ": too many entries in one download\n" : "", "lines");
            p.check((file_index_find("e3") >= 0) == !past && file_index_find("d.txt") >= 0, "entries");
        });
}

// Folders skipped inside a download are charged to that download (2 skips here): at
// its bound it is listed with a line for each, one skip more leaves it out whole with
// one line, and the listing goes on with the next. The loose files straight in
// "tracks" are one download of their own (5 names here): one more leaves them all
// out, while "tracks" itself, holding more names than one folder may, is listed.
TEST(IndexBuild, ADownloadSpendsOnlyItsOwnSkipsAndTheLooseFilesOfTracksTheirOwnBound)
{
    for (int past : {0, 1})
        in_fresh_folders([past](Problems& p, const TempDir& user, const TempDir&) {
            const std::string tracks = user / "Brovanta/tracks";
            // "tracks" lies at depth 2 under "Brovanta": the leaves at 4 are too deep.
            for (int i = 0; i < 2 + past; ++i)
                bvtest::make_dirs(tracks + "/aaa/c/" + std::to_string(i));
            for (int i = 0; i < 2; ++i)
                bvtest::make_dirs(tracks + "/bbb/c/" + std::to_string(i));
            write_file(tracks + "/aaa/terrain.hf", "");
            write_file(tracks + "/bbb/terrain.hf", "");
            for (int i = 0; i < 5 + past; ++i)
                write_file(tracks + "/loose" + std::to_string(i), "");
            write_file(tracks + "/x.saf", saf_bytes({{"tracks/x/terrain.hf", ""}}));
            write_file(tracks + "/zz/terrain.hf", "");
            const listing_bounds bounds{.folder_names = 4, .depth = 3, .names = 100, .skipped = 2,
                                        .download_names = 5, .track_folders = kListingBounds.track_folders};
            LogFile console;
            file_index_build(bounds, false);
            std::string lines;
            for (const char* download : {"/aaa", "/bbb"})
                for (int i = 0; i < 2; ++i)
                    lines += "Listing skipped " + tracks + download + "/c/" + std::to_string(i) +
                             ": folders nested too deep\n";
            if (past) {
                lines.insert(lines.find("Listing skipped " + tracks + "/bbb"),
                             "Listing skipped " + tracks + "/aaa: too many folders skipped in one download\n");
                lines.insert(0, "Listing skipped the loose files in " + tracks + ": too many entries in one download\n");
            }
            p.same(bvtest::listing_lines(console.text()), lines, "lines");
            p.check((file_index_find("tracks/aaa/terrain.hf") >= 0) == !past, "tracks/aaa");
            p.check((file_index_find("tracks/loose0") >= 0) == !past && (file_index_find("tracks/loose4") >= 0) == !past,
                    "the loose files");
            p.check(file_index_find("tracks/bbb/terrain.hf") >= 0 && file_index_find("tracks/zz/terrain.hf") >= 0 &&
                        file_index_find("tracks/x/terrain.hf") >= 0,
                    "the downloads beside them");
        });
}

// The game's own folders ("demos" here) are no downloads: past the bound (10,000
// names) they are cut, not left out, with one line that says how many names went.
TEST(IndexBuild, TheGamesOwnFoldersAreCutAtTheirBound)
{
    for (int past : {0, 1})
        in_fresh_folders([past](Problems& p, const TempDir& user, const TempDir&) {
            const std::string demos = user / "Brovanta/demos";
            bvtest::make_dirs(demos);
            const int bound = kListingBounds.download_names;
            char name[32];
            for (int i = 0; i < bound + past; ++i) {
                snprintf(name, sizeof name, "/d%05d.bvdemo", i);
                close(creat((demos + name).c_str(), 0644));
            }
            write_file(user / "Brovanta/tracks/zz/terrain.hf", "");
            LogFile console;
            file_index_list();
            p.same(bvtest::listing_lines(console.text()),
                   past ? "Listing shortened " + demos + ": names past 10000 left out: 1\n" : "", "lines");
            p.check(file_index_find("demos/d00000.bvdemo") >= 0 && file_index_find("demos/d09999.bvdemo") >= 0,
                    "the demos up to the bound");
            p.check(file_index_find("demos/d10000.bvdemo") == -1, "the demo past it");
            p.check(file_index_find("tracks/zz/terrain.hf") >= 0, "the track");
        });
}

// "tracks" holds its 20,000 downloads as shipped: at the bound no line, one past it the
// newest is left out with one line naming it.
TEST(IndexBuild, TracksHoldsTwentyThousandDownloadsAndLeavesOutTheNewestPast)
{
    in_fresh_folders([](Problems& p, const TempDir& user, const TempDir&) {
        const std::string tracks = user / "Brovanta/tracks";
        bvtest::make_dirs(tracks);
        const int bound = kListingBounds.track_folders;
        for (int i = 0; i < bound; ++i)
            mkdir((tracks + "/f" + std::to_string(i)).c_str(), 0755);
        LogFile console;   // the process's one log
        for (const bool past : {false, true}) {
            if (past)
                mkdir((tracks + "/newest").c_str(), 0755);
            file_index_build(kListingBounds, false);
            const std::string lines = bvtest::listing_lines(console.text());
            p.same(lines, past ? "Listing shortened " + tracks + ": the newest downloads past 20000 left out: 1, the newest newest\n"
                               : "",
                   past ? "one past the bound" : "at the bound");
            vfs_shutdown();
            use_folders(user.path(), (user / "game").c_str());
        }
    });
}

// A folder named like "tracks" is no part of it: "tracksx" is one download of the top
// (10 names, past a bound of 8 here, so it is left out whole), while the same folders in
// "tracks" are downloads each; its download length is the folder's.
TEST(IndexBuild, AFolderNamedLikeTracksIsOneDownloadOfItsOwn)
{
    for (const char* folder : {"tracksx", "tracks"})
        in_fresh_folders([folder](Problems& p, const TempDir& user, const TempDir&) {
            const std::string top = user / "Brovanta";
            const std::string base = top + "/" + folder;
            for (const char* t : {"/a/", "/b/"})
                for (int i = 0; i < 4; ++i)
                    write_file(base + t + std::to_string(i), "");
            write_file(top + "/zz/terrain.hf", "");
            const listing_bounds bounds{.folder_names = 100, .depth = 16, .names = 100, .skipped = 100,
                                        .download_names = 8, .track_folders = kListingBounds.track_folders};
            LogFile console;
            file_index_build(bounds, false);
            const bool tracks = strcmp(folder, "tracks") == 0;
            p.check((file_index_find((std::string(folder) + "/b/3").c_str()) >= 0) == tracks, std::string(folder) + " listed");
            p.same(bvtest::listing_lines(console.text()),
                   tracks ? "" : "Listing skipped " + base + ": too many entries in one download\n", folder);
            const int zz = file_index_find("zz/terrain.hf");
            p.check(file_index_download_length(zz) == (top + "/zz").size(), "the download of zz");
            vfs_shutdown();
            const listing_bounds wider{.folder_names = 100, .depth = 16, .names = 100, .skipped = 100,
                                       .download_names = 20, .track_folders = kListingBounds.track_folders};
            use_folders(user.path(), (user / "game").c_str());
            file_index_build(wider, false);
            const int b = file_index_find((std::string(folder) + "/b/3").c_str());
            p.check(file_index_download_length(b) == (tracks ? base + "/b" : base).size(),
                    std::string(folder) + ": download length " + std::to_string(file_index_download_length(b)));
        });
}

}  // namespace
