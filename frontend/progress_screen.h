// Progress during long work on the main thread: whole frames drawn and shown from
// inside the work (the title screen with a message, or a busy spinner), every pending
// event taken so no key pressed while loading reaches the race, and the message that
// stayed longest on screen kept for the track reset's report.
#pragma once

// One progress frame with the message (drawn only when the window can be drawn).
void progress_screen_show(const char* message);
// The frame, then "%s\n" to the log unless the message is empty.
void progress_log(const char* message);
// As progress_log, and the dots start again.
void progress_screen_log_reset(const char* message);
// "%.64s" and 1, 2, 3 or no dots, at most every 0.125 s.
void progress_screen_dots(const char* message);
// "%.64s...done".
void progress_screen_done(const char* message);
// At most every 1/16 s: the spinner with the call count as a row of squares.
void progress_screen_spinner();

// Called after each drawn progress frame (with its text) or spinner frame (null),
// before it is shown (tests).
extern void (*progress_frame_observer)(const char* message);
// The field of view the progress frames are projected with.
extern double progress_fov;
// The message on screen now (cut to 79 characters).
const char* progress_current_message();
// Everything back to "nothing drawn yet" (tests).
void progress_screen_reset_state();
