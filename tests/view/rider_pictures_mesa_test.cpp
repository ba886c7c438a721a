// The rider on the sample track drawn on Mesa from the chase camera, the rider's eye
// and a trackside camera, in solid colours (bike red, wheels dark grey, rider blue,
// head yellow, number plate green); each picture saved under "<build>/view_frames/".
#include "gfx/gl_layer.h"
#include "gfx/gl_startup.h"
#include "gfx/images.h"
#include "gfx/model.h"
#include "gfx/model_scene.h"
#include "gfx/shaders.h"
#include "platform/qorl_gl.h"
#include "race/program/main_loop.h"
#include "race/program/projection.h"
#include "race/race_state.h"
#include "race/track_load.h"
#include "race/program/world_view.h"
#include "sim/bike_build.h"
#include "sim/bike_info.h"
#include "sim/physics_world.h"
#include "sim/rider_access.h"
#include "sim/rider_slot.h"
#include "support/fresh_process.h"
#include "support/test_support.h"
#include "terrain/lighting.h"
#include "terrain/track_list.h"
#include "view/camera_views.h"
#include "view/rider_pose.h"
#include "view/render_world.h"
#include "view/trackside_view.h"
#include "view/view_install.h"
#include "view/view_settings.h"

#include "mesa_pictures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

namespace {

constexpr int kW = 320, kH = 180;
using Picture = std::vector<uint8_t>;   // RGB, bottom row first

std::string open_window()
{
    qorl_window* window = qorl_gl_open_offscreen(kW, kH, 8, 24, 0);
    if (!window)
        return "no offscreen context";
    gl_init([](void* w, const char* name) {
        return reinterpret_cast<void*>(qorl_gl_proc_address(static_cast<qorl_window*>(w), name));
    }, window);
    if (!gl_create_shaders())
        return "the shaders do not build";
    bvglEnable(GL_CULL_FACE);
    bvglPixelStorei(GL_PACK_ALIGNMENT, 1);
    bvglPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    // The installed world renderer draws over the main loop's window size.
    window_width = view_width = kW;
    window_height = view_height = kH;
    return "";
}

// Draws one view (the callable calls the world renderer) and saves it.
template <typename View>
Picture shoot(const std::string& name, View view)
{
    bvglClearColor(0.196078f, 0.6f, 0.8f, 0.0f);
    bvglClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    view();
    return saved_frame(kW, kH, name);
}

// Solid colours, lit: one channel well above the others.
bool is(const uint8_t* c, int channel)
{
    const int v = c[channel], a = c[(channel + 1) % 3], b = c[(channel + 2) % 3];
    return v > 60 && a * 2 < v && b * 2 < v;
}
bool yellow(const uint8_t* c) { return c[0] > 60 && c[1] > 60 && c[2] * 2 < c[0] && c[2] * 2 < c[1]; }

// Pixels of a colour in a box of the picture (rows from the bottom).
int count(const Picture& p, int channel, int x0, int y0, int x1, int y1, bool (*test)(const uint8_t*) = nullptr)
{
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            const uint8_t* c = &p[(size_t(y) * kW + size_t(x)) * 3];
            n += test ? test(c) : is(c, channel);
        }
    return n;
}

using Point = std::array<float, 3>;

float distance(const Point& a, const float* b)
{
    return std::hypot(a[0] - b[0], a[1] - b[1], a[2] - b[2]);
}

// Every vertex of a skinned model where the rider's bones put it, as the shader does.
std::vector<Point> skinned_points(const model* m, const rider_slot* r)
{
    rider_pose pose;
    rider_pose_compute(r, &pose);
    const float* centres = bike_infos[r->bike_index].pose_points + kPoseBoneCentres;
    std::vector<Point> out;
    for (const model* part = m; part; part = part->next_part)
        for (int v = 0; part->bone_weights && v < part->vertex_count; ++v) {
            Point q = {0, 0, 0};
            for (int i = 0; i < 4; ++i) {
                const float w = part->bone_weights[4 * v + i];
                const int b = part->bone_numbers[4 * v + i];
                if (w == 0 || b < 0 || b >= kRiderBones)
                    continue;
                const float* c = centres + 3 * b;
                const float* rot = pose.rotations + 9 * b;
                const float* t = pose.translations + 3 * b;
                const float d[3] = {part->positions[3 * v] - c[0], part->positions[3 * v + 1] - c[1],
                                    part->positions[3 * v + 2] - c[2]};
                for (int k = 0; k < 3; ++k)
                    q[k] += w * (rot[k] * d[0] + rot[3 + k] * d[1] + rot[6 + k] * d[2] + t[k]);
            }
            out.push_back(q);
        }
    return out;
}

