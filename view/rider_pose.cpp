#include "view/rider_pose.h"

#include "sim/bike_info.h"
#include "sim/bike_step.h"
#include "sim/rider_slot.h"
#include "view/limb.h"

#include <algorithm>
#include <cmath>

namespace {

struct local_frame {
    float r[9];      // row-major
    float p[3];
    void load(dBodyID body)
    {
        const dReal* m = dBodyGetRotation(body);
        const dReal* q = dBodyGetPosition(body);
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j)
                r[i * 3 + j] = float(m[i * 4 + j]);
            p[i] = float(q[i]);
        }
    }
    void vector(float o[3], const float v[3]) const
    {
        for (int i = 0; i < 3; ++i)
            o[i] = r[i * 3] * v[0] + r[i * 3 + 1] * v[1] + r[i * 3 + 2] * v[2];
    }
    void point(float o[3], const float v[3]) const
    {
        vector(o, v);
        vec::add(o, o, p);
    }
    void point(float o[3], float x, float y, float z) const
    {
        const float v[3] = {x, y, z};
        point(o, v);
    }
    void axis(float o[3], int k) const { o[0] = r[k], o[1] = r[3 + k], o[2] = r[6 + k]; }
};

void set_axes(float* rotation, const float x[3], const float y[3], const float z[3])
{
    for (int k = 0; k < 3; ++k)
        rotation[k] = x[k], rotation[3 + k] = y[k], rotation[6 + k] = z[k];
}

void set3(float* o, const float v[3]) { o[0] = v[0], o[1] = v[1], o[2] = v[2]; }

// Leans the rider body's frame towards the bars by c (0..1) about its x axis, keeping
// the left hip where it is.
void correct_frame(local_frame& rb, float c, const float hip[3])
{
    float x[3], y[3], z[3];
    rb.axis(x, 0), rb.axis(y, 1), rb.axis(z, 2);
    const float k = 0.375f * c;
    float ny[3] = {y[0] + k * z[0], y[1] + k * z[1], y[2] + k * z[2]};
    vec::unit_or_perpendicular(ny, x);
    float nz[3], yy[3];
    vec::cross(nz, x, ny);
    vec::normalise(nz);
    vec::cross(yy, nz, x);
    float before[3];
    rb.point(before, hip);
    for (int i = 0; i < 3; ++i)
        rb.r[i * 3] = x[i], rb.r[i * 3 + 1] = yy[i], rb.r[i * 3 + 2] = nz[i];
    float turned[3];
    rb.vector(turned, hip);
    vec::sub(rb.p, before, turned);
}

// Arm bone axes: forearm x along the limb, y across the grip line; upper arm x along
// the limb, z across the spine.
void forearm(float* rot, const float along[3], const float grip_line[3], const float to_grip[3])
{
    float x[3] = {along[0], along[1], along[2]}, y[3], z[3];
    vec::unit_or_perpendicular(x, grip_line);
    vec::cross(y, grip_line, to_grip);
    vec::unit_or_perpendicular(y, x);
    vec::cross(z, x, y);
    set_axes(rot, x, y, z);
}

void upper_arm(float* rot, const float along[3], const float spine[3])
{
    float x[3] = {along[0], along[1], along[2]}, y[3], z[3];
    vec::unit_or_perpendicular(x, spine);
    vec::cross(z, along, spine);
    vec::unit_or_perpendicular(z, x);
    vec::cross(y, z, x);
    set_axes(rot, x, y, z);
}

float clamp_rise(float l) { return std::max((60 - l) * 0.0058333333f * l, 0.0f) + 0.25f * l; }

