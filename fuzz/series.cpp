// Points series files ("series/<name>.series": title, events, riders) and, after a
// "----" line, their standings file, read as the series menu reads them.
#include "support/fuzz_support.h"

#include "race/series.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::start();
    const fuzz::Split parts = fuzz::split(data, size);
    fuzz::put("series/fuzz.series", parts.first);
    fuzz::put("series/fuzz.series_standings", parts.rest);
    series s{};
    series_read(&s, "series/fuzz.series");
    series_free(&s);
    return 0;
}
