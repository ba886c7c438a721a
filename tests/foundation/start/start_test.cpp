// The start's own steps: "--open-home", the data check, the process tuning.
#include <sys/resource.h>

#include "../fixtures.h"
#include "foundation/start/startup_check.h"
#include "foundation/start/tune_process.h"
#include "foundation/start/user_folder.h"
#include "foundation/os_paths.h"
#include "foundation/numbers/ripemd160.h"

namespace {

using namespace fixtures;

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
