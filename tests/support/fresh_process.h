// Scenarios that need a process of their own: the search folders, the file index, the
// log and the allocator mode are decided once per process.
#pragma once
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include <unistd.h>

namespace bvtest {

// What a scenario found wrong, one line per problem.
struct Problems {
    std::string text;
    void check(bool ok, const std::string& what) { text += ok ? "" : what + "\n"; }
    void same(const std::string& got, const std::string& want, const std::string& what)
    {
        check(got == want, what + ": got [" + got.substr(0, 200) + "] want [" + want.substr(0, 200) + "]");
    }
};

// Runs scenario in a re-executed copy of the test program; the problems it returns
// come back as the child's stderr and fail the test.
inline void in_fresh_process(const std::function<std::string()>& scenario)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto run = [&] {
        std::string problems = scenario();
        fputs(problems.c_str(), stderr);
        fflush(stderr);
        _exit(problems.empty() ? 0 : 1);  // blocks left live on purpose: no leak checker
    };
    EXPECT_EXIT(run(), ::testing::ExitedWithCode(0), "");
}

inline void use_folders(const std::string& user_base, const std::string& game)
{
    setenv("XDG_DATA_HOME", user_base.c_str(), 1);
    setenv("BV_HOME", game.c_str(), 1);
}

// The built base and track archives copied into root/game, an empty root/user, and
// both used as the process's folders.
inline void use_built_data(const std::string& root)
{
    write_file(root + "/game/zzzz.saf", read_file(BV_BUILD_DIR "/game/zzzz.saf"));
    write_file(root + "/game/tracks.saf", read_file(BV_BUILD_DIR "/game/tracks.saf"));
    make_dirs(root + "/user");
    use_folders(root + "/user", root + "/game");
}

inline void use_built_data(const TempDir& root)
{
    use_built_data(root.path());
}

}  // namespace bvtest
