// Helpers the native functions share. Natives run inside the engine: anything that
// touches the engine may run script code (getters, finalizers) or unwind by longjmp,
// so a native reads all its arguments into plain locals first, then works on the
// tables, and holds no table pointer across an engine call.
#pragma once
#include "duktape.h"

#include <cstdint>

struct rider_slot;
struct statue;

namespace script_api {

// The most negative int for NaN and for values outside 32 bits.
int32_t to_int(double d);
inline int32_t arg_int(duk_context* ctx, int i) { return to_int(duk_get_number_default(ctx, i, 0)); }
inline double arg_number(duk_context* ctx, int i) { return duk_get_number_default(ctx, i, 0); }
inline float arg_float(duk_context* ctx, int i) { return float(duk_get_number_default(ctx, i, 0)); }
inline const char* arg_text(duk_context* ctx, int i) { return duk_get_string_default(ctx, i, ""); }
inline duk_ret_t give(duk_context* ctx, double v)
{
    duk_push_number(ctx, v);
    return 1;
}
inline duk_ret_t give_text(duk_context* ctx, const char* s)
{
    duk_push_string(ctx, s ? s : "");
    return 1;
}
// The rider of a slot, null for a slot outside 0..159 or an empty one.
rider_slot* rider_of(int32_t slot);
// A statue by relative index (negative reaches the start gates), null outside the table.
statue* statue_of(int32_t index);

inline constexpr double kSecondsPerTic = 0.0078125;

} // namespace script_api

// The natives, in the order they are registered.
#define SCRIPT_API_FUNCTIONS(X)                                                                              \
    X(message, 1) X(broadcast_script_message, 1) X(read_texture, 1) X(begin_custom_frame, 1)                  \
    X(end_custom_frame, 1) X(paste_custom_frame, 8) X(get_max_slots, 0) X(get_running_count, 0)               \
    X(get_running_order_slot, 1) X(get_running_order_position, 1) X(get_running_order_time, 1)                \
    X(get_rider_down, 1) X(get_seconds_per_tic, 0) X(get_first_lap_length, 0) X(get_normal_lap_length, 0)     \
    X(get_timing_position, 1) X(get_timing, 2) X(gate_from_timing_position, 1) X(get_rider_number, 1)         \
    X(get_rider_name, 1) X(get_bike_model, 1) X(get_elevation, 2) X(get_tile_number, 2) X(get_position_, 2)   \
    X(get_velocity_, 2) X(get_finish_laps, 0) X(get_finish_time, 0) X(get_gate_drop_time, 0)                  \
    X(get_player_slot, 0) X(pose_statue, 5) X(create_pose_sequence, 2) X(set_pose_sequence_rest, 3)           \
    X(set_pose_sequence_frame, 5) X(pose_statue_from_sequence, 3) X(move_statue, 5)                           \
    X(move_statue_absolute, 5) X(move_billboard, 4) X(move_billboard_absolute, 4) X(size_billboard, 2)        \
    X(color_billboard, 5) X(add_sound, 1) X(start_sound, 1) X(stop_sound, 1) X(set_sound_loop, 2)             \
    X(set_sound_freq, 2) X(set_sound_vol, 2) X(set_sound_pos, 4) X(set_sound_vel, 4)                          \
    X(get_camera_location, 2) X(get_front_contact_depth, 1) X(get_front_contact_position, 2)                  \
    X(get_front_contact_slip, 2) X(get_front_contact_velocity, 2) X(get_rear_contact_depth, 1)                \
    X(get_rear_contact_position, 2) X(get_rear_contact_slip, 2) X(get_rear_contact_velocity, 2)               \
    X(find_statue, 3) X(add_statue, 7) X(find_billboard, 2) X(add_billboard, 6)

#define SCRIPT_API_DECLARE(name, count) duk_ret_t script_##name(duk_context* ctx);
SCRIPT_API_FUNCTIONS(SCRIPT_API_DECLARE)
#undef SCRIPT_API_DECLARE
