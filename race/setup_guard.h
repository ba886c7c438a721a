// Whether a changed bike setup reaches the own bike now: only while it stands still.
// A moving bike keeps its setup; the refusal is said at most once in ten seconds of
// running clock. The menus, "readsetup" and the race start share the one refusal time
// (race.last_refused_setup).
#pragma once
#include <cstdint>

// Applies the setup to the slot's bike when its frame moves at most 0.125 ft/s, else
// refuses (printing "Settings not applied.  Mechanic can't keep up error." when the
// last refusal was under ten seconds ago). A slot without a bike does nothing.
void setup_change_guard(int32_t slot);
