// The script's own tables: its pose sequences, what it added while loading, and the
// check of the file names it hands to the loaders.
#pragma once
#include <cstddef>
#include <cstdint>

struct pose_sequence {
    int32_t frames;
    int32_t bones;
    float* rest;          // bones x 3
    float* centres;       // frames x bones x 3, frame-major
    float* rotations;     // frames x bones x 9
    size_t bytes;
};
inline constexpr int kMaxPoseSequences = 1024;
extern pose_sequence pose_sequences[kMaxPoseSequences];
extern int32_t pose_sequence_count;
extern size_t pose_sequence_bytes;
void pose_sequences_free();

// The statues and billboards the script added while loading, as absolute index
// ranges; -1 = none yet.
struct script_additions {
    int32_t statue_first, statue_end;
    int32_t billboard_first, billboard_end;
    int32_t path_messages;
};
extern script_additions script_added;
void script_additions_reset();
// Removes the added objects when they are still the last of their tables.
void script_additions_remove();

// What a script says reaches the screen and the log: each message is cut to one
// message line, and past a burst the messages pass at a steady rate; the rest are
// dropped, which is said once per load.
inline constexpr int kScriptMessageBytes = 256;
inline constexpr double kScriptMessageBurst = 32;
inline constexpr double kScriptMessagesPerSecond = 8;
void script_messages_reset();

// 1 when a script-given file name is a game data path the script may read, at most
// kScriptNameMax characters long; otherwise prints why (a few lines per load at most)
// and gives 0.
inline constexpr size_t kScriptNameMax = 255;
int script_path_allowed(const char* name);
