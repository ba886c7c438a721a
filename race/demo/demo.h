// Demos (".bvdemo"): the recorder that writes the race as it runs, the reader that
// plays one back (or drives the time-trial ghost) and the seeking behind the rewind
// and skip keys.
//
// Version 6 as written here (integers little-endian, text lines end in "\n"):
//   "BV06 %3d %11d %11d %11d\n"   rider count, time limit, laps, gate-drop tick
//   track folder line
//   per rider "bike|rider tex|bike tex|wheel tex|head tex\n" number "\n" name "\n" "\n"
//   blocks: u32 chained length (L xor the previous block's L), u32 tick, u8 type, L bytes
// Versions 4 and 5 are read too: after the header, one frame per tick of R records of
// 26 or 39 bytes.
#pragma once
#include "race/rider_history.h"
#include "sim/packed_state.h"

#include <cstdint>

inline constexpr int kDemoRiders = 160;
inline constexpr int kDemoNameSize = 1024;
inline constexpr int kDemoTextCap = 1023;      // longest chat, erode or script text kept
// Chat and script text a recording keeps per second of race: a server may send text
// without end, and every byte of it would reach the disk. A busy chat is far below it.
inline constexpr int kDemoTextPerSecond = 1024;
inline constexpr int kDemoEntrySize = 1 + 4 + kPackedStateSize;   // one state of a type-1 block
inline constexpr int kDemoBlockHead = 9;
// The largest states block a recorder writes: every rider with a full history of
// states not yet written (160 x 128 entries, 880 KiB). The reader skips a larger one
// whole instead of feeding the histories for seconds.
inline constexpr uint32_t kDemoStatesMax = uint32_t(kDemoRiders) * uint32_t(kHistoryLength) * uint32_t(kDemoEntrySize);

enum demo_block_type : uint8_t {
    demo_block_states = 1,
    demo_block_chat = 2,        // a chat line from the server
    demo_block_erode = 3,       // "erode %d"
    demo_block_deformation = 5, // a deformation record (the server message without its race id)
    demo_block_script = 6,      // a text for the track script's message handler
};

// ---- Recording -------------------------------------------------------------------

// Starts a recording: "@demos/default.bvdemo" after rotating the backups, or in a
// time trial "@<track folder>/lastlap.bvdemo". The recorded riders are fixed here.
// A file that cannot be opened leaves the recorder idle.
void demo_record_open();
// Called by the game tick every tick (force 0) after the tick advanced; force 1 packs
// and writes whatever is pending now.
void demo_record_states(int force);
// One event block (types 2, 3, 5 and 6); nothing while not recording.
void demo_record_event(int type, const void* bytes, int32_t count);
// Rewrites the header, closes, and renames to the demo name when one was set.
void demo_record_close();
int demo_recording();

// The name the next closed recording is given ("@demos/<name>"); the console's
// "namedemo". 0 for a refused name (a path separator, "..", a control character,
// too long); an empty name clears it.
int demo_set_name(const char* name);
const char* demo_name();

// ---- Playback --------------------------------------------------------------------

// Opens the chosen demo (else in a time trial "@<track folder>/fastlap.bvdemo",
// else "@demos/default.bvdemo") and reads its header: 1 on success, and the race's
// time limit, laps and gate drop take the header's values; 0 with nothing open.
int demo_playback_open();
// Reads ahead: version 6 keeps 64 ticks of states ahead (at most 128 blocks per
// call), versions 4 and 5 eight ticks.
void demo_playback_read();
// Closes the file; the rider tables stay for the riders made from them.
void demo_playback_close();
int demo_playing();
// The version of the demo playing, or 5 when none plays (the layout of the states
// the game tick hands to bike_apply_snapshot).
int demo_playback_version();
// The demo's track folder; null when no demo is open.
const char* demo_playback_track();

// The riders of the opened demo, by their index in it (null past the count). Texts
// are interned; a texture left empty is null.
struct demo_rider_entry {
    const char* bike;
    const char* rider_texture;
    const char* bike_texture;
    const char* wheel_texture;
    const char* head_texture;
    const char* number;          // at most 3 characters
    const char* name;            // version 6 only
};
const demo_rider_entry* demo_rider_info(int32_t index);
int32_t demo_rider_count();
// The slot that plays demo rider index; -1 = none. Track reset fills it.
void demo_set_rider_slot(int32_t index, int32_t slot);
int32_t demo_rider_slot(int32_t index);

// Moves the replay by seconds (negative = back). Only while a demo plays, nothing is
// recorded and every occupied slot is state-driven.
void demo_seek(double seconds);
// Ends playback and recording (a last state block forced), frees the riders of slots
// 1 to 159 and makes them state-driven; slot 0 keeps its rider.
void demo_stop();

// ---- Settings and seams ----------------------------------------------------------

// Settings until the config file and the menus hold them. The numbered backups kept
// are the "demo_backups" setting (plain_values.demo_backups, 0..100 used).
struct demo_settings_values {
    int32_t record = 0;                   // "record": races are recorded
    char chosen[kDemoNameSize] = {};      // the demo to play (command line, Playback Race)
};
extern demo_settings_values demo_settings;

// What the recorder asks of a rider slot (the entry texts of demo_rider_entry).
// Production reads the rider slots.
using demo_rider_texts = demo_rider_entry;
struct demo_rider_calls {
    int (*occupied)(int32_t slot);
    void (*pack)(int32_t slot, packed_rider_state* out);
    void (*texts)(int32_t slot, demo_rider_texts* out);
    int (*online)();                      // non-zero while connected to a server
};
extern demo_rider_calls demo_rider_seam;

// What the demos call of the rest of the race core: the game tick, the results and
// the track script (installed by its owner).
struct demo_later_calls {
    // One game tick (game_tick).
    void (*game_tick)();
    int (*results_final)();
    void (*set_results_final)(int final);
    // The track script's message handler.
    void (*script_message)(const char* text);
};
extern demo_later_calls demo_later_hooks;

// Where a slot's engine-sound presence value lives (1 while a replayed rider has
// states, 0 after a short record): the engine sound record installs its own field;
// until then every slot shares one scratch value.
extern float* (*engine_sound_presence)(int32_t slot);

// Installs the demo entries of the race hook table (track reset's calls).
void demo_install_hooks();
