// A wheel's rut recording: samples of its ground contact averaged into points about
// one unit apart, points collected into runs, runs packed and sent.
#include "terrain/ruts.h"

#include "terrain/terrain_queries.h"
#include "terrain/tile_materials.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

rut_sender sender = nullptr;

enum { kSpeed, kSlip, kLateral, kLongitudinal, kDigLateral, kDigLongitudinal };

// clamp(v, 0, 1) with NaN at 0.
float unit(float v)
{
    return v > 0.0f ? (v < 1.0f ? v : 1.0f) : 0.0f;
}

// A run ended: send it and clear everything but the points.
void finish_run(wheel_ruts* ruts, const terrain_state* terrain, int32_t race_tick)
{
    wheel_ruts_add_point(ruts, terrain, race_tick);
    wheel_ruts_pack(ruts, terrain);
    wheel_ruts_reset(ruts);
}

void widen(float box[4], float dx, float dz)
{
    box[0] = std::fmin(box[0], dx);
    box[1] = std::fmin(box[1], dz);
    box[2] = std::fmax(box[2], dx);
    box[3] = std::fmax(box[3], dz);
}

}  // namespace

void wheel_ruts_set_sender(rut_sender send)
{
    sender = send;
}

void wheel_ruts_reset(wheel_ruts* ruts)
{
    rut_point points[kRutMaxPoints];
    std::memcpy(points, ruts->points, sizeof points);
    std::memset(ruts, 0, sizeof *ruts);
    std::memcpy(ruts->points, points, sizeof points);
}

void wheel_ruts_pack(const wheel_ruts* ruts, const terrain_state* terrain)
{
    uint8_t record[kDeformationRecordMax];
    const int32_t length = deformation_record_encode(ruts, terrain->world_size, record);
    if (length == 0)
        return;
    if (sender)
        sender(record, length);
    else
        erosion_apply_message(terrain, record, length);
}

void wheel_ruts_add_point(wheel_ruts* ruts, const terrain_state* terrain, int32_t race_tick)
{
    const int32_t samples = ruts->sample_count;
    if (samples <= 0)
        return;
    if (ruts->point_count >= kRutMaxPoints) {
        wheel_ruts_pack(ruts, terrain);
        ruts->point_count = 0;  // the step box is rebuilt from the next steps
    }
    const int32_t i = ruts->point_count;
    rut_point& p = ruts->points[i];
    p.x = ruts->accumulator[0] / float(samples);
    p.z = ruts->accumulator[1] / float(samples);
    p.dig_a = ruts->accumulator[2] / float(samples);
    p.dig_b = ruts->accumulator[3] / float(samples);
    p.weight = samples;

    if (i == 0) {
        ruts->point_count = 1;
    } else {
        const float dx = p.x - ruts->points[i - 1].x;
        const float dz = p.z - ruts->points[i - 1].z;
        if (i == 1) {
            ruts->step_box[0] = ruts->step_box[2] = dx;
            ruts->step_box[1] = ruts->step_box[3] = dz;
            ruts->point_count = 2;
        } else {
            float box[4];
            std::memcpy(box, ruts->step_box, sizeof box);
            widen(box, dx, dz);
            // A wider box would cost the steps their precision: this run ends before
            // the new point, which starts the next one.
            if (std::fmax(box[2] - box[0], 0.0f) > 64.0f || box[3] - box[1] > 64.0f) {
                wheel_ruts_pack(ruts, terrain);
                const rut_point start = p;
                std::memset(ruts->step_box, 0, sizeof ruts->step_box);
                std::memset(ruts->accumulator, 0, sizeof ruts->accumulator);
                ruts->travelled = 0.0f;
                ruts->sample_count = 0;
                ruts->last_sample[0] = ruts->last_sample[1] = 0.0f;
                ruts->points[0] = start;
                ruts->point_count = 1;
            } else {
                std::memcpy(ruts->step_box, box, sizeof box);
                ruts->point_count = i + 1;
            }
        }
    }
    ruts->last_point_tick = race_tick;
}

