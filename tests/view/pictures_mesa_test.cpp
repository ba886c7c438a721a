// Frames of the sample track drawn on Mesa's software renderer, each saved under
// "<build>/view_frames/" for people to look at.
#include "view/render_world.h"

#include "foundation/vfs/vfs.h"
#include "gfx/gl_layer.h"
#include "gfx/gl_state.h"
#include "gfx/images.h"
#include "race/program/projection.h"
#include "race/race_state.h"
#include "race/program/settings_values.h"
#include "race/track_load.h"
#include "sim/physics_world.h"
#include "support/fresh_process.h"
#include "support/test_support.h"
#include "offscreen_window.h"
#include "terrain/lighting.h"
#include "terrain/statues.h"
#include "terrain/terrain_queries.h"
#include "terrain/timing_gates.h"
#include "terrain/track_list.h"
#include "terrain/billboards.h"
#include "view/lens_flare.h"
#include "view/view_install.h"

#include "mesa_pictures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr int kW = 320, kH = 180;

using Picture = std::vector<uint8_t>;   // RGB, bottom row first

Picture frame(const float position[3], const float rotation[9], float fov, const std::string& name)
{
    // The start-up clear colour first, so that any hole in the sky shows it.
    bvglClearColor(0.196078f, 0.6f, 0.8f, 0.0f);
    bvglClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    render_world(position, rotation, fov, -1);
    return saved_frame(kW, kH, name);
}

// While it lives, the frame clears to the start-up colour with the fog off, so that
// a hole in the sky shows that colour and no fogged ground can match it.
struct HoleColour {
    float colour[3], density;
    HoleColour() : colour{lighting.fog_color[0], lighting.fog_color[1], lighting.fog_color[2]}, density(lighting.fog_density)
    {
        lighting.fog_color[0] = 0.196078f;
        lighting.fog_color[1] = 0.6f;
        lighting.fog_color[2] = 0.8f;
        lighting.fog_density = 0;
    }
    ~HoleColour()
    {
        for (int k = 0; k < 3; ++k)
            lighting.fog_color[k] = colour[k];
        lighting.fog_density = density;
    }
};

const uint8_t* pixel(const Picture& p, int x, int y)
{
    return &p[(size_t(y) * kW + size_t(x)) * 3];
}

// The camera turned by heading (0 = north, along -z; positive to the east) and pitch
// (positive up): row-major, columns right, up, backward.
void camera(float heading, float pitch, float r[9])
{
    const float ch = std::cos(heading), sh = std::sin(heading), cp = std::cos(pitch), sp = std::sin(pitch);
    const float forward[3] = {sh * cp, sp, -ch * cp};
    const float right[3] = {ch, 0, sh};
    const float up[3] = {right[1] * forward[2] - right[2] * forward[1], right[2] * forward[0] - right[0] * forward[2],
                         right[0] * forward[1] - right[1] * forward[0]};
    for (int k = 0; k < 3; ++k) {
        r[k * 3 + 0] = right[k];
        r[k * 3 + 1] = up[k];
        r[k * 3 + 2] = -forward[k];
    }
}

// The sample track in this process with one automatic rider on the gate.
std::string load_sample(const bvtest::TempDir& root)
{
    bvtest::use_built_data(root);
    view_install();
    if (!physics_world_init())
        return "no physics world";
    scan_tracks();
    race_requested_folder = "tracks/sample";
    race_opts.seed = 7;
    int32_t lineup[160] = {2};
    reset_race(lineup, 0, 0, 0, 3, 0);
    return track_folder ? "" : "the sample track did not load";
}

