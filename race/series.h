// Points series: championships of several events (motos) against a fixed field of
// automatic riders. Each ".series" data file is one series; the places of the events
// run so far are kept in the user folder beside it, in "@<file>_standings".
//
// Series riders are numbered 0..n: the n opponents in file order, then the player.
#pragma once
#include "foundation/growable_array.h"

#include <cstdint>

inline constexpr int32_t kSeriesPlaces = 160;
inline constexpr int32_t kSeriesMaxOpponents = 159;
inline constexpr int32_t kSeriesFilePoints = 40;

// What reading series may cost. Every ".series" among the data files is read at
// start-up, and strangers' track folders hold them too. A season runs some twenty
// rounds of two or three motos; series stored by earlier versions hold up to 1000
// events, and those are read as they were. 1000 events at their widest (two texts of
// 1023 characters and 82 numbers of 11 characters each, about 3 KB an event) and the
// widest head fit in 4 MiB. In all, 10,000 events (26 MB of records) and 8 MiB of text
// (under a second of scanning) hold ten series at those bounds, or hundreds of honest
// ones, and a page of the series menu shows 20, so 200 files are ten pages. The file
// bound is charged per download (series_read_all), and the program's own series are
// read beside whatever the downloads bring.
inline constexpr int32_t kSeriesMaxEvents = 1000;
inline constexpr uint32_t kSeriesMaxFileBytes = 4 << 20;
inline constexpr int32_t kSeriesMaxFiles = 200;
inline constexpr int32_t kSeriesMaxEventsInAll = 10000;
inline constexpr uint32_t kSeriesMaxBytesInAll = 8 << 20;
// All downloads together bring as much as two at those bounds (52 MB of records, some
// 16 MiB of text and a second of scanning at most), however many there are; the
// program's own series come beside that.
inline constexpr int32_t kSeriesMaxEventsFromDownloads = 20000;
inline constexpr uint32_t kSeriesMaxBytesFromDownloads = 16 << 20;
struct series_budget_in_all {
    uint32_t bytes;
    int32_t events;
};
inline constexpr series_budget_in_all kSeriesFromDownloads{
    .bytes = kSeriesMaxBytesFromDownloads,
    .events = kSeriesMaxEventsFromDownloads,
};

struct series_event {
    const char* name;                       // interned
    int32_t track;                          // index in the track list
    int32_t minutes;
    int32_t laps;
    int32_t moto_points[kSeriesPlaces];     // by finishing place
    int32_t round_points[kSeriesPlaces];    // by round ranking; [0] == 0: no round ends here
    int32_t places[kSeriesPlaces];          // 0-based finishing place of each series rider
    int32_t round_ranking[kSeriesPlaces];   // 0-based, for events that end a round
};

struct series {
    const char* title;                      // interned
    char* standings_path;                   // owned
    bool standings_kept;                    // the file there could not be read: not written
    int32_t event_count;
    int32_t completed;
    series_event* events;                   // owned, event_count records
    int32_t skill;                          // 0 Novice, 1 Amateur, 2 Expert
    int32_t opponent_count;
    int32_t opponents[kSeriesMaxOpponents]; // rider numbers
};

// Every series read, in the order read.
extern growable_array series_table;
inline int32_t series_count() { return series_table.count; }
inline series* series_at(int32_t i) { return static_cast<series*>(series_table.items) + i; }

// The event being raced: series index and event number, -1 and -1 when none.
extern int32_t series_active_index;
extern int32_t series_active_event;

// Reads "@" + file name and its standings; 1 when the series is usable. On failure the
// record owns nothing and one line says why. Within the bounds of one file.
int series_read(series* s, const char* file_name);
// Frees what a read series owns.
void series_free(series* s);
// Reads every data file ending ".series" into the table (start-up), within the bounds
// in all and, for all downloads together, from_downloads; a file that would pass them
// is refused with one line.
void series_read_all(const series_budget_in_all& from_downloads = kSeriesFromDownloads);
void series_free_all();
// The round rankings of every completed event.
void series_standings(series* s);
// Records the race just run as the active event when it is the series' next one:
// places from the final order (or the running order before the results are final),
// the standings recomputed, the active event cleared, the standings file rewritten.
void series_record_round();
// Rewrites the standings file through a temporary beside it; the old file stays
// whole when that fails. 1 when written; a file read at start-up that could not be read
// is not written, with one line.
int series_write_standings(const series* s);

// A page of a choose-from-list screen: 20 rows (null after the last entry), the page
// shown and the selected row. The front end's list screen works on it.
inline constexpr int32_t kListPageRows = 20;
struct list_page {
    const char* rows[kListPageRows];
    int32_t page;
    int32_t selected;
};
extern list_page choose_page;
// The texts the generic list page shows.
extern const char* const* choose_texts;
extern int32_t choose_text_count;

void list_page_fill(int32_t page);
// The same over the series titles.
void series_page_fill(int32_t page);
void list_select(int32_t index);