// The rider's own view with the default settings: the forearms reach the grips from
// outside the picture, and no part of the rider passes close to the eye or fills the top.
void check_own_view(bvtest::Problems& p, const rider_slot* r, const Picture& eye)
{
    const std::vector<Point> points = skinned_points(r->rider_body_fp_model, r);
    float nearest = 1e9f;
    for (const Point& q : points)
        nearest = std::min(nearest, distance(q, camera_position));
    p.check(!points.empty() && nearest > 4 * lighting.near_plane,
            "rider's eye: the own-view model comes within " + std::to_string(nearest) + " of the eye");

    const bike_info& bike = bike_infos[r->bike_index];
    const dReal* rot = dBodyGetRotation(rider_get_rider_body(r));
    for (int side = 0; side < 2; ++side) {
        const float* g = bike.pose_points + kPoseGrips + 3 * side;
        dVector3 w;
        dBodyGetRelPointPos(r->bodies[body_fork_upper], g[0], g[1], g[2], w);
        const float grip[3] = {float(w[0]), float(w[1]), float(w[2])};
        float reach = 1e9f;
        for (const Point& q : points)
            reach = std::min(reach, distance(q, grip));
        const std::string name = side ? "right" : "left";
        p.check(reach < 0.3f, "rider's eye: the " + name + " glove ends " + std::to_string(reach) + " from its grip");
        // The grip in the picture (the eye looks along the rider body's -z), kept inside it.
        float e[3];
        for (int k = 0; k < 3; ++k)
            e[k] = grip[k] - camera_position[k];
        const float ahead = -float(e[0] * rot[2] + e[1] * rot[6] + e[2] * rot[10]);
        const float sx = float(e[0] * rot[0] + e[1] * rot[4] + e[2] * rot[8]) / ahead / projection_half_width;
        const float sy = float(e[0] * rot[1] + e[1] * rot[5] + e[2] * rot[9]) / ahead / projection_half_height;
        const int gx = std::clamp(int((sx + 1) / 2 * kW), 0, kW - 1), gy = std::clamp(int((sy + 1) / 2 * kH), 0, kH - 1);
        p.check(ahead > 0 && count(eye, 2, std::max(gx - kW / 10, 0), std::max(gy - kH / 8, 0),
                                   std::min(gx + kW / 10, kW), std::min(gy + kH / 8, kH)) > 20,
                "rider's eye: no arm blue at the " + name + " grip (pixel " + std::to_string(gx) + ", " +
                    std::to_string(gy) + ")");
    }
    p.check(count(eye, 2, 0, kH * 2 / 3, kW / 4, kH) == 0 && count(eye, 2, kW * 3 / 4, kH * 2 / 3, kW, kH) == 0,
            "rider's eye: arm blue in the top corners");
}

