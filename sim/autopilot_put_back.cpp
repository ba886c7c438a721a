// An automatic rider that makes no progress for too long, standing on one spot or
// creeping along off its path (stuck in the grass, caught on something, a recovery
// that keeps chasing a point beside it), is lifted back onto its followed path, at
// rest and facing along it.
#include "sim/autopilot_drive.h"

#include "sim/autopilot_body.h"
#include "sim/bike_build.h"
#include "sim/bike_info.h"
#include "sim/gate_times.h"
#include "sim/ground_contacts.h"
#include "terrain/terrain_queries.h"
#include "terrain/track_list.h"

#include <algorithm>
#include <cmath>

using namespace autopilot_body;

namespace {

constexpr float kMovedFeet = 5;          // less than this from a spot is standing still
constexpr float kNearPath = 15;          // farther from the path's steps near the next point is off it
constexpr int kPointsBehind = 12;        // 3 s of the path
constexpr float kLiftStep = 0.25f;
constexpr int kMostLiftSteps = 64;

bool wheels_touch_ground(const rider_slot* r)
{
    const bike_info* b = bike_info_at(r->bike_index);
    if (!b)
        return false;
    const struct {
        int body;
        float radius;
    } wheels[2] = {{body_front_wheel, b->front_ring_radius + b->front_tyre_radius},
                   {body_rear_wheel, b->rear_ring_radius + b->rear_tyre_radius}};
    for (const auto& w : wheels) {
        const vec3f p = position(r->bodies[w.body]);
        const float centre[3] = {p.x, p.y, p.z};
        float point[3], normal[3], depth;
        if (collide_point_terrain(&track_terrain, centre, w.radius, point, normal, &depth))
            return true;
    }
    return false;
}

// Within kNearPath of the path's steps from kPointsBehind before the next point (which
// runs ahead of a rider at speed) to two after it.
bool near_path(const rider_slot* r, const vec3f& p)
{
    const ai_line_point* path = static_cast<const ai_line_point*>(r->path.items);
    const int W = r->path_count;
    if (!path || W <= 0)
        return false;
    const int n = std::clamp(r->path_index, 0, W - 1);
    for (int a = std::max(n - kPointsBehind, 0); a <= std::min(n + 2, W - 1); ++a) {
        const int b = std::min(a + 1, W - 1);
        const float dx = path[b].x - path[a].x, dz = path[b].z - path[a].z, l2 = dx * dx + dz * dz;
        const float u = l2 > 0 ? std::clamp(((p.x - path[a].x) * dx + (p.z - path[a].z) * dz) / l2, 0.0f, 1.0f) : 0.0f;
        if (std::hypot(p.x - path[a].x - u * dx, p.z - path[a].z - u * dz) <= kNearPath)
            return true;
    }
    return false;
}

}  // namespace

void autopilot_stand_at(rider_slot* rider, float x, float z, float yaw)
{
    bike_place_at_rest(rider);
    bike_rotate(rider, 0, 1, 0, yaw);
    bike_translate(rider, x, terrain_height_at(&track_terrain, x, z), z);
    for (int i = 0; i < kMostLiftSteps && wheels_touch_ground(rider); ++i)
        bike_translate(rider, 0, kLiftStep, 0);
    rider_attach(rider);
    bike_wake(rider);
}

void autopilot_watch_reset(rider_slot* rider, int now)
{
    const vec3f p = position(rider->bodies[body_frame]);
    rider->moved_from[0] = p.x;
    rider->moved_from[1] = p.z;
    rider->moved_tick = now;
}

bool autopilot_stuck(rider_slot* rider, int now)
{
    const vec3f p = position(rider->bodies[body_frame]);
    const bool moved = std::hypot(p.x - rider->moved_from[0], p.z - rider->moved_from[1]) > kMovedFeet;
    if (rider->moved_tick < 0 || (moved && rider->recovery == 0 && near_path(rider, p))) {
        autopilot_watch_reset(rider, now);
        return false;
    }
    return now - rider->moved_tick >= autopilot_stuck_ticks && rider->crash_counter == 0 &&
           !rider_has_finished(rider);
}

void autopilot_put_back(rider_slot* rider, int now)
{
    const ai_line_point* path = static_cast<const ai_line_point*>(rider->path.items);
    const int W = rider->path_count;
    if (!path || W <= 0)
        return;
    const int n = std::clamp(rider->path_index, 0, W - 1);
    // Facing along the path: the step into the point, else the step out of it.
    float dx = 0, dz = -1;
    for (const int a : {n - 1, n}) {
        if (a < 0 || a + 1 >= W)
            continue;
        const float sx = path[a + 1].x - path[a].x, sz = path[a + 1].z - path[a].z;
        if (std::hypot(sx, sz) > 1) {
            dx = sx;
            dz = sz;
            break;
        }
    }
    autopilot_stand_at(rider, path[n].x, path[n].z, std::atan2(-dx, -dz));
    rider->smoothed_throttle = 0;
    rider->recovery = 0;
    rider->progress_tick = now;
    autopilot_watch_reset(rider, now);
}
