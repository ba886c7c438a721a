// The main loop's views with the world presentation installed: the rider's eye and the
// chase camera follow the camera settings, Tab into the trackside view shows a camera
// placed by a "cameras" file, the sit/dab key turns the following on (with the rider's
// name over the view), and "0" with the throttle flies the free camera.
#include "loop_harness.h"
#include "race/race_fixture.h"

#include "foundation/vfs/vfs.h"
#include "platform/qorl_input.h"
#include "platform/qorl_window.h"
#include "race/program/bindings.h"
#include "race/program/command_line.h"
#include "race/program/controls.h"
#include "race/net/net_client.h"
#include "race/program/program_hooks.h"
#include "race/race_state.h"
#include "race/program/settings_values.h"
#include "race/track_load.h"
#include "race/program/world_view.h"
#include "sim/rider_access.h"
#include "sim/rider_slot.h"
#include "support/fresh_process.h"
#include "terrain/terrain_queries.h"
#include "terrain/track_list.h"
#include "terrain/trackside_cameras.h"
#include "view/camera_views.h"
#include "view/trackside_view.h"
#include "view/view_install.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <vector>

using bvtest::Problems;
using looptest::code_of;

namespace {

constexpr double T = 1.0 / 128.0;

struct Shot {
    float eye[3];
    float rotation[9];
    int32_t slot;
};
std::vector<Shot> shots;
std::vector<int32_t> names_drawn;

// One drawn frame of the current view; the camera the world was drawn with.
Shot draw_frame()
{
    shots.clear();
    qorl_frame frame{0, 0, 640, 480};
    draw_view(&frame);
    return shots.empty() ? Shot{{NAN, NAN, NAN}, {}, -2} : shots.back();
}

float horizontal(const float a[3], const float b[3])
{
    return std::hypot(a[0] - b[0], a[2] - b[2]);
}

// The cosine between the camera's view direction and the direction to the rider.
float facing_rider(const Shot& shot, const rider_slot* rider)
{
    const dReal* at = dBodyGetPosition(rider_get_frame_body(rider));
    const float to[3] = {float(at[0]) - shot.eye[0], float(at[1]) - shot.eye[1], float(at[2]) - shot.eye[2]};
    const float n = std::hypot(to[0], to[1], to[2]);
    return -(to[0] * shot.rotation[2] + to[1] * shot.rotation[5] + to[2] * shot.rotation[8]) / n;
}

}  // namespace

