// Seconds of frame time since start: the sum of every frame step. The menus', console's
// and network client's timers all read it (tests set it by hand).
#pragma once

extern double run_clock;
