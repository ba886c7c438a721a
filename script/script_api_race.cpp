// Natives: messages, the race and its timing, and the riders.
#include "script/script_api.h"
#include "script/script_host.h"

#include "foundation/front_door.h"
#include "race/net/net_channel.h"
#include "race/net/net_client.h"
#include "race/net/net_connection.h"
#include "race/race_results.h"
#include "race/race_riders.h"
#include "race/race_state.h"
#include "script/script_seams.h"
#include "script/script_tables.h"
#include "sim/gate_times.h"
#include "sim/rider_access.h"
#include "sim/wheel_sampling.h"
#include "terrain/timing_gates.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

using namespace script_api;

int script_broadcasting = 0;

namespace {

struct message_gate {
    double tokens;
    double at;        // steady-clock seconds of the last refill
    bool told;        // the dropping was said
};
message_gate messages = {kScriptMessageBurst, -1, false};

double now_seconds()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

bool message_may_pass()
{
    const double now = now_seconds();
    if (messages.at >= 0)
        messages.tokens = std::min(kScriptMessageBurst, messages.tokens + (now - messages.at) * kScriptMessagesPerSecond);
    messages.at = now;
    if (messages.tokens >= 1) {
        messages.tokens -= 1;
        return true;
    }
    if (!messages.told) {
        messages.told = true;
        console_print("javascript error: the track script's messages come too fast; some are left out\n");
    }
    return false;
}

}  // namespace

void script_messages_reset()
{
    messages = {kScriptMessageBurst, -1, false};
}

duk_ret_t script_message(duk_context* ctx)
{
    const char* text = arg_text(ctx, 0);
    if (!message_may_pass())
        return 0;
    char line[kScriptMessageBytes];
    std::snprintf(line, sizeof line, "%s", text);
    console_print(line);
    return 0;
}

duk_ret_t script_broadcast_script_message(duk_context* ctx)
{
    const char* text = arg_text(ctx, 0);
    // Checked first: queueing while closed would print "Not connected to server".
    if (!script_broadcasting || net_socket < 0)
        return 0;
    char record[160];
    const int n = std::snprintf(record, sizeof record, "%d %.128s", int(net_race_id), text);
    net_queue_reliable(32, record, n);
    return 0;
}

duk_ret_t script_get_max_slots(duk_context* ctx)
{
    return give(ctx, kRaceSlots);
}

duk_ret_t script_get_seconds_per_tic(duk_context* ctx)
{
    return give(ctx, kSecondsPerTic);
}

duk_ret_t script_get_running_count(duk_context* ctx)
{
    return give(ctx, running_order.count);
}

namespace {

const order_row* order_row_at(duk_context* ctx)
{
    const int32_t row = arg_int(ctx, 0);
    return row >= 0 && row < kOrderRows ? &running_order.rows[row] : nullptr;
}

} // namespace

duk_ret_t script_get_running_order_slot(duk_context* ctx)
{
    const order_row* r = order_row_at(ctx);
    return give(ctx, r ? r->slot : 0);
}

duk_ret_t script_get_running_order_position(duk_context* ctx)
{
    const order_row* r = order_row_at(ctx);
    return give(ctx, r ? r->positions : 0);
}

duk_ret_t script_get_running_order_time(duk_context* ctx)
{
    const order_row* r = order_row_at(ctx);
    return give(ctx, r ? r->tick : 0);
}

duk_ret_t script_get_first_lap_length(duk_context* ctx)
{
    return give(ctx, timing_gates.firstlap_length);
}

duk_ret_t script_get_normal_lap_length(duk_context* ctx)
{
    return give(ctx, timing_gates.normallap_length);
}

duk_ret_t script_gate_from_timing_position(duk_context* ctx)
{
    const int32_t p = arg_int(ctx, 0);
    const int32_t f = timing_gates.firstlap_length;
    const int32_t n = timing_gates.normallap_length;
    if (f + n <= 0)
        return give(ctx, 0);   // no lap sequence at all
    int64_t i = 0;
    if (p >= 0 && n != 0)
        i = p < f ? p : f + (int64_t(p) - f) % n;
    if (i >= f + n)
        return give(ctx, 0);
    int32_t gate = timing_gates.lap_entries[i];
    if (gate >= kFlaggedLapEntry)
        gate -= kFlaggedLapEntry;
    return give(ctx, gate);
}

duk_ret_t script_get_finish_laps(duk_context* ctx)
{
    return give(ctx, race.laps);
}

duk_ret_t script_get_finish_time(duk_context* ctx)
{
    return give(ctx, float(race.time_limit_ticks * kSecondsPerTic));
}

duk_ret_t script_get_gate_drop_time(duk_context* ctx)
{
    if (race.tick < race.gate_drop_tick)
        return give(ctx, -1);
    return give(ctx, float(race.gate_drop_tick * kSecondsPerTic));
}

