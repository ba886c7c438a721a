// The ruts of both wheels after the world step, and the tyre values in the position
// log.
#include "sim/race_clock.h"
#include "sim/wheel_sampling.h"
#include "terrain/ruts.h"
#include "terrain/track_list.h"

#include <algorithm>
#include <cstring>
#include <string>

int position_log_flags = 0;
float position_log_spacing = 10.0f;

namespace {

position_log_distance_fn log_distance = nullptr;
position_log_append_fn log_append = nullptr;

void sample(wheel_contact* w, int front)
{
    wheel_rut_contact c{};
    std::memcpy(c.point, w->point, sizeof c.point);
    if (w->body) {
        const dReal* v = dBodyGetLinearVel(w->body);
        for (int i = 0; i < 3; ++i)
            c.velocity[i] = float(v[i]);
    }
    std::memcpy(c.surface_velocity, w->velocity, sizeof c.surface_velocity);
    for (int i = 0; i < 3; ++i)
        c.force[i] = float(w->feedback.f1[i]);
    c.depth = w->depth;
    wheel_ruts_sample(&w->ruts, &track_terrain, &c, front, current_tick);
}

}  // namespace

void position_log_install(position_log_distance_fn distance, position_log_append_fn append)
{
    log_distance = distance;
    log_append = append;
}

void bike_update_ruts(rider_slot* r)
{
    sample(&r->front_contact, 1);
    sample(&r->rear_contact, 0);
    if (!(position_log_flags & 1) || !log_distance || !log_append || !r->bodies[body_frame])
        return;
    const dReal* p = dBodyGetPosition(r->bodies[body_frame]);
    const float x = float(p[0]), y = float(p[1]), z = float(p[2]);
    if (!(log_distance(x, y, z) > position_log_spacing))
        return;
    char front[512], rear[512];
    wheel_ruts_debug_text(&r->front_contact.ruts, front, sizeof front);
    wheel_ruts_debug_text(&r->rear_contact.ruts, rear, sizeof rear);
    std::string text = std::string("front:\n") + front + "rear:\n" + rear;
    text.resize(std::min<size_t>(text.size(), 1023));  // the log keeps 1023 characters
    log_append(x, y, z, text.c_str());
}
