// Engine sound: each rider slot's record holds a looping stream voice, the engine's
// tone (firing rate, torque range, idle speed), a 16-tap exhaust-pipe resonance and a
// sound table of sampled engine cycles. engine_sound_load fills a record from the
// ".braap" definition next to the bike's texture, the class's stock definition or the
// built-in defaults; engine_sound_update plays every record once per drawn frame.
#pragma once
#include <cstdint>

struct qorl_sound;
struct rider_slot;
struct vfs_file;

inline constexpr int32_t kEngineSlots = 160;
inline constexpr int32_t kEngineRing = 32768;       // samples at 44100 per second
inline constexpr int32_t kPipeTaps = 16;
inline constexpr int32_t kToneValues = 100;         // bias and scale list lengths

// One cell of a sound table: a sample holding `cycles` recorded engine cycles.
struct sound_table_cell {
    float* samples;
    int32_t length;
    int32_t cycles;
    int32_t* remap;          // null: engine cycle c plays recorded cycle c
    int32_t remap_count;
    float row_value;         // engine rpm
    float column_value;      // load 0..1
};

// A loaded table, shared by every record naming it; kept for the whole run.
struct sound_table {
    char* name;
    int32_t rows;
    int32_t columns;
    sound_table_cell* cells;     // rows x columns, row-major
    sound_table* next;
};

struct engine_oscillator {
    const float* data;
    uint32_t phase;          // 22.10 fixed point, in samples
    uint32_t step;
    float weight;
    int32_t length;          // samples readable at data (the read guard)
};

// The block a class's defaults fill whole.
struct engine_tone {
    const sound_table* table;
    float firings;           // per revolution
    float lowtorque;
    float hightorque;
    float minrpm;
    int32_t pipe_values[kPipeTaps];   // 32768 = 1.0
    float pipe_gains[kPipeTaps];
    float bias[kToneValues];
    float scale[kToneValues];
    int32_t bias_count;
    int32_t scale_count;
};

struct engine_sound {
    qorl_sound* voice;       // null without an audio device
    engine_tone tone;
    // Synthesis state.
    float ring[kEngineRing];
    int32_t cursor;
    int32_t cycle_phase;     // 24-bit fraction of the current engine cycle
    int32_t cycle_step;
    int32_t cycle_counter;
    float cycles_per_second;
    float previous_rpm;
    engine_oscillator oscillators[4];
    // Demo playback marks a slot's engine present (1) or not (0); nothing reads it.
    float presence;
};

extern engine_sound engine_sounds[kEngineSlots];

// What the synthesis and the definition search read of a slot; production reads the
// rider slots and the race's hidden riders, tests install a table.
struct engine_view_entry {
    const rider_slot* rider;     // null: the slot holds no rider
    float rpm;
    float torque;
    float position[3];           // frame body, feet
    float velocity[3];
    int hidden;
};
struct engine_view_ops {
    void (*read)(int32_t slot, engine_view_entry* out);
    const char* (*bike_class)(const rider_slot* rider);
    const char* (*texture_name)(const rider_slot* rider);
};
extern engine_view_ops engine_view;
void engine_view_use_riders();

void engine_sound_load(engine_sound* record, const rider_slot* rider, const char* definition);
void engine_pipe_tune(engine_sound* record, float a, float b, float c, int32_t first, int32_t last);
vfs_file* engine_sound_open_default(const rider_slot* rider);
// Frees the slot's voice (track reset, demo stop, shutdown).
void engine_sound_free(engine_sound* record);

// A table already loaded under exactly this name, else loaded now; null (with its
// console lines) when it fails. The built-in tables are never found by name.
const sound_table* sound_table_get(const char* name);
// The built-in tables (made on first use).
const sound_table* sound_table_default_four_stroke();
const sound_table* sound_table_default_two_stroke();
// Shutdown: the loaded and built-in tables, then the sample cache.
void sound_tables_free();
void sound_samples_free();

// The voice's 8-bit sample of a synthesised value: (y + 1) x 127, halves away from
// zero, clamped to 0..255.
uint8_t engine_sample_byte(float y);

// Float to int with every input defined: NaN gives 0, out-of-range values the limit.
int32_t clamp_to_int(double x, int32_t lo, int32_t hi);

// Start-up: the race core's load, free and script-sound reset entry points.
void engine_sound_install();
// Shutdown, after every voice is freed: the tables and the sample cache.
void engine_sound_caches_free();
