// The "timing_gates" file of a track folder: the start slots behind the start gate
// (each with its start-gate statue), the checkpoints that cut the course and the
// order they are passed in on the first lap and on every further lap.
//
// A checkpoint is a half-disc on the ground: centre (x, z), radius `length`, facing
// (dx, dz) = the direction of travel. It is crossed when a point lies within the
// radius horizontally of the centre and (point - centre) . (dx, dz) >= 0. y and dy
// are kept but take no part in the crossing test.
//
// A bike on start slot s faces (-sin yaw, 0, -cos yaw); its start-gate statue stands
// 3 ft ahead of it, at (x - 3 sin yaw, z - 3 cos yaw).
//
// Lap lists: entries are checkpoint indices; an entry of 100000 or more is a flagged
// entry (checkpoint + 100000): passed but not a switch point, and not counted. Every
// counted entry of the two lists is one segment of the racing-line tables.
#pragma once
#include <cstdint>

inline constexpr int kMaxStartSlots = 160;
inline constexpr int kMaxCheckpoints = 1024;
inline constexpr int kMaxLapEntries = 1024;     // per list
inline constexpr int kFlaggedLapEntry = 100000;
inline constexpr int kLinesPerSegment = 45;     // racing lines per segment table

struct timing_gate {
    float x, y, z;          // centre
    float dx, dy, dz;       // direction of travel
    float length;           // radius of the half-disc
    int32_t marker;         // 0 at load; set per frame by the flagger drawing
};

struct timing_gates_state {
    // Start slots, in file order: three parallel arrays.
    float start_slot_position[kMaxStartSlots][3];   // y = height above the terrain
    float start_slot_yaw[kMaxStartSlots];           // -pi..pi
    int32_t start_slot_statue[kMaxStartSlots];      // statue index of the slot's start gate
    int32_t start_slot_count;

    timing_gate checkpoints[kMaxCheckpoints];
    int32_t checkpoint_count;

    // The firstlap entries followed directly by the normallap entries.
    int32_t lap_entries[2 * kMaxLapEntries];
    int32_t firstlap_length;
    int32_t normallap_length;
    int32_t firstlap_counted;       // unflagged entries of each list
    int32_t normallap_counted;
    int32_t segment_count;          // firstlap_counted + normallap_counted; 0 = no line tables
};

extern timing_gates_state timing_gates;

inline const int32_t* firstlap_entries() { return timing_gates.lap_entries; }
inline const int32_t* normallap_entries() { return timing_gates.lap_entries + timing_gates.firstlap_length; }

// The racing-line tables (45 lines per segment) belong to the rider simulation; the
// race installs these before a track load (ai_lines_resize and ai_lines_free). The
// reader calls alloc with the counted lengths of both lists once they are good (every
// line empty, use counter 0; returns 1 when the tables exist) and free before every
// read. Null: no tables kept.
extern int (*timing_gates_alloc_line_tables)(int32_t firstlap_counted, int32_t normallap_counted);
extern void (*timing_gates_free_line_tables)();

// The longest "timing_gates" its reader takes. A save writes at most 160 slot lines
// as long as the reader reads a line (1 KiB), 1024 checkpoint lines of seven numbers
// of at most 47 characters (a float as "%f" writes it) with their brackets, under 512
// bytes each, and two lists of 1024 entries of at most six digits and a space: under
// 700 KiB. Four times a round 1 MiB leaves room for the white space of a hand-made file.
inline constexpr uint32_t kTimingGatesFileMax = uint32_t(4) << 20;

// Clears the slots, checkpoints and lists, then reads the file at path (a data path,
// "@" + track folder + "/timing_gates"). A missing file leaves everything empty
// silently; a bad file logs why and keeps the slots read so far and no laps. A file
// longer than kTimingGatesFileMax is refused with a line: unread when its length is
// known, else as a bad file once reading passes the bound.
void timing_gates_read(const char* path);
// Writes "@" + track folder + "/timing_gates": 1 written, 0 when it does not open.
int write_timing_gates();
// The same text into an open file (the editor's save and the tests).
struct vfs_file;
int timing_gates_write_to(vfs_file* f);

// Timing position p (0 = the first gate of the first lap) to its checkpoint entry:
// firstlap[p] while p < F, else normallap[(p - F) mod L]. -1 when there are no laps.
int32_t timing_gates_entry_at(int32_t position);