TEST(ViewPictures, SkyStartGateBillboardsAndFlareOnTheSampleTrack)
{
    bvtest::in_fresh_process([] {
        bvtest::Problems p;
        bvtest::TempDir root;
        OffscreenWindow w(kW, kH);
        if (!w.failure.empty())
            return std::string();   // no GL here: nothing to draw on
        const std::string loaded = load_sample(root);
        if (!loaded.empty())
            return loaded;

        // Five solid faces in place of the track's sky, seen from 200 ft up.
        const uint8_t colours[5][3] = {{200, 20, 20}, {20, 200, 20}, {20, 20, 200}, {200, 200, 20}, {200, 20, 200}};
        uint32_t saved[5];
        for (int f = 0; f < 5; ++f) {
            saved[f] = lighting.sky[f];
            lighting.sky[f] = solid_texture(colours[f][0], colours[f][1], colours[f][2]);
        }
        const float x = 512, z = 512;
        const float eye[3] = {x, terrain_height_at(&track_terrain, x, z) + 200, z};
        const char* names[5] = {"sky_north", "sky_east", "sky_south", "sky_west", "sky_up"};
        for (int f = 0; f < 5; ++f) {
            float r[9];
            camera(f < 4 ? float(f) * float(M_PI) / 2 : 0, f < 4 ? 0.2f : float(M_PI) / 2, r);
            const Picture pic = frame(eye, r, 60, names[f]);
            const uint8_t* c = f < 4 ? pixel(pic, kW / 2, kH * 7 / 8) : pixel(pic, kW / 2, kH / 2);
            p.check(std::abs(c[0] - colours[f][0]) < 8 && std::abs(c[1] - colours[f][1]) < 8 &&
                        std::abs(c[2] - colours[f][2]) < 8,
                    std::string(names[f]) + ": " + std::to_string(c[0]) + "," + std::to_string(c[1]) + "," +
                        std::to_string(c[2]));
        }
        for (int f = 0; f < 5; ++f)
            lighting.sky[f] = saved[f];

        // The real sky, fov 110 on 16:9, turned 45 degrees and looking 30 degrees up:
        // the near plane clips no corner of the cube.
        {
            float r[9];
            camera(float(M_PI) / 4, float(M_PI) / 6, r);
            const HoleColour marked;
            const Picture pic = frame(eye, r, 110, "sky_corners");
            int holes = 0;
            for (size_t i = 0; i < size_t(kW) * kH; ++i)
                holes += pic[i * 3] == 50 && pic[i * 3 + 1] == 153 && pic[i * 3 + 2] == 204;
            p.check(holes == 0, "the clear colour shows through the sky in " + std::to_string(holes) + " pixels");
        }

        // Behind the start slots, looking along the straight.
        float mx = 0, mz = 0;
        const int n = timing_gates.start_slot_count;
        for (int i = 0; i < n; ++i) {
            mx += timing_gates.start_slot_position[i][0] / float(n);
            mz += timing_gates.start_slot_position[i][2] / float(n);
        }
        const float yaw = timing_gates.start_slot_yaw[0];
        const float behind[3] = {mx + 12 * std::sin(yaw), 0, mz + 12 * std::cos(yaw)};
        const float gate_eye[3] = {behind[0], terrain_height_at(&track_terrain, behind[0], behind[2]) + 5, behind[2]};
        float r[9];
        camera(std::atan2(-std::sin(yaw), std::cos(yaw)), -0.15f, r);
        // The ground textures near the camera are drawn over a few frames.
        for (int k = 0; k < 20; ++k)
            render_world(gate_eye, r, 90, -1);
        const Picture with = frame(gate_eye, r, 90, "start_gate");
        std::set<uint32_t> ground;
        for (size_t i = 0; i < size_t(kW) * kH / 2; ++i)
            ground.insert(uint32_t(with[i * 3]) << 16 | uint32_t(with[i * 3 + 1]) << 8 | with[i * 3 + 2]);
        p.check(ground.size() > 50, "the lower half is not ground");
        std::vector<uint32_t> gate_textures;
        for (int i = 0; i < n; ++i) {
            statue* s = statue_at(timing_gates.start_slot_statue[i]);
            gate_textures.push_back(s->texture);
            s->texture = 0;
        }
        const Picture without = frame(gate_eye, r, 90, "start_gate_hidden");
        int changed = 0;
        for (size_t i = 0; i < with.size(); ++i)
            changed += with[i] != without[i];
        p.check(changed > 300, "the start gates change " + std::to_string(changed) + " bytes");
        for (int i = 0; i < n; ++i)
            statue_at(timing_gates.start_slot_statue[i])->texture = gate_textures[size_t(i)];

        // The track's billboards in view within 200 ft change the picture where they
        // stand, against the same frame without them.
        std::vector<uint32_t> board_textures;
        for (int32_t b = first_track_billboard; b < billboard_count(); ++b)
            board_textures.push_back(billboard_at(b)->texture);
        const Picture boards = frame(gate_eye, r, 90, "billboards");
        for (int32_t b = first_track_billboard; b < billboard_count(); ++b)
            billboard_at(b)->texture = 0;
        const Picture bare = frame(gate_eye, r, 90, "billboards_hidden");
        for (int32_t b = first_track_billboard; b < billboard_count(); ++b)
            billboard_at(b)->texture = board_textures[size_t(b - first_track_billboard)];
        int in_view = 0;
        for (int32_t b = first_track_billboard; b < billboard_count(); ++b) {
            const billboard& bb = *billboard_at(b);
            const float v[3] = {bb.x - gate_eye[0], bb.y + bb.size / 2 - gate_eye[1], bb.z - gate_eye[2]};
            const float cx = r[0] * v[0] + r[3] * v[1] + r[6] * v[2];
            const float cy = r[1] * v[0] + r[4] * v[1] + r[7] * v[2];
            const float cz = r[2] * v[0] + r[5] * v[1] + r[8] * v[2];
            if (!(cz < 0) || std::sqrt(v[0] * v[0] + v[2] * v[2]) > 200)
                continue;
            const float hx = projection_half_width, hy = projection_half_height;
            const int px = int((-cx / cz + hx) / (2 * hx) * kW), py = int((-cy / cz + hy) / (2 * hy) * kH);
            if (px < 2 || px >= kW - 2 || py < 2 || py >= kH - 2)
                continue;
            ++in_view;
            int differ = 0;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    for (int c = 0; c < 3; ++c)
                        differ += pixel(boards, px + dx, py + dy)[c] != pixel(bare, px + dx, py + dy)[c];
            p.check(differ > 0, "billboard " + std::to_string(b) + " leaves no mark at its centre");
        }
        p.check(in_view >= 3, "only " + std::to_string(in_view) + " billboards in view");

        // Looking at the sun: it shows fully, and the flare brightens the elements.
        if (lighting.flares.count > 0) {
            const float* sun = lighting.sun_vector;
            float sr[9];
            // A little below the sun, so that the elements spread along the line
            // through the centre.
            camera(std::atan2(sun[0], -sun[2]), std::asin(sun[1]) - 0.2f, sr);
            const Picture flare_on = frame(gate_eye, sr, 90, "flare");
            const flare_sight sight = lens_flare_sights()[0];
            graphics_settings.lens_flare = 0;
            const Picture flare_off = frame(gate_eye, sr, 90, "flare_off");
            graphics_settings.lens_flare = 1;
            p.check(sight.visibility == 1, "the sun shows " + std::to_string(sight.visibility));
            const flare& f = *static_cast<const flare*>(lighting.flares.items);
            const float hx = projection_half_width, hy = projection_half_height;
            int brighter = 0, placed = 0;
            for (int e = 0; e < f.element_count; ++e) {
                const float pe = f.offset[e][0], q = f.offset[e][1];
                if (q == 1)
                    continue;   // on the sun itself, which is white already
                const float x = sight.screen[0] * q + sight.screen[1] * pe;
                const float y = sight.screen[1] * q - sight.screen[0] * pe;
                const int px = int((x + hx) / (2 * hx) * kW), py = int((y + hy) / (2 * hy) * kH);
                if (px < 0 || px >= kW || py < 0 || py >= kH)
                    continue;
                ++placed;
                int on = 0, off = 0;
                for (int c = 0; c < 3; ++c) {
                    on += pixel(flare_on, px, py)[c];
                    off += pixel(flare_off, px, py)[c];
                }
                brighter += on > off;
            }
            p.check(placed > 0 && brighter == placed,
                    "the flare brightens " + std::to_string(brighter) + " of " + std::to_string(placed) + " elements");
        }
        return p.text;
    });
}

