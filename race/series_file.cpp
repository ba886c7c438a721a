// Reading ".series" files and their standings. White space between items is free:
//   "Title" or Title                   quoted (up to 1023 characters) or one word
//   n Skill                            opponents 0..159; Novice, Amateur, else Expert
//   n rider numbers                    series riders 0..n-1 (the player is rider n)
//   E                                  events, 0..1000
//   per event: name track              each quoted or one word; the track is listed
//              minutes laps
//              40 moto points          for places 1..40 (the rest score 0)
//              40 round points         for round places 1..40; first 0 = no round ends
// The standings file holds one line per completed event: the 1-based place of each
// series rider, in series-rider order, each followed by a blank.
// A file whose series needs more than 4 MiB of text, or more than 1000 events, is
// refused; bytes past the series are not read.
#include "race/series.h"

#include "foundation/vfs/capped_read.h"
#include "foundation/door/data_name.h"
#include "foundation/index/file_index.h"
#include "foundation/index/index_downloads.h"
#include "foundation/intern.h"
#include "foundation/memory.h"
#include "foundation/text/scan.h"
#include "foundation/text/text_util.h"
#include "foundation/vfs/vfs.h"
#include "foundation/front_door.h"
#include "gfx/texture_settings.h"
#include "platform/qorl_log.h"
#include "race/race_values.h"
#include "terrain/track_list.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include <strings.h>

growable_array series_table = {};
int32_t series_active_index = -1;
int32_t series_active_event = -1;

namespace {

constexpr int kTextWidth = 1023;

// What is left to read: of one file, of one download, or of all downloads; and what a
// refusal says when the bound that ends a series is the one in all.
struct series_budget {
    uint32_t bytes;
    int32_t events;
    const char* bytes_line = "series files past 8 MiB in all";
    const char* events_line = "series events past 10000 in all";
};

// A quoted text or one word.
bool read_text(vfs_file* f, char text[kTextWidth + 1])
{
    if (vfs_scanf(f, " \"%1023[^\"]\"", text) == 1)
        return true;
    return vfs_scanf(f, "%1023s", text) == 1;
}

bool read_ints(vfs_file* f, int32_t* out, int32_t n)
{
    for (int32_t i = 0; i < n; ++i)
        if (vfs_scanf(f, "%d", &out[i]) != 1)
            return false;
    return true;
}

int32_t skill_of(const char* word)
{
    if (strcmp(word, "Novice") == 0)
        return 0;
    if (strcmp(word, "Amateur") == 0)
        return 1;
    return 2;
}

// Null when the event is read, else why not.
const char* read_event(vfs_file* f, series_event* e)
{
    char name[kTextWidth + 1], track[kTextWidth + 1];
    if (!read_text(f, name) || !read_text(f, track))
        return "an event is cut short";
    e->track = track_list_find(track);
    if (e->track < 0)
        return "an event's track is not installed";
    if (verbose_level)
        qorl_log("  event %s (%s)\n", track, name);
    e->name = intern_string(name);
    if (vfs_scanf(f, "%d %d", &e->minutes, &e->laps) != 2)
        return "an event is cut short";
    if (!race_minutes_in_range(e->minutes) || !race_value_in_range(e->laps))
        return "an event's minutes or laps are out of range";
    if (!read_ints(f, e->moto_points, kSeriesFilePoints) || !read_ints(f, e->round_points, kSeriesFilePoints))
        return "an event's points are cut short";
    return nullptr;
}

// Null when the series is read, else why not ("" when it holds more events than are
// left).
const char* read_body(vfs_file* f, series* s, const char* file_name, int32_t events_left)
{
    char text[kTextWidth + 1];
    if (!read_text(f, text))
        return "no title";
    s->title = intern_string(text);
    if (verbose_level)
        qorl_log("series %s (%s)\n", file_name, s->title);
    if (vfs_scanf(f, "%d %1023s", &s->opponent_count, text) != 2)
        return "no rider count and skill";
    // The count is checked before any number is read: it sizes the table.
    if (s->opponent_count < 0 || s->opponent_count > kSeriesMaxOpponents)
        return "rider count outside 0..159";
    s->skill = skill_of(text);
    if (!read_ints(f, s->opponents, s->opponent_count))
        return "the rider numbers are cut short";
    // Rider numbers become lineup values 1000 + number.
    for (int32_t i = 0; i < s->opponent_count; ++i)
        if (!race_value_in_range(s->opponents[i]))
            return "a rider number is out of range";
    int32_t events;
    if (vfs_scanf(f, "%d", &events) != 1 || events < 0 || events > kSeriesMaxEvents)
        return "event count missing or outside 0..1000";
    if (events > events_left)
        return "";
    if (events > 0) {
        s->events = static_cast<series_event*>(mem_alloc(size_t(events) * sizeof(series_event)));
        if (!s->events)
            return "out of memory";
        memset(s->events, 0, size_t(events) * sizeof(series_event));
    }
    s->event_count = events;
    for (int32_t k = 0; k < events; ++k)
        if (const char* why = read_event(f, &s->events[k]))
            return why;
    return nullptr;
}

// One standings line: n + 1 places, each 1..n + 1. false for a short or damaged line.
bool parse_places(const char* line, int32_t riders, int32_t* places)
{
    const char* p = line;
    for (int32_t r = 0; r < riders; ++r) {
        char* end;
        const long v = strtol(p, &end, 10);
        if (end == p || v < 1 || v > riders)
            return false;
        places[r] = int32_t(v - 1);
        p = end;
    }
    return true;
}

// The standings are the player's own file in the user folder, never a download's of
// that name. One that stands there but cannot be read is kept as it is: writing the
// standings from memory would lose the rounds it holds.
void read_standings(series* s)
{
    s->completed = 0;
    vfs_file* f = nullptr;
    const int opened = vfs_open_own(&f, s->standings_path);
    s->standings_kept = opened < 0;
    if (opened != 1)
        return;
    const int32_t riders = s->opponent_count + 1;
    char line[4096];
    int32_t places[kSeriesPlaces];
    while (s->completed < s->event_count && vfs_gets(f, line, sizeof line)) {
        if (!parse_places(line, riders, places))
            break;
        memcpy(s->events[s->completed].places, places, sizeof places);
        ++s->completed;
    }
    vfs_close(f);
}

}  // namespace