void wheel_ruts_sample(wheel_ruts* ruts, const terrain_state* terrain, const wheel_rut_contact* c, int front,
                       int32_t race_tick)
{
    float* debug = ruts->debug;
    for (int k = 0; k < 6; ++k)
        debug[k] = 0.0f;

    const float x = c->point[0];
    const float z = c->point[2];
    float a = 0.0f, b = 0.0f;
    bool dug = false;
    if (c->depth > 0.0f) {
        const tile_erode_params& p = terrain->erode_params[terrain_tile_at(terrain, x, z)];
        float n[3];
        terrain_normal_at(terrain, x, z, n);
        const float* v = c->velocity;
        const float speed = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
        const float flat = std::sqrt(v[0] * v[0] + v[2] * v[2]);
        const float ux = flat > 0.0f ? v[0] / flat : 0.0f;
        const float uz = flat > 0.0f ? v[2] / flat : 0.0f;
        const float* f = c->force;
        const float* s = c->surface_velocity;
        const float slip = std::sqrt(s[0] * s[0] + s[1] * s[1] + s[2] * s[2]);

        debug[kSpeed] = speed;
        debug[kSlip] = slip;
        debug[kLateral] = f[2] * ux - f[0] * uz;
        debug[kLongitudinal] = f[0] * ux + f[2] * uz;

        const float slip_factor =
            p.slip_base_scale +
            unit((slip - p.slip_lower) / (p.slip_upper - p.slip_lower)) * (p.slip_scale - p.slip_base_scale);
        const float speed_factor = unit((speed - p.off_speed) / (p.on_speed - p.off_speed));
        const float k = (f[0] * n[0] + f[1] * n[1] + f[2] * n[2]) / (n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        float dig_x = (f[0] - p.project_to_ground * k * n[0]) * speed_factor * slip_factor;
        float dig_z = (f[2] - p.project_to_ground * k * n[2]) * speed_factor * slip_factor;
        const float lateral = dig_z * ux - dig_x * uz;
        dig_x += (p.lateral_scale - 1.0f) * lateral * -uz;
        dig_z += (p.lateral_scale - 1.0f) * lateral * ux;
        if (front) {
            dig_x *= p.front_scale;
            dig_z *= p.front_scale;
        }
        debug[kDigLongitudinal] = ux * dig_x + uz * dig_z;
        debug[kDigLateral] = -uz * dig_x + ux * dig_z;

        // Written so that a NaN anywhere above counts as no dig.
        const float m2 = dig_x * dig_x + dig_z * dig_z;
        if (m2 > p.lower * p.lower && m2 > 1.0f / 1024.0f && std::isfinite(m2) && std::isfinite(x) &&
            std::isfinite(z)) {
            const float m = std::sqrt(m2);
            const float scale = (0.125f + 0.875f * unit((m - p.lower) / (p.upper - p.lower))) / m;
            a = dig_x * scale;
            b = dig_z * scale;
            dug = true;
        }
    }

    if (!dug) {
        if (ruts->point_count > 0 && ruts->last_point_tick + 64 < race_tick)
            finish_run(ruts, terrain, race_tick);
        return;
    }

    float d = 0.0f;
    if (ruts->sample_count != 0) {
        const float ex = x - ruts->last_sample[0];
        const float ez = z - ruts->last_sample[1];
        d = std::sqrt(ex * ex + ez * ez);
    }
    ruts->last_sample[0] = x;
    ruts->last_sample[1] = z;
    if (ruts->sample_count != kRutMaxSamples && ruts->travelled + d < 1.0f) {
        ruts->accumulator[0] += x;
        ruts->accumulator[1] += z;
        ruts->accumulator[2] += a;
        ruts->accumulator[3] += b;
        ruts->sample_count += 1;
        ruts->travelled += d;
        return;
    }
    wheel_ruts_add_point(ruts, terrain, race_tick);
    const float t = ruts->travelled;
    ruts->travelled = (ruts->sample_count == kRutMaxSamples || t + d >= 2.0f) ? 0.0f : t + d - 1.0f;
    ruts->accumulator[0] = x;
    ruts->accumulator[1] = z;
    ruts->accumulator[2] = a;
    ruts->accumulator[3] = b;
    ruts->sample_count = 1;
}

void wheel_ruts_debug_text(const wheel_ruts* ruts, char* buffer, size_t size)
{
    if (!buffer || size == 0)
        return;
    const float* d = ruts->debug;
    snprintf(buffer, size, "speed=%.2f\nslip=%.2f\nfx=%.2f\nfz=%.2f\npfx=%.2f\npfz=%.2f\n", d[kSpeed], d[kSlip],
             -d[kLateral], -d[kLongitudinal], -d[kDigLateral], -d[kDigLongitudinal]);
}
