// What a table keeps: the expected time of a line, the eviction choice, the offer
// of a freshly recorded line, and the pruning of over-full first-lap tables.
#pragma once
#include "sim/ai_lines.h"

#include <cstdint>

// Ticks an automatic rider is expected to need on the line and the following
// segment: the measured average with a 5 s penalty share for failures, or for an
// untested line its recorded extended time x 5/4 (+5 s once it has failed).
int64_t ai_line_expected_time(const ai_line& line);

// The slot to replace in a full table, or -1 when every line still earns its place.
int ai_lines_choose_eviction(const ai_line_table& table);

enum class ai_offer_result { canceled, duplicate, too_slow, stored };

// Offers a recorded line to a table: rejected when cancelled or empty, when a line
// of the table has the same samples, or when it is slower than the line it would
// replace; else stored in the first free slot or over the eviction choice.
ai_offer_result ai_lines_offer(int table_index, const ai_line_point* points, int count, bool cancelled,
                               int32_t segment_time, int32_t extended_time);

// Crossing-test work (segment tests and grid entries) one pruning may spend: honest
// tables of 45 lines need well under a hundredth of it, and lines tangled on purpose
// are counted as not crossing once it is spent, so the load keeps its pace.
inline constexpr int64_t ai_prune_work_budget = int64_t(1) << 26;

// Frees lines of every over-full first-lap table until at most 43 are used.
void ai_lines_prune();

// Segment of timing position p for the given lap lists (entries of 100000 and above
// are not switch points). Positions past the first lap repeat the normal lap.
int ai_segment_of_position_in(const int32_t* first_lap, int first_lap_length, const int32_t* normal_lap,
                              int normal_lap_length, int position);
