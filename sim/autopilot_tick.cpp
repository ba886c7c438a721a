// One tick of an automatic rider: keep the followed path supplied with lines, wait
// at the gate and launch, then drive, or recover when the path was lost.
#include "sim/autopilot_drive.h"

#include "sim/ai_lines_learning.h"
#include "sim/autopilot_body.h"
#include "sim/autopilot_plan.h"
#include "sim/autopilot_race.h"
#include "sim/bike_step.h"
#include "sim/bike_build.h"
#include "sim/bike_info.h"
#include "sim/physics_world.h"
#include "sim/rider_access.h"
#include "foundation/numbers/random.h"

#include <algorithm>
#include <cmath>

using namespace autopilot_body;

namespace {

constexpr int ticks_per_second = 128;
constexpr int points_kept_behind = 30;

float random_unit()
{
    return float(random_next() >> 8) * (1.0f / 16777216.0f);
}

ai_line_point* path_of(rider_slot* rider)
{
    return static_cast<ai_line_point*>(rider->path.items);
}

void set_path_count(rider_slot* rider, int count)
{
    rider->path.count = count;
    rider->path_count = count;
}

bool push_point(rider_slot* rider, const ai_line_point& p)
{
    if (!array_push(&rider->path, &p))
        return false;
    rider->path_count = rider->path.count;
    return true;
}

void stop(rider_slot* rider)
{
    rider_set_throttle(rider, 0);
    rider_set_clutch(rider, 0);
    rider_set_front_brake(rider, 1);
    rider_set_rear_brake(rider, 1);
    rider_set_steering(rider, 0);
    rider_set_dab(rider, 1);
}

// 2. Moves the path index on when the next point is reached (or passed).
void advance(rider_slot* rider, int now)
{
    dBodyID frame = rider->bodies[body_frame];
    const int n = rider->path_index, W = rider->path_count;
    if (n >= W)
        return;
    const ai_line_point* path = path_of(rider);
    const vec3f p = position(frame);
    const float away = horizontal_distance(p, path[n]);
    if (away > (rider->recovery == 3 ? 30.0f : 60.0f))
        return;
    if (away > 4 && n > 0) {
        const float sx = path[n].x - path[n - 1].x, sz = path[n].z - path[n - 1].z;
        const vec3f rear = axis(frame, 2);
        if (std::hypot(sx, sz) > 1 && sx * rear.x + sz * rear.z > 0)
            return;
    }
    rider->path_index = n + 1;
    rider->progress_tick = now;
    if (rider->recovery > 0)
        --rider->recovery;
    if (rider->path_index >= W) {
        set_path_count(rider, 0);
        rider->path_index = 0;
    }
}

// 3-5. Appends the next picked line when fewer than 10 points are left ahead.
void supply_path(rider_slot* rider)
{
    if (!ai_lines_exist() || rider->path_index < rider->path_count - 10)
        return;
    ai_line* line = autopilot_pick_line(rider, ai_table_of_segment(rider->segment_counter));
    if (!line || !ai_line_used(*line))
        return;
    const bool first_line = rider->segment_counter == 0;
    rider->picked_lines[rider->segment_counter % 4] = line->line_id;
    ++rider->segment_counter;
    int n = rider->path_index;
    if (n > points_kept_behind) {
        ai_line_point* path = path_of(rider);
        std::copy(path + (n - points_kept_behind), path + rider->path_count, path);
        set_path_count(rider, rider->path_count - (n - points_kept_behind));
        n = rider->path_index = points_kept_behind;
    }
    if (rider->path_count == 0)
        for (int i = 0; i < 5; ++i)
            push_point(rider, line->points[0]);
    const int W = rider->path_count;
    for (int i = 0; i < line->point_count; ++i)
        if (!push_point(rider, line->points[i]))
            break;
    dBodyID frame = rider->bodies[body_frame];
    const vec3f back = axis(frame, 2);
    const ai_line_point& second = line->points[line->point_count > 1 ? 1 : 0];
    autopilot_join(path_of(rider), W, std::max(W - 5, n), line->points[0], second, position(frame),
                   {-back.x, -back.y, -back.z});
    if (first_line) {
        const ai_line_point* path = path_of(rider);
        int i = 0;
        while (i < rider->path_count - 1 &&
               length({path[i].x - path[0].x, path[i].y - path[0].y, path[i].z - path[0].z}) <= 10)
            ++i;
        rider->path_index = i;
        rider->progress_tick = 30 * ticks_per_second;
    }
}

// 7. The start: throttle blips at the gate, revving up, then the launch. The start
// timer holds, before 5 s, the next blip (positive) or the end of the current one
// (negated); from 5 s the moment to start revving (5.125..5.5 s), then the launch.
// True while the start has the controls.
bool start(rider_slot* rider)
{
    const double now_s = autopilot_race_time();
    const double drop = autopilot_gate_drop_tick() * kTickLength;
    if (now_s >= drop + 5)
        return false;
    const bool crashed = rider->crash_counter > 0;
    float& timer = rider->start_timer;
    const int id = std::clamp(rider->personality, 1, autopilot_personality_count - 1);
    const autopilot_personality& persona = autopilot_personalities[id];
    constexpr float revving_from = 5.125f, revving_until = 5.5f;

    float throttle = 0;
    if (now_s < 5) {
        if (timer == 0)
            timer = 2 * random_unit();
        if (timer > 0 && now_s >= timer)
            timer = -float(now_s + 0.25 + 0.5 * random_unit());
        else if (timer < 0 && now_s >= -timer)
            timer = std::min(float(now_s + 2 + 0.5 * random_unit()), 5.0f);
        throttle = timer < 0 ? 1.0f : 0.0f;
    } else {
        if (timer <= 5.0f)
            timer = revving_from + (revving_until - revving_from) * random_unit();
        if (timer <= revving_until && now_s >= timer) {
            // The launch comes within the personality's window after the drop (at
            // once when the drop has already passed).
            const double launch =
                std::max(drop + persona.launch_early + (persona.launch_late - persona.launch_early) * random_unit(), now_s);
            timer = std::max(float(launch), std::nextafter(revving_until, 6.0f));
        }
        if (timer > revving_until && now_s >= timer) {
            if (now_s - timer >= 2)
                return false;
            // Launched: the clutch comes out over a quarter second, in second gear.
            const float k = std::clamp(float((now_s - timer) * 4), 0.0f, 1.0f);
            if (k < 0.75f) {
                bike_set_auto_shift(rider, 0);
                rider_set_gear(rider, 1);
            } else {
                bike_set_auto_shift(rider, 1);
            }
            rider_set_throttle(rider, crashed ? 0.0f : 1.0f);
            rider_set_dab(rider, crashed ? 0.0f : 1 - k);
            rider_set_clutch(rider, k);
            rider_set_front_brake(rider, 0);
            rider_set_rear_brake(rider, 0);
            rider_set_steering(rider, 0);
            return true;
        }
        throttle = timer > revving_until ? 1.0f : 0.0f;
    }
    bike_start_hold(rider);
    rider_set_throttle(rider, crashed ? 0.0f : throttle);
    return true;
}

void recover(rider_slot* rider, int now)
{
    dBodyID frame = rider->bodies[body_frame];
    if (now - rider->progress_tick > 40 * ticks_per_second)
        autopilot_restart_recovery(rider);
    const ai_line_point& target = path_of(rider)[std::clamp(rider->path_index, 0, rider->path_count - 1)];
    const bool crashed = rider->crash_counter > 0;
    const float lean = bike_lean_angle(frame);
    dJointID head = rider->joints[joint_steering];

    if (now - rider->progress_tick > 19 * ticks_per_second) {
        // Pushed back to the path: the front wheel pulled towards it, the frame lifted.
        dBodyID front = rider->bodies[body_front_wheel];
        const vec3f f = position(front);
        float dx = target.x - f.x, dz = target.z - f.z;
        const float len = std::hypot(dx, dz);
        dx = len > 1e-6f ? dx / len * 5 : 0;
        dz = len > 1e-6f ? dz / len * 5 : 0;
        const float pull[3] = {dx, 0, dz};
        horizontal_velocity_pull(front, 2000, pull);
        dBodyAddForce(frame, 0, 16 * rider->total_mass, 0);
        const float steer = -(float(dJointGetHingeAngle(head)) + float(dJointGetHingeAngleRate(head))) / 4;
        rider_set_steering(rider, std::clamp(steer, -1.0f, 1.0f));
        rider_set_dab(rider, crashed ? 0.0f : 1.0f);
        rider_set_throttle(rider, 0);
        rider_set_clutch(rider, 0);
        rider_set_front_brake(rider, 0);
        rider_set_rear_brake(rider, 0);
        return;
    }

    // Ride slowly towards the target, leaning no more than the speed allows.
    const float v = length(velocity(frame));
    float u = 0.5f, speed = 15;
    rider_set_dab(rider, 0);
    if (v < 10) {
        rider_set_dab(rider, 1);
        u = 1.0f / 6;
        speed = std::fabs(lean) > 1.0f / 6 ? 5.0f : 15.0f;
    } else if (v < 20) {
        u = ((v - 10) * 0.1f * 2 / 3 + 1.0f / 3) / 2;
    }
    const vec3f p = position(frame);
    const vec3f o{target.x - p.x, target.y - p.y, target.z - p.z};
    const float x = dot(o, axis(frame, 0)), z = dot(o, axis(frame, 2));
    float wanted;
    if (std::fabs(x) > -z)
        wanted = x >= 0 ? -u : u;
    else
        wanted = std::clamp(x / (2 * z), -u, u);
    const float s = autopilot_progress(rider);
    const int jump = autopilot_find_jump(rider, int(std::floor(s)));
    if (-z < 4 * std::fabs(x) || (jump >= 0 && float(jump) - s <= 8))
        rider->recovery = 3;
    const float roll_rate = spin_about(frame, 2);
    rider_set_steering(rider, std::clamp(2 * (roll_rate - std::clamp(4 * (wanted - lean), -4.0f, 4.0f)), -1.0f, 1.0f));
    autopilot_set_controls(rider, v, speed);
}

}  // namespace

const ai_line_point* autopilot_restart_recovery(rider_slot* rider)
{
    if (rider->path_count <= 0)
        return nullptr;
    const int now = autopilot_now();
    rider->progress_tick = now;
    rider->recovery = 3;
    rider->path_index = now % rider->path_count;
    return &path_of(rider)[rider->path_index];
}

void autopilot_tick(rider_slot* rider)
{
    if (rider->personality <= 0 || !rider->bodies[body_frame])
        return;
    const int now = autopilot_now();
    bike_set_stop_wheelies(rider, 3);
    bike_set_front_brake_option(rider, 1);
    bike_set_rear_brake_option(rider, 1);
    bike_set_auto_shift(rider, 1);

    advance(rider, now);
    supply_path(rider);
    if (start(rider)) {
        autopilot_watch_reset(rider, now);
        return;
    }
    if (rider->path_count <= 0 || rider->path_index >= rider->path_count) {
        autopilot_watch_reset(rider, now);
        stop(rider);
        return;
    }
    if (autopilot_stuck(rider, now))
        autopilot_put_back(rider, now);
    if (rider->recovery == 0)
        autopilot_drive(rider);
    else
        recover(rider, now);
}