// The first frame after the track loads shows the ground with its texture, not the
// black of detail textures still waiting to be drawn; and the sky stays whole at every
// field of view the settings allow, up to 170 on a 16:9 window.
TEST(ViewPictures, FirstFrameGroundAndTheSkyAtEveryFieldOfView)
{
    bvtest::in_fresh_process([] {
        bvtest::Problems p;
        bvtest::TempDir root;
        OffscreenWindow w(kW, kH);
        if (!w.failure.empty())
            return std::string();
        const std::string loaded = load_sample(root);
        if (!loaded.empty())
            return loaded;

        const float x = 512, z = 512;
        const float eye[3] = {x, terrain_height_at(&track_terrain, x, z) + 6, z};
        float r[9];
        camera(0.3f, -0.35f, r);
        const Picture ground = frame(eye, r, 90, "first_frame_ground");
        int black = 0;
        for (size_t i = 0; i < size_t(kW) * kH / 2; ++i)
            black += ground[i * 3] < 12 && ground[i * 3 + 1] < 12 && ground[i * 3 + 2] < 12;
        p.check(black < kW * kH / 200, "black ground in the first frame: " + std::to_string(black) + " pixels");

        const float high[3] = {x, terrain_height_at(&track_terrain, x, z) + 200, z};
        const HoleColour marked;
        for (int fov : {110, 140, 155, 170}) {
            for (float pitch : {0.0f, 0.5f, float(M_PI) / 2}) {
                camera(float(M_PI) / 4, pitch, r);
                const std::string name = "sky_fov_" + std::to_string(fov) + "_" + std::to_string(int(pitch * 100));
                const Picture pic = frame(high, r, float(fov), name);
                int holes = 0;
                for (size_t i = 0; i < size_t(kW) * kH; ++i)
                    holes += pic[i * 3] == 50 && pic[i * 3 + 1] == 153 && pic[i * 3 + 2] == 204;
                p.check(holes == 0, name + ": the clear colour shows through the sky in " + std::to_string(holes) +
                                        " pixels");
            }
        }
        return p.text;
    });
}

