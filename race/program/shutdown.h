// Taking the program down in its logged order after the main loop, or from "Closing
// audio" on after a late start-up failure.
#pragma once

struct qorl_window;

enum class shutdown_from { everything, closing_audio };

// Runs the sequence; the window is closed and the log ended. Returns status.
int shutdown_run(shutdown_from from, qorl_window* window, int status);
// One second's pause before the process ends (tests set it to 0).
extern double shutdown_pause_seconds;
