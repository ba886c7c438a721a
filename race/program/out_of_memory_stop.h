// What out_of_memory closes before its message: the audio device and the window with its
// GL context, whichever are open at that moment.
#pragma once

struct qorl_window;

// Installed once at the start of the run.
void install_out_of_memory_stop();
// The window to close on the way out; null once the program has closed it itself.
void out_of_memory_watch(qorl_window* window);
