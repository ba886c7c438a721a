// The player's bike setup brought to a bike: the stability value spread over the 16
// advanced stability values, every setup value pushed through the bike's setters
// with its units converted, and the watch that reports setup changes.
#pragma once
#include <cstdint>

struct rider_slot;

// Sets the 16 advanced stability values of `setup` from a stability percentage
// (clamped to 0..100) by interpolating the table of six levels.
void stability_derive(int32_t stability);

// Applies every setup value to the rider's bike, then marks the watch entries whose
// value moved since the watch was armed.
void bike_apply_setup(rider_slot* rider);

// The setup-change watch: 40 setup values, each with its report letter.
inline constexpr int kSetupWatchEntries = 40;
struct setup_watch_entry {
    double snapshot;
    int32_t changed;
    char letter;
    const double* value;     // the live setup value
};
struct setup_watch_record {
    setup_watch_entry entries[kSetupWatchEntries];
    double next_report_time;  // run clock seconds
};
extern setup_watch_record setup_watch;

// Every entry takes the current value and clears its mark.
void setup_watch_arm();
// Marks each entry whose live value differs from its snapshot.
void setup_watch_mark();
