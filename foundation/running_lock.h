// Two copies of the game may run at once over one user folder, and a running copy's
// writes stand under the leftover pattern (fresh_file.h) until they end. Each copy
// holds a shared lock on "running.lock" in the user folder for its whole run; the
// start's sweep of leftovers runs only while its copy holds that lock alone.
#pragma once

// Opens the lock file (never through a link, nothing but a plain file) and tries to
// hold it alone. True when no other copy runs: sweep, then running_lock_share. False,
// with one line, when another copy holds it or the file cannot be had.
bool running_lock_alone();

// Holds the lock shared for the rest of the run (the process's end lets it go). A copy
// sweeping at that moment is waited for, up to a few seconds.
void running_lock_share();
