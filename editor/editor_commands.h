// What the editor's keys and buttons do to the track: statues, billboards, gate switch
// points, snapping a statue to a gradient, and saving.
#pragma once

// Statue commands (refused under the edit lock).
void statue_copy_to_pointer();
void statue_delete_at_pointer();
void statues_interpolate();
void statue_snap_to_gradient();
// The first billboard within the pick radius after the selection, when it is the track's own.
void billboard_delete_at_pointer();
// Gate g's entries in both lap lists: set 1 makes it a switch point, 0 clears it.
void gate_switch_point(int set);
// Writes every track file as one set; "Saved!" only when all of them are in place,
// "Saved, but ... kept as they were: ..." naming the files a save had to leave as they
// were.
void editor_save();
// An angle wrapped into [-pi, pi).
float editor_wrap_angle(float angle);
// A statue's heading turned to angle, by its angle's mode: a scaled statue (3.25 or more)
// never turns, an upright one (-2 pi or less) keeps that mode.
float statue_turned_angle(float old_angle, float angle);
