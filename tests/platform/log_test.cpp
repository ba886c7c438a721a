// The log, the options and the clock, each run in a fresh process so the
// once-per-process decisions start clean.
#include "platform/qorl_log.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

using bvtest::EnvChange;
using bvtest::TempDir;

namespace {

// "@" in commands, environment values and lines stands for a temporary folder.
std::string place(std::string text, const std::string& dir)
{
    for (size_t at = text.find('@'); at != std::string::npos; at = text.find('@', at + dir.size()))
        text.replace(at, 1, dir);
    return text;
}

bvtest::ProcessResult run_probe(const std::string& dir, const std::vector<std::string>& commands,
                                std::vector<EnvChange> env = {})
{
    std::vector<std::string> argv = {BV_BUILD_DIR "/tests/platform_probe"};
    for (const std::string& c : commands)
        argv.push_back(place(c, dir));
    for (EnvChange& e : env)
        e.value = place(e.value, dir);
    for (const char* name : {"QORL_LOGFILE", "QORL_LOGFILE_FLAGS", "QORL_OPTIONS"})
        if (std::none_of(env.begin(), env.end(), [&](const EnvChange& e) { return e.name == name; }))
            env.push_back({name, "", true});
    return bvtest::run_process(argv, env);
}

// The log's lines with their "[h:mm:ss.cc] " prefixes removed.
std::vector<std::string> log_lines(const std::string& path)
{
    std::vector<std::string> lines;
    std::string text = bvtest::read_file(path);
    for (size_t at = 0, end; at < text.size(); at = end + 1) {
        end = std::min(text.find('\n', at), text.size());
        std::string line = text.substr(at, end - at);
        size_t prefix = line.find("] ");
        lines.push_back(line[0] == '[' && prefix != std::string::npos ? line.substr(prefix + 2) : line);
    }
    return lines;
}

}  // namespace

TEST(LogFile, TheFirstMessageOrTheEnvironmentDecidesTheFile)
{
    struct row {
        const char* what;
        std::vector<std::string> commands;
        std::vector<EnvChange> env;
        std::vector<std::string> lines;  // of @/log.txt, which held "old line"
    };
    const row rows[] = {
        {"an offer names the file and is not written", {"raw:QORL_LOGFILE=@/log.txt", "log:hi", "close", "log:late"},
         {}, {"Logfile \"@/log.txt\" opened", "QORL 0.31", "hi"}},
        {"the environment wins over an offer; >> appends", {"raw:QORL_LOGFILE=@/offered.txt", "log:kept"},
         {{"QORL_LOGFILE", ">>@/log.txt"}}, {"old line", "Logfile \"@/log.txt\" opened", "QORL 0.31", "kept"}},
        {"> truncates", {"log:one"}, {{"QORL_LOGFILE", ">@/log.txt"}}, {"Logfile \"@/log.txt\" opened", "QORL 0.31", "one"}},
        {"flags override the mode", {"log:two"}, {{"QORL_LOGFILE", "@/log.txt"}, {"QORL_LOGFILE_FLAGS", "a"}},
         {"old line", "Logfile \"@/log.txt\" opened", "QORL 0.31", "two"}},
        {"a first message without an offer turns the log off", {"log:early", "raw:QORL_LOGFILE=@/log.txt", "log:lost"},
         {}, {"old line"}},
    };
    for (const row& r : rows) {
        TempDir dir;
        bvtest::write_file(dir / "log.txt", "old line\n");
        ASSERT_EQ(run_probe(dir.path(), r.commands, r.env).status, 0) << r.what;
        std::vector<std::string> want;
        for (const std::string& line : r.lines)
            want.push_back(place(line, dir.path()));
        EXPECT_EQ(log_lines(dir / "log.txt"), want) << r.what;
        EXPECT_FALSE(bvtest::file_exists(dir / "offered.txt")) << r.what;
    }
}

