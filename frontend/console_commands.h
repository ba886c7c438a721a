// The console's input line: chat to the server, or a command after '/' or '\'.
#pragma once

// 1 when the line was taken; 0 for chat refused as spam or a line that is no command.
int console_execute(const char* line);
// run_clock seconds of the last chat sent (far in the past at start).
extern double console_last_chat_time;

// "renderstats": the statistics overlay shows the render counters once on; each
// "renderstats" asks the overlay to clear its running maxima (it clears the request).
struct render_stats_switch {
    int on;
    int clear_maxima;
};
extern render_stats_switch render_stats;

// Removes camera key index, moving the later keys down; nothing when index is not
// below the count.
void camera_key_remove(int index);
