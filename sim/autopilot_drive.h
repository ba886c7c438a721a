// The automatic rider at the controls: each tick it waits at the gate and launches,
// keeps its followed path supplied with the lines it picks, and turns the path into
// the same control inputs a player gives.
#pragma once
#include "sim/ai_lines.h"
#include "sim/rider_slot.h"

// Per tick for every rider, before its bike step; nothing for personality 0.
void autopilot_tick(rider_slot* rider);
// Fractional path position of the frame.
float autopilot_progress(const rider_slot* rider);
// First path index from start (within 20 points, before the end) where two points in
// a row are airborne; -1 when none.
int autopilot_find_jump(const rider_slot* rider, int start);
// Signed radius of the arc from the frame to the path at position x, m the radius
// of the present lean's turn.
float autopilot_turn_radius(const rider_slot* rider, float x, float m);
// Throttle, brakes and clutch for speed v against the target speed d.
void autopilot_set_controls(rider_slot* rider, float v, float d);
// The normal driving step.
void autopilot_drive(rider_slot* rider);
// The line to follow next from a table, or null when the rider has finished or the
// table has none.
ai_line* autopilot_pick_line(rider_slot* rider, int table_index);
// Starts the recovery over at a path point chosen by the tick, as after 40 s without
// progress; the point, or null when the rider has no path.
const ai_line_point* autopilot_restart_recovery(rider_slot* rider);
// Making no progress: a rider that has not ridden 5 ft on, driving normally within
// 15 ft of its path, for this long, neither down nor finished, is put back on its
// path. Recovering, creeping beside the path or standing do not count as riding on.
inline constexpr int autopilot_stuck_ticks = 30 * 128;
// Starts the watch afresh from where the rider is now.
void autopilot_watch_reset(rider_slot* rider, int now);
// True when the rider has made no progress for autopilot_stuck_ticks; riding on
// restarts the watch.
bool autopilot_stuck(rider_slot* rider, int now);
// The bike at rest, upright, turned by yaw (0 faces -z), its wheels just clear of the
// ground at (x, z); the race state is kept.
void autopilot_stand_at(rider_slot* rider, float x, float z, float yaw);
// Lifts the rider onto its path point (the next to reach), at rest, facing along the
// path, and lets it drive on from there.
void autopilot_put_back(rider_slot* rider, int now);
// Sets the rider's personality by name; returns its id.
int autopilot_set_personality(rider_slot* rider, const char* name);
