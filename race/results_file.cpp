// "@results.txt", written once when the results become final. Every line ends "\r\n":
//   Time=<limit s, %.2f>|Laps=<laps setting>|Track=<folder>|Date=<calendar seconds>
//    No. |         Bike | Laps | Total Time | BLap |  Best Time
//   one line per finished rider of the final order:
//    <number %4s> | <bike %12s> | <laps %4d> | <m:ss.mmm> | <best lap %4d> | <m:ss.mmm>
//   then per finished rider again: an empty line, the positions passed, and the
//   split of each position ("%8.3f" seconds after the drop, "%8d" -1 when missed),
//   one lap to a line.
#include "foundation/vfs/vfs.h"
#include "foundation/door/whole_file.h"
#include "race/race_results.h"
#include "race/race_state.h"
#include "terrain/track_list.h"

namespace {

constexpr double kTick = 1.0 / 128.0;

void print_time(vfs_file* f, int32_t ms)
{
    vfs_printf(f, "%3d:%02d.%03d", ms / 60000, ms / 1000 - (ms / 60000) * 60, ms % 1000);
}

int32_t row_laps(const order_row& row)
{
    const int32_t F = results_first_lap_positions(), N = results_lap_positions();
    if (N == 0 || row.positions < F)
        return 0;
    return (row.positions - F) / N + 1;
}

void summary_line(vfs_file* f, const order_row& row)
{
    const char* number = results_riders.number(row.slot);
    const char* bike = results_riders.bike_name(row.slot);
    vfs_printf(f, "%4s | %12s | %4d | ", number ? number : "", bike ? bike : "", row_laps(row));
    // Worked in single precision as the race clock shows it.
    const float seconds = float(double(int64_t(row.tick) - race.gate_drop_tick) * kTick);
    print_time(f, clamp_to_int(double(seconds * 1000.0f)));
    const int32_t best = results_best_lap(row.slot);
    const double lap = best >= 2 ? results_riders.lap_time(row.slot, best) : 0.0;
    vfs_printf(f, " | %4d | ", best);
    print_time(f, clamp_to_int(lap * 1000));
    vfs_printf(f, "\r\n");
}

void splits(vfs_file* f, const order_row& row)
{
    vfs_printf(f, "\r\n%d\r\n", row.positions);
    for (int32_t p = 0; p < row.positions; ++p) {
        const int32_t t = results_riders.gate_time(row.slot, p);
        if (t == -1)
            vfs_printf(f, "%8d", -1);
        else
            vfs_printf(f, "%8.3f", (double(t) - race.gate_drop_tick) * kTick);
        const bool same_lap = p + 1 < row.positions && results_lap_of(p + 1) == results_lap_of(p);
        vfs_printf(f, same_lap ? " " : "\r\n");
    }
}

int write_results(vfs_file* f, void*)
{
    bool ok = vfs_printf(f, "Time=%.2f|Laps=%d|Track=%s|Date=%ld\r\n", race.time_limit_ticks * kTick, race.laps,
                         track_folder ? track_folder : "", long(results_calendar_time())) > 0;
    ok = vfs_printf(f, "%4s | %12s | %4s | %10s | %4s | %10s\r\n", "No.", "Bike", "Laps", "Total Time", "BLap",
                    "Best Time") > 0 && ok;
    for (int32_t i = 0; i < final_order.count; ++i)
        if (results_riders.has_finished(final_order.rows[i].slot))
            summary_line(f, final_order.rows[i]);
    for (int32_t i = 0; i < final_order.count; ++i)
        if (results_riders.has_finished(final_order.rows[i].slot))
            splits(f, final_order.rows[i]);
    return ok ? 1 : 0;
}

}  // namespace

// Whole or not at all: the writer's stream errors and the flush are checked before the
// temporary file takes the name.
int results_file_write()
{
    return whole_file_write("@results.txt", write_results, nullptr);
}