void series_free(series* s)
{
    mem_free(s->standings_path);
    mem_free(s->events);
    s->standings_path = nullptr;
    s->events = nullptr;
    s->event_count = s->completed = 0;
    s->standings_kept = false;
}

namespace {

// series_read within what is left; the bytes scanned and the events kept come off it.
// entry: the index entry to read, or -1 for what the name finds.
int read_within(series* s, const char* file_name, series_budget& left, int entry = -1)
{
    memset(s, 0, sizeof *s);
    // The standings file is kept beside the series: both names must stay inside.
    if (!data_name_accept(file_name, "Series", nullptr))
        return 0;
    vfs_file* f = entry >= 0 ? vfs_open_entry(entry) : vfs_open((std::string("@") + file_name).c_str(), "rb");
    if (!f)
        return 0;
    const uint32_t start = f->position;
    const uint32_t cap = std::min(kSeriesMaxFileBytes, left.bytes);
    // One byte past the cap tells a series that needs more from one that just fits.
    vfs_cap_rest(f, cap + 1);
    const char* why = read_body(f, s, file_name, left.events);
    const uint32_t scanned = f->position - start - (f->pushed_back >= 0 ? 1 : 0);
    vfs_close(f);
    if (why && !*why)
        why = left.events_line;
    if (scanned > cap)
        why = cap == kSeriesMaxFileBytes ? "longer than 4194304 bytes" : left.bytes_line;
    left.bytes -= std::min(scanned, left.bytes);
    if (why) {
        char line[1200];
        format_string(line, sizeof line, "Series %.900s refused: %s\n", file_name, why);
        console_print(line);
        series_free(s);
        return 0;
    }
    left.events -= s->event_count;
    const std::string path = std::string("@") + file_name + "_standings";
    s->standings_path = static_cast<char*>(xmalloc(path.size() + 1));
    memcpy(s->standings_path, path.c_str(), path.size() + 1);
    read_standings(s);
    series_standings(s);
    return 1;
}

// A download's series read within both its own bound and what all downloads have left.
int read_charged(series* s, const char* file_name, series_budget& own, series_budget& all, int entry)
{
    const bool all_binds = all.bytes < own.bytes || all.events < own.events;
    series_budget both{std::min(own.bytes, all.bytes), std::min(own.events, all.events),
                       all_binds ? all.bytes_line : own.bytes_line, all_binds ? all.events_line : own.events_line};
    const series_budget before = both;
    const int read = read_within(s, file_name, both, entry);
    for (series_budget* b : {&own, &all}) {
        b->bytes -= std::min(before.bytes - both.bytes, b->bytes);
        b->events -= std::min(before.events - both.events, b->events);
    }
    return read;
}

// Whether a name of the index ends ".series" in any case: each of its group is looked at.
bool names_a_series(const char* name)
{
    const size_t n = strlen(name);
    return n >= 7 && strcasecmp(name + n - 7, ".series") == 0;
}

// Whether entry i is spelt as a series file: ".series" exactly, as the reader has always
// taken it.
bool spelt_as_series(int i)
{
    const file_index_entry* e = file_index_get(i);
    return e && str_ends_with(e->relative_name, ".series");
}

void keep(series& s)
{
    if (!array_push(&series_table, &s))
        series_free(&s);
}

}  // namespace

