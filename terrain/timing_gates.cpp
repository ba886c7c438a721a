#include "terrain/timing_gates.h"

timing_gates_state timing_gates;
int (*timing_gates_alloc_line_tables)(int32_t, int32_t) = nullptr;
void (*timing_gates_free_line_tables)() = nullptr;

void timing_gates_read(const char*)
{
    timing_gates.start_slot_count = 0;
    timing_gates.checkpoint_count = 0;
    timing_gates.firstlap_length = timing_gates.normallap_length = 0;
    timing_gates.firstlap_counted = timing_gates.normallap_counted = 0;
    timing_gates.segment_count = 0;
}

int write_timing_gates() { return 0; }
int timing_gates_write_to(vfs_file*) { return 0; }
int32_t timing_gates_entry_at(int32_t) { return -1; }
