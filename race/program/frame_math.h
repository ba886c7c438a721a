// The main loop's arithmetic, kept apart so it can be checked on its own.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Bucket 0 below T, then one per doubling up to 64 T; 7 beyond.
int frame_histogram_bucket(double d, double tick);
// The online scaling of a step: x = (server tick - current tick - 1) x T.
double online_step_scale(double step, uint32_t server_tick, int32_t current_tick,
                         int32_t gate_drop_tick, double tick);
// The view mode of a frame from the previous one.
int32_t derive_view_mode(int32_t previous, bool track_loaded, bool followed_has_rider,
                         bool followed_local, bool spy);
// The engine sound's level.
float sound_level(bool paused, int32_t view, bool menu_open, bool followed_local);
// The number of the next screenshot; raises the counter from the names on first use.
int32_t screenshot_number(int32_t* counter, const std::vector<const char*>& names);
// "[SPAM] Setup change " with one letter or "-" per watch entry, and "\n".
std::string setup_change_text(const char* letters, const int32_t* marks, int count);
// Laps completed by a rider with p timing positions, F first-lap and N lap positions.
int32_t completed_laps(int32_t p, int32_t first, int32_t lap);
