// The console's input line: chat to the server, or a command after '/' or '\'.
#pragma once

// 1 when the line was taken; 0 for chat refused as spam or a line that is no command.
int console_execute(const char* line);
// run_clock seconds of the last chat sent (far in the past at start).
extern double console_last_chat_time;

// Removes camera key index, moving the later keys down; nothing when index is not
// below the count.
void camera_key_remove(int index);
