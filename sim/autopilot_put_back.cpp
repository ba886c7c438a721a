// An automatic rider that has stood on one spot too long, whatever held it there
// (stuck in the grass, caught on something, a recovery that keeps pushing into the
// same place), is lifted back onto its followed path, at rest and facing along it.
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

constexpr float kStillFeet = 5;          // moving less than this from a spot is standing still
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
    rider->still_at[0] = p.x;
    rider->still_at[1] = p.z;
    rider->still_tick = now;
}

bool autopilot_stood_still(rider_slot* rider, int now)
{
    const vec3f p = position(rider->bodies[body_frame]);
    if (rider->still_tick < 0 || std::hypot(p.x - rider->still_at[0], p.z - rider->still_at[1]) > kStillFeet) {
        autopilot_watch_reset(rider, now);
        return false;
    }
    return now - rider->still_tick >= autopilot_still_ticks && rider->crash_counter == 0 &&
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
