// A plain offline game tick, the main loop's default until the full one is installed.
#pragma once

void game_tick_stand_in();
