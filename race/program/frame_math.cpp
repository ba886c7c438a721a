#include "race/program/frame_math.h"

#include "foundation/text/scan.h"

#include <algorithm>

int frame_histogram_bucket(double d, double tick)
{
    int bucket = 0;
    for (double limit = tick; bucket < 7 && d >= limit; limit *= 2)
        ++bucket;
    return bucket;
}

double online_step_scale(double step, uint32_t server_tick, int32_t current_tick,
                         int32_t gate_drop_tick, double tick)
{
    // The server's tick is unsigned: the difference is taken in 64 bits.
    const double x = double(int64_t(server_tick) - int64_t(current_tick) - 1) * tick;
    if (x < 0)
        return step * (std::clamp(x + 1, 0.0, 1.0) + 1) * 0.5;
    if (current_tick < gate_drop_tick)
        return step * (1 + 3 * std::clamp(x, 0.0, 1.0));
    return step * (1 + 0.125 * std::clamp(8 * x, 0.0, 1.0));
}

int32_t derive_view_mode(int32_t mode, bool track_loaded, bool followed_has_rider,
                         bool followed_local, bool spy)
{
    if (mode == 5 && track_loaded)
        mode = followed_has_rider ? 0 : 4;
    else if (spy && mode == 4)
        mode = 4;
    else if (mode != 2 && mode != 3 && followed_local)
        mode = 0;
    if (!followed_has_rider)
        mode = 4;
    if (!track_loaded)
        mode = 5;
    return mode;
}

float sound_level(bool paused, int32_t view, bool menu_open, bool followed_local)
{
    if (paused || view == 2)
        return 0;
    if (!menu_open)
        return 1;
    return followed_local ? 0.0f : 0.25f;
}

int32_t screenshot_number(int32_t* counter, const std::vector<const char*>& names)
{
    if (*counter < 1) {
        for (const char* name : names) {
            unsigned n = 0;
            // "screenshot" and digits are enough: "screenshot004.png" counts as 4. A
            // number past 999999 would push the counter out of its range.
            if (scan_string(name, "screenshot%u", &n) == 1 && n <= 999999)
                *counter = std::max(*counter, int32_t(n));
        }
        const int32_t number = *counter + 1;
        *counter += 2;
        return number;
    }
    return (*counter)++;
}

std::string setup_change_text(const char* letters, const int32_t* marks, int count)
{
    std::string text = "[SPAM] Setup change ";
    for (int i = 0; i < count; ++i)
        text += marks[i] ? letters[i] : '-';
    text += '\n';
    return text;
}

int32_t completed_laps(int32_t p, int32_t first, int32_t lap)
{
    if (lap <= 0 || p < first)
        return 0;
    return (p - first) / lap + 1;
}
