// Writes into a folder strangers filled, and the checked end of every write.
#include "../fixtures.h"
#include "foundation/door/door_faults.h"
#include "foundation/door/temp_mark.h"
#include "foundation/door/whole_file.h"
#include "support/file_size_limit.h"

#include <dirent.h>
#include <fcntl.h>

namespace {

using namespace fixtures;

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

    // A sealed temporary waits for its placing (a save set seals every file before it
    // places any): a sweep meanwhile passes it by.
    fresh_file sealed;
    ASSERT_EQ(fresh_file_open((track + "/plain").c_str(), &sealed), 1);
    vfs_puts(sealed.f, "sealed");
    ASSERT_EQ(fresh_file_seal(&sealed, true), 1);
    const int folder = open(track.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    EXPECT_FALSE(temp_mark_sweep(folder, sealed.temp_leaf.c_str())) << "a sealed temporary swept";
    close(folder);
    EXPECT_EQ(fresh_file_place(&sealed), 1);
    EXPECT_EQ(read_file(track + "/plain"), "sealed");
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
        door_set_faults(under_kernel({.finish_stream = f, .finish = *static_cast<finish_fault*>(what)}));
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
        door_set_faults(under_kernel({.finish_stream = other, .finish = finish_fault::close}));
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

}  // namespace
