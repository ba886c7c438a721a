// The platform library's base: the shared log file, options from QORL_OPTIONS,
// the clock, sleep and the fatal message box.
#pragma once
#include <cstdint>
#include <cstdio>

// printf-style; a null format closes the log for good.
void qorl_log(const char* format, ...) __attribute__((format(printf, 1, 2)));

// In place of a first message's offer: the log writes file, which a caller opened
// itself (the data folders keep their files off links), and owns it from now on; name
// is the one its first line shows. QORL_LOGFILE in the environment wins (file is then
// closed unused), and so does a log already opened or left off.
void qorl_log_use_file(FILE* file, const char* name);

// The most bytes the log file may hold. Anyone who can send the player text (a server's
// chat, a track script) reaches the log, so it must not be able to fill the disk: a
// line that would pass the cap is replaced by qorl_log_full_line and nothing more is
// written for the run. Several hours of a normal session stay far below it.
inline constexpr long qorl_log_cap_bytes = 8L << 20;
inline constexpr char qorl_log_full_line[] = "Log is full: no more lines are written\n";
void qorl_set_error(const char* text);
const char* qorl_last_error();

int qorl_option_bool(const char* name, int default_value);
int qorl_option_int(const char* name, int default_value);

// Time since an arbitrary origin as (seconds, microseconds).
int qorl_time(int32_t* seconds, int32_t* microseconds);
// The same clock in whole milliseconds.
int64_t qorl_time_milliseconds();
void qorl_sleep(int32_t seconds, int32_t microseconds);

// There is no modal box here: the text goes to standard error and the log.
// Returns the button "pressed" (1, OK).
int qorl_message_box(const char* caption, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

// Tests replace the clock to check the log prefix; null restores the monotonic clock.
void qorl_set_clock(int64_t (*milliseconds)());