duk_ret_t script_get_player_slot(duk_context* ctx)
{
    if (net_socket >= 0) {
        if (net_own_lineup == kWatchOnlyValue || net_own_slot < 0 || net_own_slot >= kRaceSlots)
            return give(ctx, -1);
        return give(ctx, net_own_slot);
    }
    for (int32_t k = 0; k < kRaceSlots; ++k)
        if (race.kinds[k] == rider_kind_local && rider_of(k))
            return give(ctx, k);
    return give(ctx, -1);
}

duk_ret_t script_get_timing_position(duk_context* ctx)
{
    const rider_slot* r = rider_of(arg_int(ctx, 0));
    return give(ctx, r ? rider_get_timing_position(r) : -1);
}

duk_ret_t script_get_timing(duk_context* ctx)
{
    const rider_slot* r = rider_of(arg_int(ctx, 0));
    const int32_t position = arg_int(ctx, 1);
    if (!r)
        return give(ctx, -1);
    return give(ctx, rider_get_gate_time(r, position) * kSecondsPerTic);
}

duk_ret_t script_get_rider_down(duk_context* ctx)
{
    const rider_slot* r = rider_of(arg_int(ctx, 0));
    return give(ctx, r ? (rider_is_down(r) ? 1 : 0) : 0);
}

duk_ret_t script_get_rider_number(duk_context* ctx)
{
    const rider_slot* r = rider_of(arg_int(ctx, 0));
    return give_text(ctx, r ? rider_get_number(r) : "");
}

duk_ret_t script_get_rider_name(duk_context* ctx)
{
    const int32_t slot = arg_int(ctx, 0);
    return give_text(ctx, rider_of(slot) ? race_rider_name(slot) : "");
}

duk_ret_t script_get_bike_model(duk_context* ctx)
{
    const rider_slot* r = rider_of(arg_int(ctx, 0));
    const bike_info* info = r ? rider_get_bike_info(r) : nullptr;
    char name[kBikeNameSize + 1] = "";
    if (info) {
        std::memcpy(name, info->name, kBikeNameSize);
        name[kBikeNameSize] = 0;
    }
    return give_text(ctx, name);
}

namespace {

// Result first, then the array from locals (zeros for a bad slot).
duk_ret_t give_vector(duk_context* ctx, int result, const float v[3])
{
    duk_push_number(ctx, result);
    script_put_floats(ctx, 1, v, 3);
    return 1;
}

duk_ret_t body_vector(duk_context* ctx, bool velocity)
{
    const rider_slot* r = rider_of(arg_int(ctx, 0));
    float v[3] = {0, 0, 0};
    dBodyID body = r ? rider_get_frame_body(r) : nullptr;
    if (!body)
        return give_vector(ctx, 0, v);
    const dReal* d = velocity ? dBodyGetLinearVel(body) : dBodyGetPosition(body);
    for (int i = 0; i < 3; ++i)
        v[i] = float(d[i]);
    return give_vector(ctx, 1, v);
}

enum contact_query { query_position, query_slip, query_velocity };

duk_ret_t contact_vector(duk_context* ctx, bool front, contact_query query)
{
    rider_slot* r = rider_of(arg_int(ctx, 0));
    float v[3] = {0, 0, 0};
    if (!r)
        return give_vector(ctx, 0, v);
    float where[3] = {0, 0, 0};
    const int touching = front ? rider_front_contact_position(r, where) : rider_rear_contact_position(r, where);
    if (query == query_position)
        for (int i = 0; i < 3; ++i)
            v[i] = where[i];
    else if (query == query_slip)
        front ? rider_front_contact_slip(r, v) : rider_rear_contact_slip(r, v);
    else
        front ? rider_front_contact_velocity(r, v) : rider_rear_contact_velocity(r, v);
    return give_vector(ctx, touching ? 1 : 0, v);
}

} // namespace

duk_ret_t script_get_position_(duk_context* ctx)
{
    return body_vector(ctx, false);
}

duk_ret_t script_get_velocity_(duk_context* ctx)
{
    return body_vector(ctx, true);
}

duk_ret_t script_get_front_contact_depth(duk_context* ctx)
{
    rider_slot* r = rider_of(arg_int(ctx, 0));
    return give(ctx, r ? rider_front_contact_depth(r) : 0);
}

duk_ret_t script_get_rear_contact_depth(duk_context* ctx)
{
    rider_slot* r = rider_of(arg_int(ctx, 0));
    return give(ctx, r ? rider_rear_contact_depth(r) : 0);
}

duk_ret_t script_get_front_contact_position(duk_context* ctx)
{
    return contact_vector(ctx, true, query_position);
}

duk_ret_t script_get_front_contact_slip(duk_context* ctx)
{
    return contact_vector(ctx, true, query_slip);
}

duk_ret_t script_get_front_contact_velocity(duk_context* ctx)
{
    return contact_vector(ctx, true, query_velocity);
}

duk_ret_t script_get_rear_contact_position(duk_context* ctx)
{
    return contact_vector(ctx, false, query_position);
}

duk_ret_t script_get_rear_contact_slip(duk_context* ctx)
{
    return contact_vector(ctx, false, query_slip);
}

duk_ret_t script_get_rear_contact_velocity(duk_context* ctx)
{
    return contact_vector(ctx, false, query_velocity);
}
