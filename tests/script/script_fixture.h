// Track scripts on real tracks with no display: a temporary game folder, a small test
// track written by the test, and a way to ask the loaded script's engine a question.
#pragma once
#include "support/test_support.h"

#include <cstdint>
#include <string>

namespace scripttest {

// A time budget that an honest script never meets, however long a busy machine keeps it
// waiting: longer than any test may run. The game's budgets are wall-clock.
inline constexpr int32_t kGenerousBudgetMs = 600000;

// In a fresh process: the data folders, the quiet GL table, the physics world, the
// ground loader that keeps the tiles' grip, and the script's entry points installed,
// with a small heap and time budgets that only an endless script meets.
void start(const bvtest::TempDir& root);
// The game's own limits on a script, but for its time budgets, which are generous.
void game_limits_but_time();
// "tracks/<name>" in the user folder: the flat track's ground and gates (laps
// "0 1 2 3 0" then "1 100002 3 0"), three billboards, two statues (the second with a
// shape), and the script given (none when empty).
void write_track(const bvtest::TempDir& root, const std::string& name, const std::string& script);
// Resets a race on "tracks/<name>" with automatic riders in slots 0 and 2.
void race_on(const std::string& name);
// JSON.stringify of an expression evaluated in the loaded script ("error: ..." when it throws).
std::string js(const std::string& expression);
// Runs script code in the loaded engine, outside any deadline; "" or the error.
std::string run(const std::string& code);

// How often what occurs in text.
int count_of(const std::string& text, const std::string& what);

}  // namespace scripttest
