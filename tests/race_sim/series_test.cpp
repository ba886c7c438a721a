// Points series: reading ".series" files and their standings, the round rankings,
// recording an event from the race's order, the safe rewrite of the standings, and
// the pages of the choose screens.
#include "race_table.h"

#include "race/program/startup.h"
#include "race/race_hooks.h"
#include "race/race_state.h"
#include "race/series.h"
#include "sim/sim_fixture.h"
#include "support/archive_bytes.h"
#include "support/file_size_limit.h"
#include "support/fresh_process.h"
#include "support/measured_child.h"
#include "support/test_support.h"
#include "terrain/track_list.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <sstream>

namespace {

using racetable::riders;

std::string user_file(const std::string& name)
{
    return simtest::root() + "/user/Brovanta/" + name;
}

std::string points(int first, int count = 40)
{
    std::ostringstream out;
    for (int i = 0; i < count; ++i)
        out << std::max(first - i, 0) << ' ';
    return out.str();
}

struct Event {
    std::string name = "Moto";
    std::string track = "tracks/sample";
    std::string times = "0 3";
    std::string moto = points(25);
    std::string round = points(0);
};

std::string series_text(const std::string& head, const std::vector<Event>& events)
{
    std::ostringstream out;
    out << head << "\n" << events.size() << "\n";
    for (const Event& e : events)
        out << e.name << "  " << e.track << "\n" << e.times << "\n" << e.moto << "\n" << e.round << "\n";
    return out.str();
}

class Series : public racetable::RaceTable {
protected:
    Series()
    {
        if (track_count == 0)
            scan_tracks();
        series_active_index = series_active_event = -1;
        race_hooks.series_record_round = series_record_round;
    }
    ~Series() override
    {
        series_free(&s);
        series_table.count = 0;
        series_active_index = series_active_event = -1;
    }
    int read(const std::string& name, const std::string& text)
    {
        bvtest::write_file(user_file(name), text);
        series_free(&s);
        return series_read(&s, name.c_str());
    }
    // s as the only series of the table, its next event active.
    void activate()
    {
        if (series_table.element_size == 0)
            array_init(&series_table, sizeof(series));
        series_table.count = 0;
        array_push(&series_table, &s);
        series_active_index = 0;
        series_active_event = s.completed;
    }
    series& listed() { return *series_at(0); }
    series s{};
};

TEST_F(Series, ASeriesFileReadsWithQuotedAndOneWordTexts)
{
    Event quoted;
    quoted.name = "\"Round 1 Moto 1\"";
    quoted.track = "\"tracks/sample\"";
    Event word;
    word.name = "Finale";
    word.times = "5 1";
    word.round = points(50);
    ASSERT_EQ(read("a.series", series_text("\"Valley Cup\"\n3 Amateur\n20 7 41", {quoted, word})), 1);
    EXPECT_STREQ(s.title, "Valley Cup");
    EXPECT_EQ(s.opponent_count, 3);
    EXPECT_EQ(s.opponents[1], 7);
    EXPECT_EQ(s.skill, 1);
    ASSERT_EQ(s.event_count, 2);
    EXPECT_STREQ(s.events[0].name, "Round 1 Moto 1");
    EXPECT_STREQ(track_list[s.events[0].track].folder, "tracks/sample");
    EXPECT_STREQ(s.events[1].name, "Finale");
    EXPECT_EQ(s.events[1].minutes, 5);
    EXPECT_EQ(s.events[1].laps, 1);
    EXPECT_EQ(s.events[1].moto_points[0], 25);
    EXPECT_EQ(s.events[1].round_points[0], 50);
    EXPECT_EQ(s.events[1].round_points[39], 11);
    EXPECT_EQ(s.events[1].round_points[40], 0);
    EXPECT_EQ(s.completed, 0) << "no standings file";
    EXPECT_STREQ(s.standings_path, "@a.series_standings");

    const struct {
        const char* word;
        int32_t skill;
    } skills[] = {{"Novice", 0}, {"Amateur", 1}, {"Expert", 2}, {"Legend", 2}, {"novice", 2}};
    for (const auto& k : skills) {
        ASSERT_EQ(read("b.series", series_text(std::string("Cup 0 ") + k.word, {})), 1);
        EXPECT_EQ(s.skill, k.skill) << k.word;
        EXPECT_STREQ(s.title, "Cup");
        EXPECT_EQ(s.event_count, 0);
    }
}

TEST_F(Series, DamagedSeriesFilesAreRejected)
{
    Event unknown;
    unknown.track = "tracks/nowhere";
    Event short_points;
    short_points.moto = points(25, 39);
    short_points.round = "";
    // Race values past the race range overflowed in the race start ("minutes * 60",
    // "1000 + number", "(laps + 1) / 2").
    Event long_minutes;
    long_minutes.times = "2147483647 3";
    Event many_laps;
    many_laps.times = "0 2147483647";
    Event negative_laps;
    negative_laps.times = "0 -2";
    // The first values past the range: 139811 minutes is 2^30 ticks and a little more
    // (2^30 / 128 / 60 = 139810.1), laps and rider numbers 2^30 + 1.
    Event minutes_past;
    minutes_past.times = "139811 3";
    Event laps_past;
    laps_past.times = "0 1073741825";
    Event negative_minutes;
    negative_minutes.times = "-1 3";
    std::string many_opponents = "Cup 160 Expert";
    for (int i = 0; i < 160; ++i)
        many_opponents += " " + std::to_string(20 + i);
    const std::string texts[] = {
        series_text("Cup 1 Expert 20", {unknown}),
        series_text(many_opponents, {}),
        series_text("Cup -1 Expert", {}),
        series_text("Cup 1 Expert 20", {short_points}),
        "Cup 1 Expert 20 201\n",
        "Cup 1 Expert 20 -1\n",
        "Cup 1 Expert 20 2147483647\n",
        "Cup 2 Expert 20\n",
        "",
        series_text("Cup 1 Expert 20", {long_minutes}),
        series_text("Cup 1 Expert 20", {many_laps}),
        series_text("Cup 1 Expert 20", {negative_laps}),
        series_text("Cup 1 Expert 2147483647", {Event{}}),
        series_text("Cup 1 Expert -1001", {Event{}}),
        series_text("Cup 1 Expert 20", {minutes_past}),
        series_text("Cup 1 Expert 20", {laps_past}),
        series_text("Cup 1 Expert 20", {negative_minutes}),
        series_text("Cup 1 Expert 1073741825", {Event{}}),
        series_text("Cup 1 Expert -1", {Event{}}),
    };
    for (const std::string& text : texts) {
        const simtest::LogCapture said;
        EXPECT_EQ(read("bad.series", text), 0) << text.substr(0, 60);
        EXPECT_TRUE(said.contains("Series bad.series refused: ")) << text.substr(0, 60) << said.text();
    }
    EXPECT_EQ(s.events, nullptr);
    EXPECT_EQ(s.standings_path, nullptr);

    // The last values in range are read, and the race start's sums with them stay
    // within 2^30 ticks.
    Event longest;
    longest.times = "139810 1073741824";
    Event shortest;
    shortest.times = "0 0";
    std::string most_opponents = "Cup 159 Expert";
    for (int i = 0; i < 158; ++i)
        most_opponents += " " + std::to_string(20 + i);
    most_opponents += " 1073741824";
    ASSERT_EQ(read("edge.series", series_text(most_opponents, {longest, shortest})), 1);
    EXPECT_EQ(s.opponent_count, 159);
    EXPECT_EQ(s.opponents[158], 1 << 30);
    EXPECT_EQ(s.events[0].minutes, 139810);
    EXPECT_EQ(s.events[0].laps, 1 << 30);
    EXPECT_LE(int64_t(s.events[0].minutes * 60 / tick_length), int64_t(1) << 30);
    EXPECT_EQ(s.events[1].minutes, 0);
    ASSERT_EQ(read("zero.series", series_text("Cup 1 Expert 0", {Event{}})), 1);
    EXPECT_EQ(s.opponents[0], 0);
}

// The text made exactly `bytes` long by spaces after its one-word title; it ends on its
// last number, so the reader needs every byte.
std::string sized(std::string text, size_t bytes)
{
    while (!text.empty() && isspace(static_cast<unsigned char>(text.back())))
        text.pop_back();
    text.insert(text.find(' '), bytes - text.size(), ' ');
    return text;
}

// A file is read whole at 1000 events and 4 MiB, and refused one past either: series
// that earlier versions stored with up to 1000 events still read, the widest of them
// too. Bytes after the series are not read; a swamp of 1000 events against 159 riders
// is read within its bounds, one event more and a small gzip file of 512 MiB of blanks
// are refused at once.
TEST_F(Series, AFileIsReadWithinItsEventsAndBytes)
{
    Event widest;
    widest.name = "\"" + std::string(1023, 'w') + "\"";
    widest.moto = "";
    for (int i = 0; i < 40; ++i)
        widest.moto += "00000000025 ";   // 11 characters, yet sums that stay in range
    widest.round = widest.moto;
    widest.times = "00000000060 00000000003";
    const struct {
        const char* name;
        std::string text;
        int32_t events;   // -1: refused
        const char* why;
    } cases[] = {
        {"most.series", series_text("Cup 0 Expert", std::vector<Event>(1000)), 1000, ""},
        {"past.series", series_text("Cup 0 Expert", std::vector<Event>(1001)), -1,
         "event count missing or outside 0..1000"},
        {"wide.series", series_text("\"" + std::string(1023, 't') + "\" 0 Expert", std::vector<Event>(1000, widest)),
         1000, ""},
        {"mib.series", sized(series_text("Cup 0 Expert", std::vector<Event>(2)), 4 << 20), 2, ""},
        {"over.series", sized(series_text("Cup 0 Expert", std::vector<Event>(2)), (4 << 20) + 1), -1,
         "longer than 4194304 bytes"},
        {"tail.series", sized(series_text("Cup 0 Expert", {Event{}}), 4 << 20) + "\n" + std::string(2 << 20, 'x'), 1, ""},
    };
    for (const auto& c : cases) {
        const simtest::LogCapture said;
        EXPECT_EQ(read(c.name, c.text), c.events >= 0 ? 1 : 0) << c.name;
        if (c.events >= 0)
            EXPECT_EQ(s.event_count, c.events) << c.name;
        else
            EXPECT_TRUE(said.contains(std::string("Series ") + c.name + " refused: " + c.why)) << said.text();
    }
    std::string riders = "Swamp 159 Expert";
    for (int i = 0; i < 159; ++i)
        riders += " " + std::to_string(20 + i);
    bvtest::write_file(user_file("swamp.series"), series_text(riders, std::vector<Event>(1000)));
    bvtest::write_file(user_file("swamp1.series"), series_text(riders, std::vector<Event>(1001)));
    bvtest::write_file(user_file("blank.series.gz"), bvtest::gzip_repeated(' ', size_t(512) << 20));
    for (const auto& [name, read] : {std::pair{"swamp.series", 1}, {"swamp1.series", 0}, {"blank.series", 0}}) {
        const bvtest::ChildCost cost = bvtest::run_measured([name = name] {
            series one{};
            const int ok = series_read(&one, name);
            series_free(&one);
            return ok;
        });
        fprintf(stderr, "%s\n", bvtest::describe(name, cost).c_str());
        EXPECT_TRUE(cost.finished && cost.result == read) << name;
        EXPECT_TRUE(cost.seconds < 2 && cost.grown_kib < 200 * 1024) << bvtest::describe(name, cost);
    }
}

TEST_F(Series, TheStandingsFileCountsCompleteLinesOfValidPlaces)
{
    const std::string file = series_text("Cup 2 Expert 20 30", {Event{}, Event{}, Event{}});
    const struct {
        const char* standings;
        int32_t completed;
    } cases[] = {
        {"1 2 3 \n3 2 1 \n", 2},
        {"1 2 3 \n3 2", 1},                          // the last line cut short
        {"1 2 3 \n2 1 3 \n3 2 1 \n1 3 2 \n", 3},     // more lines than events
        {"1 2 3 \n0 1 2 \n3 2 1 \n", 1},             // place 0
        {"1 2 3 \n1 4 2 \n", 1},                     // place n + 2
        {"", 0},
    };
    for (const auto& c : cases) {
        bvtest::write_file(user_file("st.series_standings"), c.standings);
        ASSERT_EQ(read("st.series", file), 1);
        EXPECT_EQ(s.completed, c.completed) << c.standings;
        if (c.completed > 1) {
            EXPECT_EQ(s.events[1].places[0], c.standings[7] - '1');
            EXPECT_EQ(s.events[1].places[2], c.standings[11] - '1');
        }
    }
    unlink(user_file("st.series_standings").c_str());
}

// Three riders, two rounds of two motos (25, 22, 20 points a moto).
TEST_F(Series, RoundsRankOnTheTotalOfTheirMotosThenTheLastMotoThenTheNumber)
{
    Event first, last;
    last.round = points(50);
    bvtest::write_file(user_file("r.series_standings"),
                       "1 2 3 \n"      // 25 22 20
                       "3 1 2 \n"      // 20 25 22: totals 45 47 42
                       "2 1 3 \n"      // 22 25 20
                       "1 2 3 \n");    // 25 22 20: totals 47 47 40, tie to the last moto
    ASSERT_EQ(read("r.series", series_text("Cup 2 Expert 20 30", {first, last, first, last})), 1);
    ASSERT_EQ(s.completed, 4);
    EXPECT_EQ(s.events[1].round_ranking[0], 1);
    EXPECT_EQ(s.events[1].round_ranking[1], 0);
    EXPECT_EQ(s.events[1].round_ranking[2], 2);
    EXPECT_EQ(s.events[3].round_ranking[0], 0);
    EXPECT_EQ(s.events[3].round_ranking[1], 1);
    EXPECT_EQ(s.events[3].round_ranking[2], 2);

    // Equal totals and equal places (all unplaced at n): the lower rider number.
    bvtest::write_file(user_file("r.series_standings"), "3 3 3 \n");
    Event single;
    single.round = points(50);
    ASSERT_EQ(read("r.series", series_text("Cup 2 Expert 20 30", {single})), 1);
    EXPECT_EQ(s.events[0].round_ranking[0], 0);
    EXPECT_EQ(s.events[0].round_ranking[1], 1);
    EXPECT_EQ(s.events[0].round_ranking[2], 2);
    unlink(user_file("r.series_standings").c_str());
}

TEST_F(Series, RecordingAnEventPlacesTheRidersByNumberAndRewritesTheStandings)
{
    unlink(user_file("rec.series_standings").c_str());
    ASSERT_EQ(read("rec.series", series_text("Cup 3 Expert 7 20 41", {Event{}, Event{}})), 1);
    activate();
    ride(0, {1900, 2000}, rider_kind_local).number = "999";
    ride(1, {1900, 2100}, rider_kind_bot).number = "7";
    ride(2, {1900, 1950, 2500}, rider_kind_bot).number = "007";   // not rider 7
    ride(3, {1900}, rider_kind_bot).number = "20";
    race_results_compute();   // not final: the running order 2, 0, 1, 3
    ASSERT_EQ(race.results_written, 0);
    series_record_round();
    EXPECT_EQ(listed().completed, 1);
    EXPECT_EQ(series_active_index, -1);
    EXPECT_EQ(series_active_event, -1);
    // The local rider has not finished: it keeps place n, like rider 41 who did not race.
    EXPECT_EQ(bvtest::read_file(user_file("rec.series_standings")), "1 2 4 4 \n");

    // Nothing is active: nothing changes.
    series_record_round();
    EXPECT_EQ(listed().completed, 1);
    // The completed count is not the active event.
    series_active_index = 0;
    series_active_event = 0;
    series_record_round();
    EXPECT_EQ(listed().completed, 1);

    // Final results place the local rider where the final order has it.
    series_active_event = 1;
    riders[0].finished = true;
    riders[1].finished = true;
    riders[3].kind = rider_kind_remote;
    riders[2].kind = rider_kind_remote;
    race_results_compute();
    ASSERT_EQ(race.results_written, 1);
    EXPECT_EQ(listed().completed, 2);
    EXPECT_EQ(bvtest::read_file(user_file("rec.series_standings")), "1 2 4 4 \n2 3 4 1 \n");
    unlink(user_file("results.txt").c_str());
}

TEST_F(Series, AFinishedLocalRiderIsPlacedBeforeTheResultsOnlyWithoutAPenalty)
{
    unlink(user_file("pen.series_standings").c_str());
    ASSERT_EQ(read("pen.series", series_text("Cup 1 Expert 7", {Event{}, Event{}})), 1);
    activate();
    ride(0, {1900, 2000, 2100}, rider_kind_local).finished = true;
    ride(1, {1900, 2050}, rider_kind_bot).number = "7";
    race_results_compute();
    series_record_round();
    EXPECT_EQ(bvtest::read_file(user_file("pen.series_standings")), "2 1 \n");

    series_active_index = 0;
    series_active_event = 1;
    riders[0].gates = {1900, -1, 2100};
    race_results_compute();
    series_record_round();
    EXPECT_EQ(bvtest::read_file(user_file("pen.series_standings")), "2 1 \n1 2 \n");
}

TEST_F(Series, AFailedRewriteKeepsTheOldStandings)
{
    bvtest::write_file(user_file("keep.series_standings"), "2 1 \n");
    ASSERT_EQ(read("keep.series", series_text("Cup 1 Expert 7", {Event{}, Event{}})), 1);
    ASSERT_EQ(s.completed, 1);
    activate();
    ride(0, {1900}, rider_kind_local).finished = true;

    // A disk that cannot hold the new standings (a file-size limit, its signal ignored).
    {
        bvtest::FileSizeLimit full(4);
        race_results_compute();
    }
    EXPECT_EQ(listed().completed, 2);
    EXPECT_EQ(bvtest::read_file(user_file("keep.series_standings")), "2 1 \n");
    auto temporaries = [] {
        int found = 0;
        for (const auto& e : std::filesystem::directory_iterator(user_file("")))
            found += e.path().filename().string().find(".tmp") != std::string::npos;
        return found;
    };
    EXPECT_EQ(temporaries(), 0);

    // A folder standing in the place of the standings: the temporary goes again.
    unlink(user_file("keep.series_standings").c_str());
    bvtest::make_dirs(user_file("keep.series_standings/inside"));
    EXPECT_EQ(series_write_standings(&listed()), 0);
    EXPECT_EQ(temporaries(), 0);
    rmdir(user_file("keep.series_standings/inside").c_str());
    rmdir(user_file("keep.series_standings").c_str());
    EXPECT_EQ(series_write_standings(&listed()), 1);
    EXPECT_EQ(bvtest::read_file(user_file("keep.series_standings")), "2 1 \n2 1 \n");
    unlink(user_file("keep.series_standings").c_str());

    // Standings that stand there but cannot be read (a folder, a pipe) are kept as they
    // are: the next event recorded and Reset Points say so instead of writing.
    const std::string kept = user_file("kept.series_standings");
    for (const bool pipe : {false, true}) {
        ASSERT_EQ(pipe ? mkfifo(kept.c_str(), 0644) : mkdir(kept.c_str(), 0755), 0);
        ASSERT_EQ(read("kept.series", series_text("Cup 1 Expert 7", {Event{}, Event{}})), 1);
        EXPECT_EQ(s.completed, 0);
        activate();
        const simtest::LogCapture said;
        series_record_round();
        EXPECT_EQ(listed().completed, 1);
        listed().completed = 0;
        EXPECT_EQ(series_write_standings(&listed()), 0);
        struct stat st {};
        EXPECT_TRUE(lstat(kept.c_str(), &st) == 0 && (pipe ? S_ISFIFO(st.st_mode) : S_ISDIR(st.st_mode))) << pipe;
        const std::string line = "Series standings kept.series_standings not written: the file there could not be read\n";
        EXPECT_NE(said.text().find(line + line), std::string::npos) << said.text();
        remove(kept.c_str());
    }
    unlink(user_file("results.txt").c_str());
}

TEST(ListPages, PagesAreClampedAndEndWithANull)
{
    std::vector<std::string> names;
    std::vector<const char*> texts;
    for (int i = 0; i < 45; ++i)
        names.push_back("entry " + std::to_string(i));
    for (const std::string& n : names)
        texts.push_back(n.c_str());
    choose_texts = texts.data();
    choose_text_count = 45;
    list_page_fill(7);
    EXPECT_EQ(choose_page.page, 2);
    EXPECT_STREQ(choose_page.rows[0], "entry 40");
    EXPECT_STREQ(choose_page.rows[4], "entry 44");
    EXPECT_EQ(choose_page.rows[5], nullptr);
    EXPECT_EQ(choose_page.rows[19], nullptr);
    list_page_fill(-3);
    EXPECT_EQ(choose_page.page, 0);
    EXPECT_STREQ(choose_page.rows[19], "entry 19");
    list_select(4);
    EXPECT_EQ(choose_page.selected, 4);

    choose_text_count = 0;
    list_page_fill(1);
    EXPECT_EQ(choose_page.page, 0);
    EXPECT_EQ(choose_page.rows[0], nullptr);
    choose_texts = nullptr;
    series_page_fill(2);
    EXPECT_EQ(choose_page.page, 0);
    EXPECT_EQ(choose_page.rows[0], nullptr);
}

// A data folder of two tiny tracks beside the built base archive: the series reader
// checks its tracks against the real track list, and the bundled series reads from
// the archive.
// An event names its track as the track list holds it; by another letter case it is
// the one track so spelt but for case.
TEST(SeriesFiles, TracksComeFromTheTrackListAndTheBundledSeriesReads)
{
    bvtest::TempDir root;
    bvtest::make_dirs(root / "user/Brovanta");
    bvtest::write_file(root / "game/tracks/alpha/terrain.hf", "x");
    bvtest::write_file(root / "game/tracks/beta/terrain.hf.gz", "x");
    // Copies: a link leading out of the game folder is neither listed nor read.
    bvtest::write_file(root / "game/zzzz.saf", bvtest::read_file(BV_BUILD_DIR "/game/zzzz.saf"));
    bvtest::write_file(root / "game/tracks.saf", bvtest::read_file(BV_BUILD_DIR "/game/tracks.saf"));
    bvtest::write_file(root / "user/Brovanta/two.series",
                       series_text("Two 0 Novice", {Event{"A", "tracks/alpha"}, Event{"B", "tracks/Beta"}}));
    bvtest::write_file(root / "user/Brovanta/gone.series",
                       series_text("Gone 0 Novice", {Event{"A", "tracks/alpha"}, Event{"C", "tracks/gamma"}}));
    const std::string user = root / "user", game = root / "game";
    bvtest::in_fresh_process([&] {
        bvtest::Problems p;
        bvtest::use_folders(user, game);
        p.check(scan_tracks() == 1, "tracks found");
        series_read_all();
        p.check(series_count() == 2, "two series listed, got " + std::to_string(series_count()));
        for (int32_t i = 0; i < series_count(); ++i) {
            const series* s = series_at(i);
            if (std::string(s->title) == "Two")
                p.same(track_list[s->events[1].track].folder, "tracks/beta", "second track, named by another case");
            else {
                p.same(s->title, "Brovanta Valley Championship", "bundled title");
                p.check(s->event_count == 4 && s->opponent_count == 8 && s->skill == 1, "bundled counts");
                for (int32_t k = 0; k < s->event_count; ++k)
                    p.same(track_list[s->events[k].track].folder, "tracks/sample", "bundled track");
                p.check(s->events[0].round_points[0] == 0 && s->events[1].round_points[0] > 0, "rounds");
                p.check(s->events[2].minutes == 5 && s->events[2].laps == 1, "timed motos");
            }
        }
        return p.text;
    });
}

// Start-up reads at most 10,000 events, 8 MiB and 200 files of series in all: each
// read whole at its bound, and the next file refused with one line. Files of the same
// name sort in the order written here.
TEST(SeriesFiles, StartUpReadsWithinItsBoundsInAll)
{
    const Event alpha{"M", "tracks/alpha"};
    const std::string full = series_text("E 0 Novice", std::vector<Event>(200, alpha));
    const std::string mib = sized("A 0 Novice 0", 1 << 20);
    const struct {
        std::vector<std::pair<std::string, std::string>> files;
        int32_t read;
        const char* lines;
    } cases[] = {
        {{{"e", full}, {"f", series_text("F 0 Novice", {alpha})}, {"g", "G 0 Novice 0"}}, 51,
         "Series f.series refused: series events past 10000 in all\n"},
        {{{"a", mib}, {"b", sized("B 0 Novice 0", (1 << 20) - 12)}, {"c", "C 0 Novice 0"}, {"d", "D 0 Novice 0"}}, 9,
         "Series d.series refused: series files past 8 MiB in all\n"},
        {{{"a", mib}, {"b", sized("B 0 Novice 0", (1 << 20) - 12)}, {"c", "CC 0 Novice 0"}}, 8,
         "Series c.series refused: series files past 8 MiB in all\n"},
        {{{"x", "X 0 Novice 0"}, {"y", "Y 0 Novice 0"}, {"z", "Z 0 Novice 0"}}, 200,
         "Series y.series refused: more than 200 series files from @USER@, the rest of them not read\n"},
    };
    for (const auto& c : cases) {
        bvtest::TempDir root;
        bvtest::make_dirs(root / "user/Brovanta");
        bvtest::write_file(root / "game/tracks/alpha/terrain.hf", "x");
        // "e": 50 files, "a": 7 files, "x": 200 files; the others one each.
        for (const auto& [stem, text] : c.files) {
            const int copies = stem == "e" ? 50 : stem == "a" ? 7 : stem == "x" ? 200 : 1;
            for (int i = 0; i < copies; ++i)
                bvtest::write_file(root / ("user/Brovanta/" + stem + (copies > 1 ? std::to_string(1000 + i) : "") + ".series"),
                                   text);
        }
        const std::string user = root / "user", game = root / "game";
        std::string expected = c.lines;
        if (const size_t at = expected.find("@USER@"); at != std::string::npos)
            expected.replace(at, 6, user + "/Brovanta/");
        const int32_t read = c.read;
        bvtest::in_fresh_process([&] {
            bvtest::Problems p;
            bvtest::use_folders(user, game);
            p.check(scan_tracks() == 1, "tracks found");
            const bvtest::ChildCost cost = bvtest::run_measured([&] {
                const simtest::LogCapture said;
                series_read_all();
                std::string refused;
                for (size_t at = said.text().find("Series "); at != std::string::npos; at = said.text().find("Series ", at + 1))
                    refused += said.text().substr(at, said.text().find('\n', at) + 1 - at);
                return series_count() == read && refused == expected ? 1 : 0;
            });
            p.check(cost.finished && cost.result == 1, expected);
            p.check(cost.seconds < 2 && cost.grown_kib < 200 * 1024, bvtest::describe(expected, cost));
            return p.text;
        });
    }
}

// n series files "<folder>s000.series" on, each `text`: loose below the user folder, or
// the entries of the archive `archive` there.
void series_pack(const std::string& user, const std::string& archive, const std::string& folder, int n,
                 const std::string& text)
{
    std::vector<std::pair<std::string, std::string>> entries;
    char name[32];
    for (int i = 0; i < n; ++i) {
        snprintf(name, sizeof name, "s%03d.series", i);
        if (!archive.empty())
            entries.emplace_back(folder + name, text);
        else
            bvtest::write_file(user + "/" + folder + name, text);
    }
    if (!archive.empty())
        bvtest::write_file(user + "/" + archive, bvtest::saf_bytes(entries));
}

// One download of more series than the bound (an archive of "a/s000.series" on, or a
// loose pack in "demos") is cut at 200 with one line, and all downloads together at
// their bounds as shipped: two of 10,000 events or 8 MiB are read whole, and the third's
// series refused. The player's series and the bundled championship, with the player's
// standings in it, are still read whatever the downloads hold or spell: another file of
// its name in any case is left out. A download that spends the bytes its series may take
// spends no one else's.
TEST(SeriesFiles, EachDownloadBringsAtMost200AndTheBundledSeriesIsAlwaysRead)
{
    const std::string small = sized("S 0 Novice 0", 12);
    const std::string widest = sized("S 0 Novice 0", kSeriesMaxFileBytes);
    const std::string thousand = series_text("S 0 Novice", std::vector<Event>(kSeriesMaxEvents));
    const struct {
        std::function<void(const std::string& user)> make;
        const char* refused;   // the lines said, @U@ for the user folder
        int32_t read;
    } cases[] = {
        {[&](const std::string& user) { series_pack(user, "a.saf", "a/", 200, small); }, "", 202},
        {[&](const std::string& user) { series_pack(user, "a.saf", "a/", 201, small); },
         "Series a/s200.series refused: more than 200 series files from @U@/a.saf, the rest of them not read\n", 202},
        {[&](const std::string& user) { series_pack(user, "", "demos/", 201, small); },
         "Series demos/s200.series refused: more than 200 series files from @U@/demos, the rest of them not read\n", 202},
        // The player's folder is no download, yet it holds what one may: 200 with "mine".
        {[&](const std::string& user) { series_pack(user, "", "series/", 199, small); }, "", 201},
        {[&](const std::string& user) { series_pack(user, "", "series/", 200, small); },
         "Series series/s199.series refused: more than 200 series files from @U@/series, the rest of them not read\n", 201},
        {[&](const std::string& user) { series_pack(user, "a.saf", "a/", 3, widest); },
         "Series a/s002.series refused: series files past 8 MiB in all\n", 4},
        {[&](const std::string& user) {
             series_pack(user, "", "a0/", 10, thousand);
             series_pack(user, "", "a1/", 10, thousand);
             series_pack(user, "", "a2/", 1, series_text("S 0 Novice", {Event{}}));
         },
         "Series a2/s000.series refused: series from downloads past their events in all\n", 22},
        {[&](const std::string& user) {
             for (const char* folder : {"a0/", "a1/", "a2/"})
                 series_pack(user, "", folder, 2, widest);
         },
         "Series a2/s000.series refused: series from downloads past their bytes in all\n"
         "Series a2/s001.series refused: series from downloads past their bytes in all\n",
         6},
        {[](const std::string& user) { bvtest::write_file(user + "/series/valley.SERIES", "Theirs 0 Novice 0"); },
         "Series series/valley.SERIES from @U@/series left out: the game's own of that name is read\n", 2},
        {[](const std::string& user) {
             bvtest::write_file(user + "/tracks/evil.saf", bvtest::saf_bytes({{"series/valley.SERIES", "Theirs 0 Novice 0"}}));
         },
         "Series series/valley.SERIES from @U@/tracks/evil.saf left out: the game's own of that name is read\n", 2},
        {[](const std::string& user) {
             bvtest::write_file(user + "/pack.saf", bvtest::saf_bytes({{"series/VALLEY.series", "Theirs 0 Novice 0"}}));
         },
         "Series series/VALLEY.series from @U@/pack.saf left out: the game's own of that name is read\n", 2},
    };
    for (const auto& c : cases) {
        bvtest::TempDir root;
        const std::string user = root / "user/Brovanta";
        bvtest::use_built_data(root);
        c.make(user);
        bvtest::write_file(user + "/series/mine.series", series_text("Mine 0 Novice", {Event{}}));
        bvtest::write_file(user + "/series/valley.series_standings", "3 1 2 4 5 6 7 8 9 \n");
        std::string lines = c.refused;
        for (size_t at; (at = lines.find("@U@")) != std::string::npos;)
            lines.replace(at, 3, user);
        const int32_t read = c.read;
        bvtest::in_fresh_process([&] {
            bvtest::Problems p;
            p.check(scan_tracks() == 1, "tracks found");
            const simtest::LogCapture said;
            series_read_all();
            std::string refused;
            for (size_t at = said.text().find("Series "); at != std::string::npos; at = said.text().find("Series ", at + 1))
                refused += said.text().substr(at, said.text().find('\n', at) + 1 - at);
            p.same(refused, lines, "what was said");
            p.check(series_count() == read, std::to_string(series_count()) + " series read, want " + std::to_string(read));
            bool bundled = false, mine = false;
            for (int32_t i = 0; i < series_count(); ++i) {
                const std::string title = series_at(i)->title;
                mine = mine || title == "Mine";
                if (title == "Brovanta Valley Championship")
                    bundled = series_at(i)->completed == 1 && series_at(i)->events[0].places[1] == 0 &&
                              strcmp(series_at(i)->standings_path, "@series/valley.series_standings") == 0;
            }
            p.check(bundled, "the bundled championship with the player's standings, in their own file");
            p.check(mine, "the player's series");
            return p.text;
        });
    }
}

}  // namespace
