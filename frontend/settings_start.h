// The kept settings' part of start-up and shutdown, installed behind the race core's
// settings hooks.
#pragma once

// Selects the default bike, builds the video-mode list when start-up has not, and
// reads "@config".
void settings_start_read();
// The texture lists and the track list built and selected by the kept names.
void settings_lists_build();
// "@config" written.
void settings_shutdown_write();
// The texture lists, the track choice's items and the video-mode list freed.
void settings_lists_free();
