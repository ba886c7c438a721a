// What a race start leaves for the race core: the lineup, the clocks of the start,
// the kinds of the riders and what the views need to begin with. Set by reset_race.
#pragma once
#include <cstdint>

inline constexpr int kRaceSlots = 160;
inline constexpr int kNetworkLineupEntries = 161;   // entry 160: the server's gate-drop tick
inline constexpr int kRoostParticles = 2000;
inline constexpr int kWatchOnlyValue = 160;         // own lineup value of a watcher

enum rider_kind : int32_t { rider_kind_local = 0, rider_kind_remote = 1, rider_kind_bot = 2 };

struct race_state {
    int32_t tick;                       // race tick
    int32_t gate_drop_tick;
    int32_t time_limit_ticks;           // 0 = none
    int32_t laps;
    int32_t lap_counts[2];              // (laps + 1) / 2 and laps, or 1000000 twice with a time limit
    int32_t flagger_timer;
    int32_t time_trial_active;          // a solo time trial: set by track reset offline without a lineup
    int32_t watch_only;                 // 127 while only watching an online race
    int32_t viewed_slot;
    int32_t lineup[kRaceSlots];
    int32_t kinds[kRaceSlots];         // rider_kind
    const char* names[kRaceSlots];     // shown rider name, null = none
    int32_t network_lineup[kNetworkLineupEntries];
    int32_t own_lineup_value;           // online: the server's value for this player
    int32_t force_reload;               // set after editing: the next reset reloads the track
    int32_t demo_rider_count;           // riders of the demo being played
    int32_t remembered_skill;           // -1 until a race has run
    int32_t start_counters[2];
    int32_t restart_counter;
    int32_t no_frills;                  // 1 when the track script is "nofrills.js"
    float start_gate_state[kRaceSlots][2];
    float local_frame_position[3];
    float camera_target[3];
    uint32_t map_texture;
    int32_t particle_billboards[kRoostParticles];
    double max_loading_delay;
    char max_loading_message[80];       // the message that stayed longest
    double last_refused_setup;          // program clock of the last refused setup, -20 at start
    int32_t results_written;
};

extern race_state race;

// Options the command line sets.
struct race_options {
    int32_t editor;                     // "--editor"
    int32_t erode;                      // "--erode" level, -1 = unset
    int32_t tester;                     // bots take the "tester" personality
    int64_t seed;                       // the random seed of a reset; -1 = the calendar time
    int32_t fugly;                      // "--fugly": the world is drawn on a cleared screen, no sky
};
extern race_options race_opts;

// The online race: the lineup reset_race was given is race.network_lineup.
inline bool is_network_lineup(const int32_t* lineup) { return lineup == race.network_lineup; }

// The track chosen in the menus, or named by the server; data-relative folder.
extern const char* race_requested_folder;

// The local rider's profile (front-end selections).
struct rider_profile {
    const char* number;                 // "999" by default
    const char* bike;
    const char* body_texture;
    const char* head_texture;
    const char* bike_texture;
    const char* wheel_texture;
};
extern rider_profile local_profile;