TEST(RiderPictures, TheLocalRiderFromEachView)
{
    bvtest::in_fresh_process([] {
        bvtest::Problems p;
        bvtest::TempDir root;
        if (!open_window().empty())
            return std::string();   // no GL here: nothing to draw on
        bvtest::use_built_data(root);
        view_install();
        if (!physics_world_init())
            return std::string("no physics world");
        scan_tracks();
        race_requested_folder = "tracks/sample";
        race_opts.seed = 7;
        int32_t lineup[160] = {1};
        reset_race(lineup, 0, 0, 0, 3, 0);
        if (!track_folder)
            return std::string("the sample track did not load");
        rider_slot* r = &rider_slots[0];
        r->bike_textures = {solid_texture(220, 0, 0), 0, 0};
        r->wheel_textures = {solid_texture(40, 40, 40), 0, 0};
        r->rider_textures = {solid_texture(0, 0, 220), 0, 0};
        r->head_textures = {solid_texture(220, 220, 0), 0, 0};
        r->number_texture = solid_texture(0, 220, 0);
        p.check(r->rider_body_fp_model != nullptr, "the bike build gives the slot its own-view model");

        const float pivot[3] = {0, 2.52f, 0.52f};
        const Picture chase = shoot("rider_chase", [&] { render_chase(r, true, chase_orbit{0, 10, 5}, pivot); });
        const int cx0 = kW * 2 / 5, cx1 = kW * 3 / 5;
        p.check(count(chase, 2, cx0, kH / 3, cx1, kH * 2 / 3) > 20, "chase: no rider blue at the centre");
        p.check(count(chase, 0, cx0, 0, cx1, kH / 2) > 20, "chase: no bike red below the rider");
        p.check(count(chase, 1, 0, 0, kW, kH) > 5, "chase: no plate green on the rider's back");

        // The first trackside frame after the chase: the free camera starts where the chase
        // camera was, aimed at the rider; the next frame keeps what the ticks made of it.
        const float chase_eye[3] = {camera_position[0], camera_position[1], camera_position[2]};
        selected_camera = -1;
        const Picture start = shoot("rider_trackside_start", [] { render_trackside_camera(); });
        p.check(distance({free_camera.x, free_camera.y, free_camera.z}, chase_eye) < 1e-3f,
                "trackside start: the free camera is not where the chase camera was");
        p.check(count(start, 2, cx0, kH / 3, cx1, kH * 2 / 3) > 20, "trackside start: no rider blue at the centre");
        p.check(count(start, 0, cx0, kH / 4, cx1, kH * 3 / 4) > 20, "trackside start: no bike red at the centre");
        free_camera.x += 5;
        shoot("rider_trackside_next", [] { render_trackside_camera(); });
        p.check(free_camera.x == chase_eye[0] + 5, "trackside: a later frame puts the free camera back");

        dBodyID body = rider_get_rider_body(r);
        const Picture eye = shoot("rider_eye", [&] { render_first_person(body, 0); });
        p.check(count(eye, 0, 0, 0, kW, kH / 2) > 20, "rider's eye: no bike red in the lower half");
        p.check(count(eye, 2, 0, 0, kW, kH / 2) > 20, "rider's eye: no arm blue in the lower half");
        check_own_view(p, r, eye);
        hide_rider = 1;
        const Picture hidden = shoot("rider_eye_hidden", [&] { render_first_person(body, 0); });
        hide_rider = 0;
        p.check(count(hidden, 2, 0, 0, kW, kH) == 0, "rider's eye with the rider hidden: blue shows");

        // A trackside camera 30 ft to the rider's side, aimed with the new-target flag.
        const dReal* at = dBodyGetPosition(rider_get_frame_body(r));
        const dReal* rot = dBodyGetRotation(rider_get_frame_body(r));
        trackside_camera cam = {float(at[0] + 30 * rot[0]), float(at[1] + 3), float(at[2] + 30 * rot[8]), 0, 0, 0, 0,
                                40, 0};
        trackside_cameras_free();
        array_init(&trackside_cameras, sizeof(trackside_camera));
        array_push(&trackside_cameras, &cam);
        selected_camera = 0;
        camera_auto_switch = 1;
        const float target[3] = {float(at[0]), float(at[1]), float(at[2])}, still[3] = {0, 0, 0};
        camera_track(static_cast<trackside_camera*>(trackside_cameras.items), 0, 0, target, still, 1);
        const Picture side = shoot("rider_trackside", [] { render_trackside_camera(); });
        p.check(count(side, 0, cx0, kH / 4, cx1, kH * 3 / 4) > 20, "trackside: the bike is not centred");
        p.check(count(side, 1, 0, 0, kW, kH) > 5, "trackside: no side plate green");
        p.check(count(side, 0, 0, 0, kW, kH, yellow) > 5, "trackside: no helmet yellow");

        // A leaned bike draws leaned: seen from directly behind, the principal axis of
        // the red and blue pixels tilts by the lean (positive: the top to the left).
        const dReal* was = dBodyGetPosition(rider_get_frame_body(r));
        const float home[3] = {float(was[0]), float(was[1]), float(was[2])};
        for (float lean : {0.0f, 30.0f, -30.0f}) {
            bike_reset(r);
            bike_rotate(r, 0, 0, 1, lean * float(M_PI) / 180);
            const dReal* now = dBodyGetPosition(rider_get_frame_body(r));
            bike_translate(r, home[0] - float(now[0]), home[1] - float(now[1]), home[2] - float(now[2]));
            const float eye[3] = {home[0], home[1] + 1, home[2] + 14};
            const float level[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
            const Picture back = shoot("rider_lean_" + std::to_string(int(lean)), [&] {
                render_world(eye, level, 60, -1);
            });
            double n = 0, mx = 0, my = 0, sxx = 0, syy = 0, sxy = 0;
            for (int y = 0; y < kH; ++y)
                for (int x = 0; x < kW; ++x) {
                    const uint8_t* c = &back[(size_t(y) * kW + size_t(x)) * 3];
                    if (!is(c, 0) && !is(c, 2))
                        continue;
                    n += 1, mx += x, my += y, sxx += double(x) * x, syy += double(y) * y, sxy += double(x) * y;
                }
            if (n < 50) {
                p.check(false, "lean " + std::to_string(lean) + ": the bike is not in the picture");
                continue;
            }
            mx /= n, my /= n;
            const double cxx = sxx / n - mx * mx, cyy = syy / n - my * my, cxy = sxy / n - mx * my;
            // Tilt of the major axis from the vertical, positive with the top to the left.
            const double tilt = -0.5 * std::atan2(2 * cxy, cyy - cxx) * 180 / M_PI;
            p.check(std::fabs(tilt - lean) < 6, "lean " + std::to_string(lean) + " draws tilted " + std::to_string(tilt));
        }
        return p.text;
    });
}

}  // namespace