TEST(CameraLoop, ViewsFollowTheSettingsAndTheTracksideKeys)
{
    bvtest::in_fresh_process([] {
        Problems p;
        bvtest::TempDir root;
        looptest::ride_on_flat(root);
        program_hooks.rider_name_draw = [](int32_t slot) { names_drawn.push_back(slot); };
        view_install();
        render_world_entry = [](const float eye[3], const float rotation[9], float, int32_t slot) {
            Shot s{{eye[0], eye[1], eye[2]}, {}, slot};
            std::copy(rotation, rotation + 9, s.rotation);
            shots.push_back(s);
        };
        looptest::FakeClock clock;
        looptest::ScriptedEvents events;
        looptest::begin(clock, events, 10.0);
        const int32_t slot = race.viewed_slot;
        const rider_slot* rider = &rider_slots[slot];

        // The rider's eye rises and moves forward with "1st Person Height".
        camera_settings = camera_setting_values{};
        Shot low = draw_frame();
        camera_settings.first_person_height = 3;
        Shot high = draw_frame();
        p.check(low.slot == slot && high.slot == slot, "the rider's eye is drawn for the followed rider");
        const float moved[3] = {high.eye[0] - low.eye[0], high.eye[1] - low.eye[1], high.eye[2] - low.eye[2]};
        p.check(std::fabs(std::hypot(moved[0], moved[1], moved[2]) - 3 * 0.970433f) < 0.01f,
                "the eye moves by the height's offset on the rider body");
        p.check(moved[1] > 1.5f, "and upwards");

        // The chase camera of a local rider stands "3rd Person Distance" behind the pivot.
        loop.view_mode = view_chase;
        const dReal* frame_at = dBodyGetPosition(rider_get_frame_body(rider));
        const float bike[3] = {float(frame_at[0]), float(frame_at[1]), float(frame_at[2])};
        for (float distance : {10.0f, 25.0f}) {
            camera_settings.third_person_distance = distance;
            const Shot chase = draw_frame();
            p.check(chase.slot == -1, "the chase camera has no viewer");
            p.check(std::fabs(horizontal(chase.eye, bike) - distance) < 1.0f, "the chase eye's distance follows the setting");
        }

        // A camera from the track's "cameras" file; "1" picks it and Tab goes trackside
        // (spying, so the local rider does not pull the view back to its eye).
        // It stands ahead of the rider along +z, looking further along +z (away).
        const float cam_x = bike[0] + 20, cam_z = bike[2] + 30;
        {
            std::ofstream file(racetest::user_folder(root) + "/cameras");
            file << "gate 0 1 2 3\naddcamera " << cam_x << " 8 " << cam_z << "\n";
        }
        trackside_cameras_read("@cameras");
        p.check(trackside_cameras.count == 1, "one camera read");
        plain_values.spy = 1;
        events.events = {{code_of("1"), 1, 0}, {code_of("1"), 0, 0}, {code_of("tab"), 1, 0}, {code_of("tab"), 0, 0}};
        looptest::frame(clock, T);
        looptest::frame(clock, T);
        p.check(loop.view_mode == view_trackside, "Tab from the chase view goes trackside");
        p.check(selected_camera == 0, "1 selects the first camera");
        const float ground = terrain_height_smoothed(&track_terrain, cam_x, cam_z);
        Shot side = draw_frame();
        p.check(facing_rider(side, rider) < 0, "the camera starts looking away from the rider");
        p.check(std::fabs(side.eye[0] - cam_x) < 1e-2f && std::fabs(side.eye[2] - cam_z) < 1e-2f &&
                    std::fabs(side.eye[1] - (ground + 8)) < 0.5f,
                "the view is the placed camera's");
        p.check(names_drawn.empty(), "no name line while the auto-switch is off");

        // The sit/dab key turns the following on: the camera turns onto the rider and
        // the rider's name shows.
        // (A frame of one tick takes every pending event: each press gets a frame.)
        events.events = {{code_of("right ctrl"), 1, 0}};
        looptest::frame(clock, T);
        events.events = {{code_of("right ctrl"), 0, 0}};
        for (int k = 0; k < 640; ++k)
            looptest::frame(clock, T);
        p.check(camera_auto_switch == 1, "the sit/dab key turned the auto-switch on");
        side = draw_frame();
        p.check(facing_rider(side, rider) > 0.95f, "the camera turned to the rider: " + std::to_string(facing_rider(side, rider)));
        p.check(names_drawn == std::vector<int32_t>{slot}, "the followed rider's name line is drawn");

        // "0" selects the free camera; the throttle flies it forward.
        events.events = {{code_of("right ctrl"), 1, 0}, {code_of("0"), 1, 0}, {code_of("x"), 1, 0}};
        looptest::frame(clock, T);
        events.events = {{code_of("right ctrl"), 0, 0}, {code_of("0"), 0, 0}};
        p.check(selected_camera == -1 && camera_auto_switch == 0, "0 picks the free camera, following off");
        const Shot start = draw_frame();
        for (int k = 0; k < 64; ++k)
            looptest::frame(clock, T);
        const Shot flown = draw_frame();
        p.check(free_camera_speed > 5, "the free camera picks up speed");
        p.check(flown.eye[2] - start.eye[2] > 1.0f, "and flies along its aim");
        p.check(flown.eye[1] >= terrain_height_smoothed(&track_terrain, flown.eye[0], flown.eye[2]) + 2 - 1e-3f,
                "above the ground");
        trackside_cameras_free();
        return p.text;
    });
}
