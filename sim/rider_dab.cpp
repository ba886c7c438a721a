// The dab and the realignment, stage 12 of the bike step: a foot down rights a slow
// bike, and a fallen bike is turned back toward the course.
#include "sim/bike_step.h"

#include "sim/ai_lines.h"
#include "sim/ai_lines_rules.h"
#include "sim/bike_step_parts.h"
#include "sim/crash_math.h"
#include "sim/gate_times.h"
#include "sim/ground_contacts.h"
#include "terrain/timing_gates.h"

#include <algorithm>
#include <cmath>
#include <numbers>

using namespace bike_step_detail;
using contact_math::dot;
using contact_math::length;
using contact_math::length2;

namespace {

constexpr double kPi = std::numbers::pi;
constexpr int kRealignLookAhead = 4;   // recorded points past the nearest one
constexpr int kRealignSegments = 3;    // the current segment and two ahead

bool ground_near(const rider_slot* r)
{
    const bike_info& b = info_of(r);
    float centre[3], point[3], normal[3], depth;
    contact_math::store(position(r->bodies[body_rider]), centre);
    return collide_point_terrain(ground(), centre, 1.0f + b.rider_position[1], point, normal, &depth) != 0;
}

// The line of a segment's table that took the fewest ticks; null when none is used.
const ai_line* best_line(int segment)
{
    const int table = ai_table_of_segment(segment);
    const ai_line_table* lines = table >= 0 ? ai_table(table) : nullptr;
    if (!lines)
        return nullptr;
    const ai_line* best = nullptr;
    for (const ai_line& line : lines->lines)
        if (ai_line_used(line) && (!best || line.segment_time < best->segment_time))
            best = &line;
    return best;
}

vec3 point_of(const ai_line_point& p)
{
    return {p.x, p.y, p.z};
}

// A point a little ahead on the best recorded lines from the frame's position.
bool target_on_lines(const rider_slot* r, vec3* out)
{
    const int32_t* first = firstlap_entries();
    const int segment = ai_segment_of_position_in(first, timing_gates.firstlap_length, normallap_entries(),
                                                  timing_gates.normallap_length, r->timing_position);
    if (segment < 0)
        return false;
    const vec3 at = position(r->bodies[body_frame]);
    for (int k = 0; k < kRealignSegments; ++k) {
        int s = segment + k;
        const ai_line* line = best_line(s);
        if (!line)
            continue;
        int nearest = 0;
        double nearest2 = INFINITY;
        for (int i = 0; i < line->point_count; ++i) {
            const double d2 = length2(point_of(line->points[i]) - at);
            if (d2 < nearest2) {
                nearest2 = d2;
                nearest = i;
            }
        }
        int index = nearest + kRealignLookAhead;
        while (line && index >= line->point_count) {
            index -= line->point_count;
            line = best_line(++s);
        }
        if (!line)
            return false;
        *out = point_of(line->points[index]);
        return true;
    }
    return false;
}

bool target_gate(const rider_slot* r, vec3* out)
{
    const int32_t entry = timing_gates_entry_at(r->timing_position);
    if (entry < 0)
        return false;
    const int32_t gate = entry % kFlaggedLapEntry;
    if (gate >= timing_gates.checkpoint_count)
        return false;
    const timing_gate& g = timing_gates.checkpoints[gate];
    *out = {g.x, g.y, g.z};
    return true;
}

// Where a realigned bike should head: the automatic rider's path point, else the
// recorded lines ahead, else the next timing gate.
bool course_target(const rider_slot* r, vec3* out)
{
    if (r->path_count > 0 && r->path.items) {
        if (r->path_index >= 0 && r->path_index < r->path_count && r->path_index < r->path.count) {
            *out = point_of(static_cast<const ai_line_point*>(r->path.items)[r->path_index]);
            return true;
        }
        return target_gate(r, out);
    }
    return target_on_lines(r, out) || target_gate(r, out);
}

void dab_push(rider_slot* r, float v, float lean)
{
    if (r->knock_timer > 0 && v >= kSlowSpeed)
        return;
    dBodyID frame = r->bodies[body_frame];
    dab_push_inputs in;
    in.lean = lean;
    in.roll_rate = float(dot(spin(frame), axis(frame, 2)));
    in.speed = v;
    in.knock_timer = r->knock_timer;
    in.auto_dab = (r->options & option_auto_dab) != 0;
    in.back_up = r->back_up;
    in.max_dab_speed = r->max_dab_speed;
    in.roll_limit_angle = r->roll_limit_angle;
    in.steering = r->steering;
    in.front_slide = r->front_slide;
    const float e = dab_push_force(in);
    if (e == 0 || !std::isfinite(e))
        return;
    if (axis(frame, 1).y < 0.707) {
        dBodyAddForceAtRelPos(frame, 0, std::fabs(e), 0, 0, 4, 0);
    } else {
        dBodyAddForceAtRelPos(frame, 0, std::fabs(e) / 8, 0, 0, 4, 0);
        dBodyAddRelForceAtRelPos(frame, e, 0, 0, 0, 4, 0);
    }
}

// Turns a fallen bike toward the course; true when it also lifted the wheels, which
// leaves out this tick's dab push.
bool realign_step(rider_slot* r)
{
    vec3 target;
    if (!course_target(r, &target))
        return false;
    dBodyID frame = r->bodies[body_frame];
    vec3 h = horizontal(axis(frame, 2));
    const double hl = length(h);
    if (hl < 1.0 / 32.0)
        return false;
    h = h * (1.0 / hl);
    const vec3 d = target - position(frame);
    const double a = dot(d, h);
    const double p = dot(d, vec3{h.z, 0, -h.x});   // positive to the bike's right
    const double turn = (r->knock_timer < 0 ? kPi : kPi / 2) * (p > 0 ? -1.0 : 1.0);
    const double most = 320.0 * r->total_mass;
    if (a < 0 && std::fabs(p) < -a / 4) {
        world_angular_motor(frame, {0, 1, 0}, turn, most * std::fabs(4 * p / a));
        return false;
    }
    world_angular_motor(frame, {0, 1, 0}, turn, most);
    const double lift = r->total_mass * kGravity;
    if (touches(r->front_contact))
        dBodyAddForce(r->bodies[body_front_wheel], 0, lift, 0);
    if (touches(r->rear_contact))
        dBodyAddForce(r->bodies[body_rear_wheel], 0, lift, 0);
    return true;
}

}  // namespace

