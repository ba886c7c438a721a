// Whether two racing lines cross in the x-z plane. One line's segments are put in a
// grid over the lines' common extent and the other line's segments look only in the
// cells they cover, so the cost follows the segments' count rather than its square.
#pragma once
#include "sim/ai_line_point.h"

#include <cstdint>

// True when a segment of p properly crosses a segment of q (touching or collinear
// segments do not count). Every segment test and grid entry spends one unit of
// *budget; once it is spent the answer is false, so hostile lines cost a bounded time.
bool ai_polylines_cross(const ai_line_point* p, int p_count, const ai_line_point* q, int q_count, int64_t* budget);

// The crossing test of two single segments a-b and c-d.
bool ai_segments_cross(const ai_line_point& a, const ai_line_point& b, const ai_line_point& c,
                       const ai_line_point& d);
