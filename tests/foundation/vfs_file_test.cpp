// File handles: reads around the pushed-back character, opens that must fail (folders,
// devices, FIFOs), writes into a folder strangers filled, gzip streams (header
// acceptance, many blocks, early ends), reads with a cap, file_to_string at its limit.
#include <cerrno>
#include <cstring>
#include <optional>
#include <set>

#include "fixtures.h"
#include "foundation/vfs/capped_read.h"
#include "foundation/door/door_faults.h"
#include "foundation/door/fresh_file.h"
#include "foundation/memory.h"
#include "foundation/os_paths.h"
#include "foundation/door/whole_file.h"
#include "support/file_size_limit.h"

#include <dirent.h>
#include <sys/stat.h>

namespace {

using namespace fixtures;

// Writes data.txt.gz and opens data.txt, so the open goes through the ".gz" fallback.
vfs_file* open_packed(const TempDir& dir, const std::string& bytes)
{
    write_file(dir / "data.txt.gz", bytes);
    return vfs_open((dir / "data.txt").c_str(), "rb");
}

TEST(VfsReads, LinesPushbackAndSeeks)
{
    Scanner lines(ScanSource::file, "first\nsecond line\nlast");
    vfs_file* f = lines.file();
    ASSERT_NE(f, nullptr);
    char line[8] = "zzzzzzz";
    EXPECT_EQ(vfs_gets(f, line, 0), nullptr);
    EXPECT_EQ(line[0], 'z');
    EXPECT_STREQ(vfs_gets(f, line, 1), "");
    EXPECT_STREQ(vfs_gets(f, line, sizeof line), "first\n");
    EXPECT_STREQ(vfs_gets(f, line, sizeof line), "second ");  // size - 1 characters at a time
    EXPECT_STREQ(vfs_gets(f, line, sizeof line), "line\n");
    EXPECT_STREQ(vfs_gets(f, line, sizeof line), "last");
    EXPECT_EQ(vfs_gets(f, line, sizeof line), nullptr);

    Scanner numbers(ScanSource::file, "12 abcdef");
    f = numbers.file();
    int twelve = 0;
    ASSERT_EQ(numbers("%d", &twelve), 1);
    EXPECT_EQ(f->position, 3u);  // "12 " taken, the space held back
    ASSERT_EQ(vfs_read(f, line, 4), 4);
    EXPECT_EQ(std::string(line, 4), " abc");
    EXPECT_EQ(f->position, 6u);
    EXPECT_EQ(vfs_seek(f, 0x7fffffff), 0);  // a loose file's limit is itself past the data
    f->pushed_back = 'Q';
    EXPECT_EQ(vfs_seek(f, 1), 1);
    EXPECT_EQ(numbers.rest(), "2 abcdef");
}

TEST(VfsOpen, FoldersAndTildeReadModesDoNotOpen)
{
    TempDir dir;
    write_file(dir / "file", "x");
    EXPECT_EQ(vfs_open(dir.path().c_str(), "rb"), nullptr);
    EXPECT_EQ(vfs_open((dir / "file").c_str(), "~r"), nullptr);
}

// Only a regular file is data: a device never ends and a FIFO would wait for ever for
// a writer (the open itself used to block). Links to regular files still open.
TEST(VfsOpen, DevicesAndFifosDoNotOpen)
{
    TempDir dir;
    write_file(dir / "file", "x");
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    ASSERT_EQ(symlink("/dev/zero", (dir / "zero").c_str()), 0);
    ASSERT_EQ(symlink((dir / "file").c_str(), (dir / "link").c_str()), 0);
    EXPECT_EQ(vfs_open("/dev/zero", "rb"), nullptr);
    EXPECT_EQ(vfs_open((dir / "fifo").c_str(), "rb"), nullptr);
    EXPECT_EQ(vfs_open((dir / "zero").c_str(), "rb"), nullptr);
    vfs_file* f = vfs_open((dir / "link").c_str(), "rb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(vfs_getc(f), 'x');
    vfs_close(f);
}

bool plain_file(const std::string& path)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::set<std::string> names_in(const std::string& folder)
{
    std::set<std::string> names;
    if (DIR* d = opendir(folder.c_str())) {
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.')
                names.insert(e->d_name);
        closedir(d);
    }
    return names;
}

int write_text(vfs_file* f, void* text)
{
    return vfs_puts(f, static_cast<const char*>(text)) >= 0 ? 1 : 0;
}

// A downloaded track folder may hold a link, a dangling link or a FIFO at any name the
// game writes: each is replaced by a new file and never opened (a FIFO opened for
// writing would wait for ever; the alarm turns that into a failure). A failed write
// changes nothing and leaves no temporary; nothing at an existing name is ever created.
TEST(FreshFile, ReplacesWhatStandsAtTheNameAndNeverWritesThroughIt)
{
    alarm(120);
    TempDir dir, outside;
    const std::string track = dir / "track";
    write_file(outside / "kept", "outside bytes");
    write_file(track + "/plain", "old bytes");
    ASSERT_EQ(symlink((outside / "kept").c_str(), (track + "/linked").c_str()), 0);
    ASSERT_EQ(symlink((outside / "none").c_str(), (track + "/dangling").c_str()), 0);
    ASSERT_EQ(mkfifo((track + "/pipe").c_str(), 0600), 0);
    const std::set<std::string> names{"plain", "linked", "dangling", "pipe"};
    for (const std::string name : {"linked", "dangling", "pipe", "plain"}) {
        EXPECT_EQ(fresh_file_write((track + "/" + name).c_str(), write_text, const_cast<char*>("new")), 1) << name;
        EXPECT_TRUE(plain_file(track + "/" + name)) << name;
        EXPECT_EQ(read_file(track + "/" + name), "new") << name;
    }
    EXPECT_EQ(read_file(outside / "kept"), "outside bytes");
    EXPECT_FALSE(bvtest::file_exists(outside / "none"));

    ASSERT_EQ(symlink((outside / "kept").c_str(), (track + "/relinked").c_str()), 0);
    auto refuse = [](vfs_file* f, void*) {
        vfs_puts(f, "half");
        return 0;
    };
    EXPECT_EQ(fresh_file_write((track + "/plain").c_str(), refuse, nullptr), 0);
    EXPECT_EQ(fresh_file_write((track + "/relinked").c_str(), refuse, nullptr), 0);
    EXPECT_EQ(read_file(track + "/plain"), "new");
    EXPECT_EQ(read_file(outside / "kept"), "outside bytes");
    std::set<std::string> now = names;
    now.insert("relinked");
    EXPECT_EQ(names_in(track), now) << "no temporary left behind";

    // A recording stands at its name at once and writes the new file.
    fresh_file recording;
    vfs_file* f = fresh_file_open((track + "/relinked").c_str(), &recording) ? fresh_file_take_name(&recording) : nullptr;
    ASSERT_NE(f, nullptr);
    EXPECT_TRUE(plain_file(track + "/relinked"));
    vfs_puts(f, "lap");
    EXPECT_EQ(vfs_close(f), 0);
    EXPECT_EQ(read_file(track + "/relinked"), "lap");
    EXPECT_EQ(read_file(outside / "kept"), "outside bytes");
    EXPECT_EQ(names_in(track), now);

    alarm(0);
}

// The end of the safe write and of the whole-file write, each step failing in turn: a
// disk that cannot hold the bytes, a flush or a close the library reports failed with
// the bytes all there (the finish's seam for that one stream), and a rename the folder
// refuses (a folder stands at the name). Each write says it failed, the old file keeps
// its bytes, and no temporary stays; a fault set for one stream spares the others.
TEST(SafeWriteEnds, AFailedFlushCloseOrRenameFailsTheWrite)
{
    TempDir dir;
    const std::string track = dir / "track";
    using write_fn = int (*)(const char*, int (*)(vfs_file*, void*), void*);
    const std::pair<const char*, write_fn> writers[] = {{"fresh", fresh_file_write}, {"whole", whole_file_write}};
    // none with the file size limit below stands for a full disk.
    auto arm = [](vfs_file* f, void* what) {
        door_set_faults({.finish_stream = f, .finish = *static_cast<finish_fault*>(what)});
        return vfs_puts(f, "new bytes") >= 0 ? 1 : 0;
    };
    for (const auto& [label, write] : writers) {
        const std::string plain = track + "/" + label;
        write_file(plain, "old");
        for (finish_fault kind : {finish_fault::none, finish_fault::flush, finish_fault::close}) {
            const std::string what = std::string(label) + " fault " + std::to_string(int(kind));
            {
                std::optional<bvtest::FileSizeLimit> full;
                if (kind == finish_fault::none)
                    full.emplace(4);
                EXPECT_EQ(write(plain.c_str(), arm, &kind), 0) << what;
            }
            EXPECT_FALSE(door_faults_now().finish_stream) << what << ": the fault met its stream";
            EXPECT_EQ(read_file(plain), "old") << what;
        }
        finish_fault none = finish_fault::none;   // no limit set: nothing fails
        EXPECT_EQ(write(plain.c_str(), arm, &none), 1) << label;
        EXPECT_EQ(read_file(plain), "new bytes") << label;
        // A fault set for another stream leaves this one alone.
        vfs_file* other = vfs_open((dir / "other").c_str(), "wb");
        ASSERT_NE(other, nullptr);
        door_set_faults({.finish_stream = other, .finish = finish_fault::close});
        EXPECT_EQ(write(plain.c_str(), [](vfs_file* f, void*) { return vfs_puts(f, "newer") >= 0 ? 1 : 0; },
                        nullptr),
                  1)
            << label;
        EXPECT_TRUE(door_faults_now().finish_stream) << label;
        EXPECT_EQ(file_finish(other, true, false), 0) << label << ": the stream it was set for";
        EXPECT_EQ(read_file(plain), "newer") << label;

        const std::string blocked = track + "/" + label + "-folder";
        write_file(blocked + "/inside", "kept");
        EXPECT_EQ(write(blocked.c_str(), arm, &none), 0) << label << ": the rename is refused";
        EXPECT_EQ(read_file(blocked + "/inside"), "kept") << label;
    }
    std::set<std::string> names;
    for (const auto& [label, write] : writers)
        names.insert({label, std::string(label) + "-folder"});
    EXPECT_EQ(names_in(track), names) << "no temporary left behind";
}

// The capped reader keeps at most the cap, says when more followed, and reads past
// it by one byte only: a small gzip member that inflates without end costs the cap.
TEST(CappedRead, KeepsTheCapAndSaysWhenMoreFollowed)
{
    TempDir dir;
    write_file(dir / "four", "abcd");
    capped_bytes whole = vfs_read_file_capped((dir / "four").c_str(), 4);
    EXPECT_EQ(std::string(whole.data, whole.length), "abcd");
    EXPECT_EQ(whole.data[4], '\0');
    EXPECT_EQ(whole.too_long, 0);
    mem_free(whole.data);
    capped_bytes cut = vfs_read_file_capped((dir / "four").c_str(), 3);
    EXPECT_EQ(std::string(cut.data, cut.length), "abc");
    EXPECT_EQ(cut.too_long, 1);
    mem_free(cut.data);
    EXPECT_EQ(vfs_read_file_capped((dir / "none").c_str(), 3).data, nullptr);

    // 64 MiB inflated from 64 KiB: read to a 1 MiB cap, one byte further.
    vfs_file* f = open_packed(dir, bvtest::gzip_repeated('z', size_t(64) << 20));
    ASSERT_NE(f, nullptr);
    capped_bytes bomb = vfs_read_rest_capped(f, 1 << 20);
    EXPECT_EQ(bomb.length, 1u << 20);
    EXPECT_EQ(bomb.too_long, 1);
    EXPECT_EQ(bomb.data[(1 << 20) - 1], 'z');
    EXPECT_EQ(vfs_getc(f), 'z') << "the handle goes on after the byte past the cap";
    mem_free(bomb.data);
    // A scanning reader capped on its handle sees the data end there.
    vfs_cap_rest(f, 10);
    char buffer[64];
    EXPECT_EQ(vfs_read(f, buffer, sizeof buffer), 10);
    EXPECT_EQ(vfs_getc(f), -1);
    vfs_close(f);
}

TEST(GzipHeaders, EveryOptionalFieldIsSkippedAndOthersAreRefused)
{
    const std::string text = "line one\nlast line";
    for (GzipHeader h : {GzipHeader{}, GzipHeader{true, false, false, false}, GzipHeader{false, true, false, false},
                         GzipHeader{false, false, true, false}, GzipHeader{false, false, false, true},
                         GzipHeader{true, true, true, true}}) {
        TempDir dir;
        EXPECT_EQ(read_all(open_packed(dir, gzip_bytes(text, h))), text)
            << h.name << h.comment << h.extra << h.header_crc;
    }

    const std::string good = gzip_bytes("text", {true, false, false, false});
    auto with_byte = [&](size_t i, int v) {
        std::string b = good;
        b[i] = static_cast<char>(v);
        return b;
    };
    const std::pair<const char*, std::string> refused[] = {
        {"magic", with_byte(1, 0x8c)},
        {"method 7", with_byte(2, 7)},
        {"flag 0x20", with_byte(3, good[3] | 0x20)},
        {"three bytes", good.substr(0, 3)},
        {"extra field longer than the file", gzip_bytes("text", {false, false, true, false}).substr(0, 14)},
        {"header crc cut off", gzip_bytes("text", {false, false, false, true}).substr(0, 11)},
    };
    for (const auto& [what, bytes] : refused) {
        TempDir dir;
        EXPECT_EQ(open_packed(dir, bytes), nullptr) << what;
    }
}

TEST(GzipStreams, ManyBlocksReadAlikeByteByByteAndInChunks)
{
    // Random bytes do not compress: many 16384-byte input blocks, many output refills.
    const std::string data = random_bytes(100000, 7) + std::string(50000, 'a');
    TempDir dir;
    vfs_file* f = open_packed(dir, gzip_bytes(data, {true, true, true, true}));
    ASSERT_NE(f, nullptr);
    std::string by_byte;
    for (int c; (c = vfs_getc(f)) >= 0;)
        by_byte += static_cast<char>(c);
    EXPECT_EQ(f->position, data.size());
    vfs_close(f);
    EXPECT_TRUE(by_byte == data);

    f = vfs_open((dir / "data.txt").c_str(), "rb");
    EXPECT_EQ(vfs_seek(f, 0), 0);
    EXPECT_TRUE(read_all(f) == data);
}

TEST(GzipStreams, CutDamagedOrConcatenatedStreamsEndQuietly)
{
    const std::string data = random_bytes(40000, 3);
    const std::string packed = gzip_bytes(data);
    TempDir dir;
    std::string got = read_all(open_packed(dir, packed.substr(0, packed.size() / 2)));
    EXPECT_LT(got.size(), data.size());
    EXPECT_TRUE(data.compare(0, got.size(), got) == 0) << "a cut stream gives a prefix";

    std::string damaged = packed;
    for (size_t i = 20; i < damaged.size(); i += 97)
        damaged[i] = static_cast<char>(~damaged[i]);
    read_all(open_packed(dir, damaged));  // must simply come to an end

    EXPECT_EQ(read_all(open_packed(dir, gzip_bytes("first") + gzip_bytes("second"))), "first");
}

TEST(FileToString, SixteenMebibytesIsOneByteTooMany)
{
    in_fresh_process([] {
        Problems p;
        TempDir dir;
        setenv("QORL_LOGFILE", (dir / "log.txt").c_str(), 1);
        std::string name = dir / "text";
        std::string almost(16777215, 'x');
        almost.back() = 'y';
        write_file(name, almost);
        char* text = file_to_string(name.c_str());
        p.check(text && strlen(text) == 16777215 && text[16777214] == 'y', "16777215 bytes not returned whole");
        mem_free(text);

        write_file(name, almost + "z");
        p.check(file_to_string(name.c_str()) == nullptr, "a 16777216-byte file was returned");
        p.check(read_file(dir / "log.txt").find("File " + name + " too long for file_to_string\n") != std::string::npos,
                "no 'too long' line in the log");
        return p.text;
    });
}

}  // namespace