void place_head(const rider_slot* rider, const local_frame& rb, const float* head_point, rider_pose* pose)
{
    const dReal* lv = dBodyGetLinearVel(rider->bodies[body_rider]);
    float v[3] = {float(lv[0]), float(lv[1]), float(lv[2])};
    float xb[3], yb[3], zb[3];
    rb.axis(xb, 0), rb.axis(yb, 1), rb.axis(zb, 2);
    const float vz = vec::dot(v, zb);
    if (vz >= 0)
        for (int k = 0; k < 3; ++k)
            v[k] -= vz * zb[k];
    float a[3];
    vec::sub(a, zb, v);
    float hx, hz;
    if (vec::dot(a, a) >= 1024) {
        hx = a[0], hz = a[2];
    } else {
        const float s = std::sqrt(vec::dot(a, a)) / 32;
        hx = zb[0] - s * v[0], hz = zb[2] - s * v[2];
    }
    const float l = std::sqrt(hx * hx + hz * hz);
    const float rise = clamp_rise(l);
    pose->look_length = l;
    pose->look_rise = rise;

    float look[3] = {hx, rise, hz};
    float d[3], e[3];
    for (int k = 0; k < 3; ++k) {
        d[k] = (1.5f * yb[k] - zb[k]) * 0.5547002f;
        e[k] = (1.5f * yb[k] + zb[k]) * 0.5547002f;
    }
    rb.point(pose->head_position, head_point);
    // Lying on his back at rest there is no look at all: the head keeps the body's axes.
    if (!vec::normalise(look)) {
        set_axes(pose->head_axes, xb, yb, zb);
        return;
    }
    const float up[3] = {0, 1, 0};
    float w[3];
    float du[3];
    vec::sub(du, d, up);
    const float gap = std::sqrt(vec::dot(du, du));
    if (gap <= 0.5f)
        set3(w, up);
    else
        for (int k = 0; k < 3; ++k)
            w[k] = d[k] + (up[k] - d[k]) * 0.5f / gap;

    float dl = vec::dot(d, look);
    for (int k = 0; k < 3; ++k)
        look[k] += 2 * dl * d[k];
    float le[3];
    vec::sub(le, look, e);
    const float off = std::sqrt(vec::dot(le, le));
    if (off > 0.75f)
        for (int k = 0; k < 3; ++k)
            look[k] = e[k] + le[k] * 0.75f / off;
    dl = vec::dot(d, look);
    for (int k = 0; k < 3; ++k)
        look[k] -= 0.6666666f * dl * d[k];

    float x[3], y[3], z[3] = {look[0], look[1], look[2]};
    vec::cross(x, w, look);
    if (!vec::normalise(z) || !vec::normalise(x)) {
        set_axes(pose->head_axes, xb, yb, zb);
        return;
    }
    vec::cross(y, look, x);
    vec::normalise(y);
    set_axes(pose->head_axes, x, y, z);
}

}  // namespace

