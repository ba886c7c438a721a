// Installs the race rules into the lower layers' entry points: the results and the
// series for the race start, the statue grid for track load and teardown, the leader
// and the results refresh for the gate timing, the running order for the automatic
// riders, and the hidden-rider test for the rider getters.
#pragma once

void race_rules_install();
