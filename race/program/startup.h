// The program's entry: start-up, then (as the program grows) the main loop and shutdown.
#pragma once
#include "foundation/index/file_index.h"
#include "race/series.h"

#include <cstdint>

inline constexpr double tick_length = 1.0 / 128.0;
inline constexpr char build_string[] = "2023-06-18-1650 snapshot";

struct qorl_window;

// The program's window while it is open; null before and after.
extern qorl_window* program_window;


// What the start may read of the user folder: the file index's listing, and the series
// all downloads together bring. Tests lower them to reach them with few files.
struct start_bounds {
    listing_bounds listing = kListingBounds;
    series_budget_in_all series = kSeriesFromDownloads;
};

int brovanta_main(int argc, char** argv, const start_bounds& bounds = {});
