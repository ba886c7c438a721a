// The network client put back as at program start on stand-ins, as its tests and the
// fuzz target of its packets both drive it: the flat track the only one listed, the
// message handler installed, no fake lag or loss, the password "secret", fixed
// calendar seconds, no menu, run_clock at 1.5 s, the tick at 0 and no riders. The
// track reset and the race hooks are the caller's.
#pragma once
#include <cstdint>

namespace client_stand_ins {

inline constexpr uint32_t kCalendarSeconds = 0x5F5E1000;

struct seams {
    void (*track_reset)(const int32_t* lineup, int replay, int record, int32_t time_limit_ticks, int32_t laps,
                        int32_t skill);
    void (*demo_record_event)(int type, const void* bytes, int length);
    void (*script_message)(const char* message);
    void (*results_refresh)();
};

void restore_client(const seams& s);

// What a stand-in track reset does with the lineup: lineup entry 1 a local rider, 5 a
// remote one, any other a bot; the track hash 0xA0, 0xA1, ...; the tick back to 0.
void start_race(const int32_t* lineup);

}  // namespace client_stand_ins
