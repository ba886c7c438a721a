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

const std::string probe = BV_BUILD_DIR "/tests/platform_probe";

bvtest::ProcessResult run_probe(std::vector<std::string> commands, std::vector<EnvChange> env = {})
{
    commands.insert(commands.begin(), probe);
    for (const char* name : {"QORL_LOGFILE", "QORL_LOGFILE_FLAGS", "QORL_OPTIONS"}) {
        bool given = false;
        for (const EnvChange& e : env)
            given = given || e.name == name;
        if (!given)
            env.push_back({name, "", true});
    }
    return bvtest::run_process(commands, env);
}

// The log's lines with their "[h:mm:ss.cc] " prefixes removed.
std::vector<std::string> log_lines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        std::string line = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
        size_t prefix = line.find("] ");
        lines.push_back(line[0] == '[' && prefix != std::string::npos ? line.substr(prefix + 2) : line);
        if (end == std::string::npos)
            break;
        at = end + 1;
    }
    return lines;
}

}  // namespace

TEST(LogFile, FirstMessageOfferNamesTheFileAndIsNotWritten)
{
    TempDir dir;
    std::string path = dir / "lastlog.txt";
    auto r = run_probe({"raw:QORL_LOGFILE=" + path, "log:hello", "close", "log:after close"});
    ASSERT_EQ(r.status, 0);
    std::vector<std::string> expected = {"Logfile \"" + path + "\" opened", "QORL 0.31", "hello"};
    EXPECT_EQ(log_lines(bvtest::read_file(path)), expected);
}

TEST(LogFile, EnvironmentWinsOverOfferAndDoubleArrowAppends)
{
    TempDir dir;
    std::string path = dir / "mine.txt";
    bvtest::write_file(path, "old line\n");
    auto r = run_probe({"raw:QORL_LOGFILE=" + (dir / "offered.txt"), "log:kept"},
                       {{"QORL_LOGFILE", ">>" + path}});
    ASSERT_EQ(r.status, 0);
    EXPECT_FALSE(bvtest::file_exists(dir / "offered.txt"));
    std::vector<std::string> lines = log_lines(bvtest::read_file(path));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "old line");
    EXPECT_EQ(lines[1], "Logfile \"" + path + "\" opened");
    EXPECT_EQ(lines[3], "kept");
}

TEST(LogFile, SingleArrowTruncatesAndFlagsOverrideTheMode)
{
    TempDir dir;
    std::string path = dir / "log.txt";
    bvtest::write_file(path, "old line\n");
    ASSERT_EQ(run_probe({"log:one"}, {{"QORL_LOGFILE", ">" + path}}).status, 0);
    EXPECT_EQ(log_lines(bvtest::read_file(path)).back(), "one");
    EXPECT_EQ(bvtest::read_file(path).find("old line"), std::string::npos);

    ASSERT_EQ(run_probe({"log:two"}, {{"QORL_LOGFILE", path}, {"QORL_LOGFILE_FLAGS", "a"}}).status, 0);
    std::vector<std::string> lines = log_lines(bvtest::read_file(path));
    EXPECT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines.back(), "two");
}

TEST(LogFile, FirstMessageWithoutOfferTurnsTheLogOffForTheRun)
{
    TempDir dir;
    std::string path = dir / "late.txt";
    auto r = run_probe({"log:too early", "raw:QORL_LOGFILE=" + path, "log:lost"});
    ASSERT_EQ(r.status, 0);
    EXPECT_FALSE(bvtest::file_exists(path));
}

TEST(LogFile, PrefixCountsHoursPastADayAndScreenOnlyLinesAreSkipped)
{
    TempDir dir;
    std::string path = dir / "log.txt";
    auto r = run_probe({"clock:3725500", "raw:QORL_LOGFILE=" + path, "log:\x13screen only", "log:at",
                        "clock:97205990", "log:later"});
    ASSERT_EQ(r.status, 0);
    std::string text = bvtest::read_file(path);
    EXPECT_NE(text.find("[1:02:05.50] at\n"), std::string::npos) << text;
    EXPECT_NE(text.find("[27:00:05.99] later\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("screen only"), std::string::npos);
}

TEST(LogFile, PathsAndPercentSignsAreNeverFormats)
{
    TempDir dir;
    std::string path = dir / "100%s-%n.txt";
    auto r = run_probe({"raw:QORL_LOGFILE=" + path, "log:50% %s %n done"});
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(log_lines(bvtest::read_file(path)).back(), "50% %s %n done");
}

TEST(LogFile, ErrorsAndMessageBoxesReachTheLogAndStandardError)
{
    TempDir dir;
    std::string path = dir / "log.txt";
    std::string long_text(1500, 'x');
    auto r = run_probe({"raw:QORL_LOGFILE=" + path, "error:no device", "box:Problem:" + long_text});
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "no device\n");
    std::vector<std::string> lines = log_lines(bvtest::read_file(path));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[2], "Error: no device");
    EXPECT_EQ(lines[3], "Problem: " + std::string(1023, 'x'));
    EXPECT_EQ(r.err, "Problem: " + std::string(1023, 'x') + "\n");
}

TEST(Options, ReadItemsFromTheEnvironment)
{
    TempDir dir;
    std::string path = dir / "log.txt";
    auto r = run_probe({"raw:QORL_LOGFILE=" + path, "int:sound-rate:22050", "int:sound-channels:16",
                        "bool:threaded:0", "bool:dsnd:1", "bool:gles:0", "int:glmajor:3",
                        "int:glminor:1", "int:sound-mixahead:125", "bool:xinput:1"},
                       {{"QORL_OPTIONS", "[sound-rate:44100x][threaded:yes][dsnd:On][gles:off]"
                                         "[glmajor:x][sound-rate:8000][glminor:-2][xinput:no]"
                                         "[sound-mixahead:99999999999]"}});
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "44100\n16\n1\n1\n0\n3\n-2\n2147483647\n0\n");
    std::string log = bvtest::read_file(path);
    EXPECT_NE(log.find("unrecognized setting for dsnd\n"), std::string::npos);
    EXPECT_NE(log.find("unrecognized setting for glmajor\n"), std::string::npos);
    EXPECT_EQ(log.find("unrecognized setting for sound-rate"), std::string::npos);
}

TEST(Options, UnrecognizedIntegerFallsBackToTheDefault)
{
    auto r = run_probe({"int:sound-rate:22050", "bool:threaded:0"},
                       {{"QORL_OPTIONS", "[sound-rate:x][threaded:Yes]"}});
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "22050\n0\n");
}

namespace {
int64_t clock_value = 0;
int64_t test_clock() { return clock_value; }
}  // namespace

TEST(Clock, SplitsSixtyFourBitMillisecondsWithoutGoingNegative)
{
    qorl_set_clock(test_clock);
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
    for (auto [s, us] : {std::pair{0, 0}, {0, 1500}, {0, 20000}, {0, 999999}, {-1, 0}}) {
        auto start = clock::now();
        qorl_sleep(s, us);
        auto waited = std::chrono::duration_cast<std::chrono::microseconds>(clock::now() - start).count();
        long long span = std::max(0LL, static_cast<long long>(s) * 1000000 + us);
        EXPECT_GE(waited, span) << s << "s " << us << "us";
        EXPECT_LT(waited, span + 200000);
    }
}
