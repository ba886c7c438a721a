// The run's audio device: opened at start-up (live output, the offline recorder
// for "--record-audio", or none for "--nosound"), closed at shutdown.
#pragma once
#include <cstdint>

struct qorl_audio;
struct qorl_window;
struct vfs_file;

// The offline recorder mixes at 88320 Hz, one block of 690 frames per tick.
inline constexpr int record_audio_rate = 88320;
inline constexpr int record_audio_block = 690;

struct audio_request {
    bool nosound = false;
    const char* record_path = nullptr;  // "--record-audio" file, null when not recording
};

extern qorl_audio* audio_device;     // null: no sound
extern vfs_file* audio_record_file;  // open while recording

// 0 when the recording file cannot be created (the run should not go on).
int audio_start(const audio_request& request, qorl_window* window);
// Closes the device; the recording takes its name now, or a line says it failed.
void audio_stop();
// Appends one tick's mixed block (record_audio_block frames of 2 bytes).
void audio_record_block(const uint8_t* block);