TEST(LogFile, PrefixCountsHoursPastADayAndScreenOnlyLinesAreSkipped)
{
    TempDir dir;
    auto r = run_probe(dir.path(), {"clock:3725500", "raw:QORL_LOGFILE=@/log.txt", "log:\x13screen only", "log:at",
                                    "clock:97205990", "log:later"});
    ASSERT_EQ(r.status, 0);
    std::string text = bvtest::read_file(dir / "log.txt");
    EXPECT_NE(text.find("[1:02:05.50] at\n"), std::string::npos) << text;
    EXPECT_NE(text.find("[27:00:05.99] later\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("screen only"), std::string::npos);
}

// A sender of endless text (a server's chat) must not fill the disk through the log.
TEST(LogFile, StopsAtItsCapWithOneLineSayingSo)
{
    const long lines = qorl_log_cap_bytes / 1000 + 100;
    for (const char* env : {"@/log.txt", ">>@/log.txt"}) {
        TempDir dir;
        bvtest::write_file(dir / "log.txt", std::string(size_t(qorl_log_cap_bytes / 2), 'o') + "\n");
        ASSERT_EQ(run_probe(dir.path(), {"log:first", "flood:" + std::to_string(lines), "log:after"},
                            {{"QORL_LOGFILE", env}}).status, 0) << env;
        const std::string text = bvtest::read_file(dir / "log.txt");
        EXPECT_LE(long(text.size()), qorl_log_cap_bytes) << env;
        EXPECT_GT(long(text.size()), qorl_log_cap_bytes - 1100) << env;
        const std::vector<std::string> got = log_lines(dir / "log.txt");
        ASSERT_FALSE(got.empty());
        EXPECT_EQ(got.back() + "\n", qorl_log_full_line) << env;
        EXPECT_EQ(std::count(got.begin(), got.end(), std::string(1000, 'x')) > 4000, true) << env;
        EXPECT_EQ(text.find("after"), std::string::npos) << env;
    }

    // A long line coming when the log is nearly full: written whole while it leaves room
    // for the closing line, refused when the file held one byte more before it.
    const long prefix = long(sizeof "[0:00:00.00] " - 1);
    const long closing = prefix + long(sizeof qorl_log_full_line - 1);
    const std::string long_line(5000, 'y');
    TempDir measure;
    ASSERT_EQ(run_probe(measure.path(), {"clock:0", "log:z"}, {{"QORL_LOGFILE", ">@/log.txt"}}).status, 0);
    const long opening = long(bvtest::read_file(measure / "log.txt").size()) - (prefix + 2);
    for (const long extra : {0L, 1L}) {
        TempDir dir;  // the same length of path as measure's, so the same opening lines
        const long before = qorl_log_cap_bytes - opening - (prefix + long(long_line.size()) + 1) - closing + extra;
        bvtest::write_file(dir / "log.txt", std::string(size_t(before - 1), 'o') + "\n");
        ASSERT_EQ(run_probe(dir.path(), {"clock:0", "log:" + long_line, "log:after"},
                            {{"QORL_LOGFILE", ">>@/log.txt"}}).status, 0);
        const std::vector<std::string> got = log_lines(dir / "log.txt");
        ASSERT_GE(got.size(), 2u);
        EXPECT_EQ(got.back() + "\n", qorl_log_full_line) << extra;
        EXPECT_EQ(got[got.size() - 2] == long_line, extra == 0) << extra;
        EXPECT_EQ(long(bvtest::read_file(dir / "log.txt").size()),
                  extra == 0 ? qorl_log_cap_bytes : before + opening + closing) << extra;
    }
}

TEST(LogFile, PathsAndPercentSignsAreNeverFormats)
{
    TempDir dir;
    ASSERT_EQ(run_probe(dir.path(), {"raw:QORL_LOGFILE=@/100%s-%n.txt", "log:50% %s %n done"}).status, 0);
    EXPECT_EQ(log_lines(dir / "100%s-%n.txt").back(), "50% %s %n done");
}

TEST(LogFile, ErrorsAndMessageBoxesReachTheLogAndStandardError)
{
    TempDir dir;
    std::string long_text(1500, 'x');
    auto r = run_probe(dir.path(), {"raw:QORL_LOGFILE=@/log.txt", "error:no device", "box:Problem:" + long_text});
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "no device\n");
    std::vector<std::string> lines = log_lines(dir / "log.txt");
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[2], "Error: no device");
    EXPECT_EQ(lines[3], "Problem: " + std::string(1023, 'x'));
    EXPECT_EQ(r.err, "Problem: " + std::string(1023, 'x') + "\n");
}

TEST(Options, ReadItemsFromTheEnvironment)
{
    TempDir dir;
    auto r = run_probe(dir.path(),
                       {"raw:QORL_LOGFILE=@/log.txt", "int:sound-rate:22050", "int:sound-channels:16", "bool:threaded:0",
                        "bool:dsnd:1", "bool:gles:0", "int:glmajor:3", "int:glminor:1", "int:sound-mixahead:125",
                        "bool:xinput:1", "bool:dinput:0", "int:sound-bits:5"},
                       {{"QORL_OPTIONS", "[sound-rate:44100x][threaded:yes][dsnd:On][gles:off]"
                                         "[glmajor:x][sound-rate:8000][glminor:-2][xinput:no][dinput:Yes]"
                                         "[sound-mixahead:99999999999][sound-bits:x]"}});
    ASSERT_EQ(r.status, 0);
    // The first item wins; bool words are exact; unrecognized values keep the default.
    EXPECT_EQ(r.out, "44100\n16\n1\n1\n0\n3\n-2\n2147483647\n0\n0\n5\n");
    std::string log = bvtest::read_file(dir / "log.txt");
    EXPECT_NE(log.find("unrecognized setting for dsnd\n"), std::string::npos);
    EXPECT_NE(log.find("unrecognized setting for glmajor\n"), std::string::npos);
    EXPECT_EQ(log.find("unrecognized setting for sound-rate"), std::string::npos);
}

TEST(Clock, SplitsSixtyFourBitMillisecondsWithoutGoingNegative)
{
    static int64_t clock_value = 0;
    qorl_set_clock([] { return clock_value; });
    int32_t s = 0, us = 0;
    clock_value = 3725500;
    qorl_time(&s, &us);
    EXPECT_EQ(s, 3725);
    EXPECT_EQ(us, 500000);
    clock_value = 40LL * 24 * 3600 * 1000 + 999;  // forty days of uptime
    qorl_time(&s, &us);
    EXPECT_EQ(s, 40 * 24 * 3600);
    EXPECT_EQ(us, 999000);
    qorl_set_clock(nullptr);
}

TEST(Clock, SleepNeverReturnsEarly)
{
    using clock = std::chrono::steady_clock;
    for (auto [s, us] : {std::pair{0, 0}, {0, 1500}, {0, 999999}, {-1, 0}}) {
        auto start = clock::now();
        qorl_sleep(s, us);
        auto waited = std::chrono::duration_cast<std::chrono::microseconds>(clock::now() - start).count();
        long long span = std::max(0LL, static_cast<long long>(s) * 1000000 + us);
        EXPECT_GE(waited, span) << s << "s " << us << "us";
        EXPECT_LT(waited, span + 200000);
    }
}