// Far out beyond the ground's border, looking away from it and down: below the
// horizon there is nothing to draw, and what the last frame left there must not show.
TEST(ViewPictures, NothingButSkyBelowTheHorizonShowsNoOldFrame)
{
    bvtest::in_fresh_process([] {
        bvtest::Problems p;
        bvtest::TempDir root;
        OffscreenWindow w(kW, kH);
        if (!w.failure.empty())
            return std::string();
        const std::string loaded = load_sample(root);
        if (!loaded.empty())
            return loaded;
        const float eye[3] = {-3000, 300, track_terrain.world_size / 2};
        float r[9];
        camera(-float(M_PI) / 2, -0.35f, r);
        // An old frame in a colour nothing here is drawn in.
        bvglClearColor(1, 0, 0, 1);
        bvglClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        render_world(eye, r, 90, -1);
        const Picture pic = saved_frame(kW, kH, "below_an_empty_horizon");
        int old = 0;
        for (size_t i = 0; i < size_t(kW) * kH; ++i)
            old += pic[i * 3] == 255 && pic[i * 3 + 1] == 0 && pic[i * 3 + 2] == 0;
        p.check(old == 0, "the old frame shows in " + std::to_string(old) + " pixels");
        const uint8_t* bottom = pixel(pic, kW / 2, 2);
        const float* fog = lighting.fog_color;
        for (int c = 0; c < 3; ++c)
            p.check(std::abs(int(bottom[c]) - int(fog[c] * 255 + 0.5f)) <= 2,
                    "below the horizon is not the fog's colour: " + std::to_string(bottom[0]) + "," +
                        std::to_string(bottom[1]) + "," + std::to_string(bottom[2]));
        return p.text;
    });
}

}  // namespace
