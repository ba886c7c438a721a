// Points series files ("series/<name>.series": title, events, riders) and, after a
// "----" line, their standings file, read as the series menu reads them.
#include "support/fuzz_support.h"

#include "race/series.h"
#include "terrain/track_list.h"

namespace {
// The bundled series race on the sample track; a series naming a track not installed
// is refused before its riders are read.
track_entry listed[] = {{const_cast<char*>("tracks/sample"), const_cast<char*>("Sample")},
                        {const_cast<char*>("tracks/flat"), const_cast<char*>("Flat")}};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::start();
    track_list = listed;
    track_count = 2;
    const fuzz::Split parts = fuzz::split(data, size);
    fuzz::put("series/fuzz.series", parts.first);
    fuzz::put("series/fuzz.series_standings", parts.rest);
    series s{};
    series_read(&s, "series/fuzz.series");
    series_free(&s);
    return 0;
}