void rider_pose_compute(const rider_slot* rider, rider_pose* pose)
{
    const bike_info& bike = bike_infos[std::clamp(rider->bike_index, 0, kBikeCount - 1)];
    const float* pts = bike.pose_points;
    const float* shoulder_l = pts + kPoseHands;
    const float* shoulder_r = pts + kPoseHands + 3;
    const float* hip_l = pts + kPoseHips;
    const float* hip_r = pts + kPoseHips + 3;
    const float* grip_l = pts + kPoseGrips;
    const float* grip_r = pts + kPoseGrips + 3;
    const float upper_len = pts[kPoseLimbLengths], fore_len = pts[kPoseLimbLengths + 1];
    const float thigh_len = pts[kPoseLimbLengths + 2], shin_len = pts[kPoseLimbLengths + 3];

    local_frame rb, fork;
    rb.load(rider->bodies[body_rider]);
    fork.load(rider->bodies[body_fork_upper]);

    // Lean the drawn torso onto the bars when the shoulders sit close to them.
    float sc[3], bars[3], gap[3];
    rb.point(sc, 0, shoulder_l[1], shoulder_l[2]);
    fork.point(bars, 0, grip_l[1], grip_l[2]);
    vec::sub(gap, sc, bars);
    const float c = std::clamp(1.25f - std::sqrt(vec::dot(gap, gap)), 0.0f, 1.0f);
    pose->correction = c;
    if (c > 0)
        correct_frame(rb, c, hip_l);
    for (int i = 0; i < 9; ++i)
        pose->body_rotation[i] = rb.r[i];
    set3(pose->body_position, rb.p);

    float sl[3], sr[3], gl[3], gr[3], gd[3], spine[3];
    rb.point(sl, shoulder_l), rb.point(sr, shoulder_r);
    fork.point(gl, grip_l), fork.point(gr, grip_r);
    vec::sub(gd, gr, gl);
    const float spine_local[3] = {0, shoulder_l[1] - hip_l[1], shoulder_l[2] - hip_l[2]};
    rb.vector(spine, spine_local);

    float el[3], er[3];
    {
        const float m = std::max(sr[1] - sl[1], 0.0f);
        float* hint = pose->elbow_hints[0];
        rb.point(hint, shoulder_l[0] - 0.5f, shoulder_l[1] - 1 - 1.5f * m, shoulder_l[2] + 2);
        for (int k = 0; k < 3; ++k)
            hint[k] += gl[k] - gr[k];
        limb_joint(el, sl, upper_len, gl, fore_len, hint);
    }
    {
        const float m = std::max(sl[1] - sr[1], 0.0f);
        float* hint = pose->elbow_hints[1];
        rb.point(hint, shoulder_r[0] + 0.5f, shoulder_r[1] - 0.9f - 1.5f * m - 0.125f * rider->throttle,
                 shoulder_r[2] + 2);
        for (int k = 0; k < 3; ++k)
            hint[k] += gr[k] - gl[k];
        limb_joint(er, sr, upper_len, gr, fore_len, hint);
    }

    float hl[3], hr[3], hd[3], knee_hint_l[3], knee_hint_r[3];
    rb.point(hl, hip_l), rb.point(hr, hip_r);
    vec::sub(hd, hr, hl);
    rb.point(knee_hint_l, hip_l[0] - 0.5f, hip_l[1], hip_l[2] - 2);
    rb.point(knee_hint_r, hip_r[0] + 0.5f, hip_r[1], hip_r[2] - 2);
    float fl[3], fr[3], wl = 0, wr = 0;
    rider_foot_targets(rider, fl, &wl, fr, &wr);
    float kl[3], kr[3];
    limb_joint(kl, hl, thigh_len, fl, shin_len, knee_hint_l);
    limb_joint(kr, hr, thigh_len, fr, shin_len, knee_hint_r);
    auto shin_hint = [&](float* u, const float h[3], const float k[3], const float f[3], float w) {
        float a[3], b[3], n[3];
        vec::sub(a, h, k), vec::sub(b, f, k);
        vec::cross(n, a, b);
        if (vec::dot(n, n) < 0.001f)
            set3(u, hd);
        else
            for (int i = 0; i < 3; ++i)
                u[i] = hd[i] + w * (n[i] - hd[i]);
    };
    shin_hint(pose->shin_hints[0], hl, kl, fl, wl);
    shin_hint(pose->shin_hints[1], hr, kr, fr, wr);

    float* t = pose->translations;
    float* r = pose->rotations;
    float d[3], g[3];
    // Left arm, right arm.
    vec::sub(d, el, gl), vec::sub(g, gl, el);
    set3(t + 0, el), forearm(r + 0, d, gd, g);
    vec::sub(d, sl, el);
    set3(t + 6, sl), upper_arm(r + 18, d, spine);
    vec::sub(d, gr, er), vec::sub(g, gr, er);
    set3(t + 3, er), forearm(r + 9, d, gd, g);
    vec::sub(d, er, sr);
    set3(t + 9, sr), upper_arm(r + 27, d, spine);
    // Left leg, right leg: thigh, then shin.
    set3(t + 18, hl), limb_frame(r + 54, hl, kl, hd);
    set3(t + 12, kl), limb_frame(r + 36, kl, fl, pose->shin_hints[0]);
    set3(t + 21, hr), limb_frame(r + 63, hr, kr, hd);
    set3(t + 15, kr), limb_frame(r + 45, kr, fr, pose->shin_hints[1]);
    // Torso.
    float hc[3], scc[3], xb[3], ty[3], tz[3];
    rb.point(hc, 0, hip_l[1], hip_l[2]);
    rb.point(scc, 0, shoulder_l[1], shoulder_l[2]);
    rb.axis(xb, 0);
    vec::sub(ty, scc, hc);
    vec::unit_or_perpendicular(ty, xb);
    vec::cross(tz, xb, ty);
    set3(t + 24, hc), set_axes(r + 72, xb, ty, tz);

    place_head(rider, rb, pts + kPoseHead, pose);
}