int series_read(series* s, const char* file_name)
{
    series_budget one{kSeriesMaxFileBytes, kSeriesMaxEvents};
    return read_within(s, file_name, one);
}

void series_read_all(const series_budget_in_all& from_downloads)
{
    series_free_all();
    array_init(&series_table, sizeof(series));
    // Each download may bring kSeriesMaxFiles, and as many bytes and events as its own
    // bounds and what all downloads together have left allow, so that none hides
    // another's or the player's and many cost no more than a few. The player's own
    // folder "series" is no download: what it holds is read whatever the downloads
    // spent, and the bounds of one download keep it from costing without end. The
    // program's own championships are read whatever the downloads spent, each within
    // the bounds of one file, under their own spelling, and never in the place of
    // another file of the same name in any case: that one is left out, and the
    // standings are read against the championship they were written for.
    //
    // The index keeps one name for files that differ only by case, so each of its
    // groups is walked: the spelling of its first entry says nothing about the others.
    std::map<std::string, int32_t> files_from;
    std::map<std::string, series_budget> left_of;
    series_budget all{from_downloads.bytes, from_downloads.events, "series from downloads past their bytes in all",
                      "series from downloads past their events in all"};
    // Whether another series file may come from entry i's download: the 200th is the
    // last, the 201st is refused with one line and the rest are passed in silence.
    const auto counted = [&files_from](int i, const std::string& download) {
        const int32_t files = ++files_from[download];
        if (files == kSeriesMaxFiles + 1) {
            char line[1200];
            format_string(line, sizeof line,
                          "Series %.500s refused: more than 200 series files from %.500s, the rest of them not read\n",
                          file_index_get(i)->relative_name, download.c_str());
            console_print(line);
        }
        return files <= kSeriesMaxFiles;
    };
    char** names = file_index_list();
    for (; names && *names; ++names) {
        if (!names_a_series(*names))
            continue;
        const int first = file_index_find(*names);
        int read = -1;   // the entry read: the program's own, else the player's, else the first
        for (int i = first; i >= 0; i = file_index_next_of_name(i))
            if (spelt_as_series(i) && file_index_program_own(i)) {
                read = i;
                break;
            }
        const bool game_own = read >= 0;
        for (int i = first; i >= 0 && !game_own; i = file_index_next_of_name(i))
            if (spelt_as_series(i) && (read < 0 || (file_index_players_own(i) && !file_index_players_own(read))))
                read = i;
        // Every other file of the name, in any spelling, is left out with one line, but
        // for a file not spelt as a series beside none of the game's own: that is no
        // series file at all.
        for (int i = first; i >= 0; i = file_index_next_of_name(i)) {
            if (i == read || file_index_program_own(i) || (!game_own && !spelt_as_series(i)))
                continue;
            const std::string download = file_index_download(i);
            if (!counted(i, download))
                continue;
            char line[1600];
            if (game_own)
                format_string(line, sizeof line, "Series %.500s from %.500s left out: the game's own of that name is read\n",
                              file_index_get(i)->relative_name, download.c_str());
            else
                format_string(line, sizeof line, "Series %.500s from %.500s left out: the one from %.500s is read\n",
                              file_index_get(i)->relative_name, download.c_str(), file_index_download(read).c_str());
            console_print(line);
        }
        if (read < 0)
            continue;
        const char* name = file_index_get(read)->relative_name;
        series s;
        if (game_own) {
            series_budget one{kSeriesMaxFileBytes, kSeriesMaxEvents};
            if (read_within(&s, name, one, read))
                keep(s);
            continue;
        }
        const std::string download = file_index_download(read);
        if (!counted(read, download))
            continue;
        series_budget& left = left_of.try_emplace(download, series_budget{kSeriesMaxBytesInAll, kSeriesMaxEventsInAll})
                                  .first->second;
        if (file_index_players_own(read) ? read_within(&s, name, left, read) : read_charged(&s, name, left, all, read))
            keep(s);
    }
}

void series_free_all()
{
    for (int32_t i = 0; i < series_count(); ++i)
        series_free(series_at(i));
    array_free(&series_table);
    series_active_index = series_active_event = -1;
}
