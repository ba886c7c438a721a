// Two copies of the game may run at once over one user folder, and a running copy's
// writes stand under the game's mark (temp_mark.h) until they end. Each copy holds a
// shared lock on "running.lock" in the user folder for its whole run; a sweep of
// leftovers runs only while its copy holds that lock alone. The start asks for the
// lock before anything else, so a second copy never places a log of its own over the
// running copy's.
#pragma once

// The start's first step, before the log: opens the lock file (never through a link,
// nothing but a plain file) and holds it alone when no other copy runs, else shared.
// False when another copy runs: this copy keeps no log file then. Says nothing: the
// lines wait for running_lock_tell.
bool running_lock_take();

// The line that says what running_lock_take found, once the log has its file; on
// standard error as well when this copy keeps no log.
void running_lock_tell();

// True while this copy holds the lock alone: a sweep may run.
bool running_lock_alone();

// Holds the lock shared for the rest of the run (the process's end lets it go). A copy
// sweeping at that moment is waited for, up to a few seconds.
void running_lock_share();

// Before a write makes a temporary in the user folder. True when this copy holds the
// lock, or never asked for it; a copy that could not get it asks again, waiting for a
// sweeping copy as running_lock_share does. False with one line: a write made now
// could be swept by another copy.
bool running_lock_for_writing();

// For a sweep during the run (the editor's save): holds the lock alone when no other
// copy runs, true then; running_lock_share ends it. False when another copy runs (the
// lock is held shared again).
bool running_lock_sweep_begin();
