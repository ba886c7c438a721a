// A race start with no display: a GL table whose calls do nothing (textures get names
// counting up from 1), the real physics world, and the terrain read without GL objects.
// The tools that race or load tracks without a window share it with the benchmarks and
// the tests.
#pragma once

namespace headless {

void start();
// start, the ground loader, the track list and the race's own hooks (race
// rules, demos, racing-line learning): what an automatic race of the game tick needs.
void race_start();
// A terrain loader without GL objects that keeps what riding needs: the heights, the
// tiles' materials (grip, ruts) and the tile map.
int ground_only(const char* folder);

}  // namespace headless
