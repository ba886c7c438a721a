// The position log: labelled spots in the world, appended by the rider simulation
// while logging is on (the console's "log" command) and drawn by the world renderer.
#pragma once

// The distance from the point to the newest entry; 1000000 when the log is empty.
float poslog_distance(float x, float y, float z);
// Appends an entry; the text keeps at most 1023 characters.
void poslog_append(float x, float y, float z, const char* text);
// Empties the log (the console's "clearlog").
void poslog_clear();
