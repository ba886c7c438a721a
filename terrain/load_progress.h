// Progress lines of a track load. The progress screen is the front end's; until the
// program has one, the lines go to the log so a slow load can still be followed.
#pragma once

// A new progress line ("Loading terrain", "Loading shadows", ...).
void terrain_progress_begin(const char* message);
// Work goes on under the current line.
void terrain_progress_step(const char* message);
// "%.64s...done".
void terrain_progress_end(const char* message);