namespace bike_step_detail {

void dab_stage(rider_slot* r)
{
    const float rise = 8.0f / 128.0f;
    if (crashed(r)) {
        r->dab_state = std::min(r->dab_state + rise, 1.0f);
        return;
    }
    if (!(r->dab > 0))
        return;
    if (!touches(r->front_contact) && !ground_near(r))
        return;
    const float v = frame_speed(r);
    if (v > dab_speed_limit(r->max_dab_speed, r->knock_timer))
        return;
    const float lean = bike_lean_angle(r->bodies[body_frame]);
    const float tilt = std::fabs(lean);
    const bool both = touches(r->front_contact) && touches(r->rear_contact);
    if (v > kFastSpeed && !(both && tilt >= 3 * kPi / 16))
        return;
    r->dab_state = std::min(r->dab_state + rise, 1.0f);
    if (r->arcade)
        return;

    if (v < kSlowSpeed && tilt > kPi / 8 && tilt < 7 * kPi / 20 && timing_gates.checkpoint_count > 0 &&
        r->timing_position > 0 && !r->realign_done) {
        if (rider_has_finished(r))
            r->realign_done = 1;
        else if ((r->options & option_auto_align) && r->back_up <= 0.125f && realign_step(r))
            return;
    }
    dab_push(r, v, lean);
}

}  // namespace bike_step_detail
