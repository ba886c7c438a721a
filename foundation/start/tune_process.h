// Process tuning at track load. Linux has no working-set range to set: the range is
// still worked out and logged, and the log says plainly that it is not applied.
#pragma once
#include <cstdint>

void tune_process();
// The working-set range tune_process asks for, for a machine of this much memory:
// 0 when it leaves the working set alone (under 64 MiB).
int working_set_range(uint64_t total_bytes, uint32_t* min, uint32_t* max);
