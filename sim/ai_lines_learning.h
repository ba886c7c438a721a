// The learning half of the gate tick: human riders' rides are recorded every 32 ticks
// and each finished segment is offered to its table; automatic riders' runs credit or
// blame the lines they picked.
#pragma once
#include "sim/rider_slot.h"

#include <cstdint>

// Segment of timing position p on the loaded track's lap lists.
int ai_segment_of_position(int position);

// One failure for the line the rider picked for the segment of position p: the
// picked-line ring entry is taken (cleared), the line with that id gets a failure.
// Returns the slot index, or 45 when no line of that table has the id.
int autopilot_count_failure(rider_slot* rider, int position);

// The learning steps the gate tick runs (installed into its hooks by
// ai_lines_learning_install).
void ai_lines_learning_tick(rider_slot* rider);
void ai_lines_learning_rider_down(rider_slot* rider);
void ai_lines_learning_cancel(rider_slot* rider);
void ai_lines_learning_crossed(rider_slot* rider, int32_t position, int32_t expected);
void ai_lines_learning_install();

// Empties both recording buffers and their cancel bits.
void ai_lines_clear_recording(rider_slot* rider);
