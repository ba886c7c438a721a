// "@config": every kept setting, one line each, read once at start-up and written once
// at shutdown (always into the user folder). Lines are "key=value\n" ("\r\n" is read
// too); keys are exact and lower case; values by kind:
//   xres=640                  integers "%d"
//   minutes=0.000000          sliders "%f", clamped to the slider's range on reading
//   record=No                 choices by item text (no match: unchanged)
//   server_name=localhost     texts (the server cut to 127 characters)
//   slot19=Human              the 40 gate slots, "slot00" to "slot39"
//   throttle_key=(k)x         bindings (race/bindings.h), last
// The 58 setup lines (setup_file.h) stand between "time_trial_abort" and "video_mode".
// Lines of unknown keys, without "=" or with values that do not scan are skipped; the
// file is written whole, with the keys in their fixed order.
#pragma once

// 0 when there is no "@config" to read.
int config_read();
// 1 when "@config" was replaced by the settings; 0 (old file untouched) when it could
// not be written, or when it exists but could not be read at start-up.
int config_write();
// Forgets that "@config" could not be read (tests).
void config_forget_unreadable();
