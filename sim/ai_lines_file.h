// The lines files of a track folder: "lines_novice", "lines_amateur" and
// "lines_expert" (skill 0, 1, 2) keep the racing-line tables between runs.
#pragma once
#include "sim/ai_lines.h"

#include <cstdint>

struct vfs_file;

// Largest point count a line of a lines file may give; more is a damaged file. A line
// is sampled 4 times a second and covers one segment, at most about a lap: 4800 points
// are 20 minutes, five times a long 4-minute lap ridden as a single segment.
inline constexpr int ai_line_max_points = 4800;
// Largest text a lines file may give, after inflating: 45 lines of every table of a
// track with a 4-minute lap make about 5 MB (some 55 bytes a point), so 16 MiB holds
// a track of 12-minute laps.
inline constexpr uint32_t ai_lines_file_max_bytes = uint32_t(16) << 20;

// The learning switch: the lines file is written only while it is on ("--learn").
extern int ai_lines_learning;

// "lines_novice", "lines_amateur", "lines_expert" for skill 0..2; null otherwise.
const char* ai_lines_file_name(int skill);

// Reads one line record: 9 statistics, then its points. Returns 9 when the whole
// line was read; anything else (the scan count, or 0 for a bad point count or a
// point that does not parse) means the file is unusable from here on, and the
// record is left free. With line null the line is read and dropped.
int ai_line_read(vfs_file* f, ai_line* line);

// Fills the loaded track's tables from an open lines file. Every table is emptied
// first; a header whose table count differs from the track's leaves them all free.
// A line of more than ai_line_max_points points, or more than ai_lines_file_max_bytes
// of text, refuses the whole file: every table is left free and one line naming the
// file (name) is logged. Returns the number of lines stored.
int ai_lines_read(vfs_file* f, const char* name = "lines file");
// Opens "@" + folder + "/" + the skill's file name and reads it; 0 when it is
// missing or does not match.
int ai_lines_load(const char* folder, int skill);

// Writes the tables in the lines file format to an open file; 1 when every write
// succeeded.
int ai_lines_write_to(vfs_file* f);
// Writes the loaded track's lines to folder/name, through a temporary file that
// replaces the old one only when complete. Nothing happens when learning is off or
// the track has no tables. 1 when written.
int ai_lines_write(const char* folder, const char* name);
