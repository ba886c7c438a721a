// Track scripts on Mesa's software renderer: textures and custom frames they read and
// paint, the statues and billboards their frame handler moves, poses and colours, and
// the sample track's marshal waving his flag. Pictures go to "<build>/view_frames/".
#include "script_fixture.h"

#include "gfx/anim_texture.h"
#include "gfx/gl_layer.h"
#include "gfx/texture_cache.h"
#include "race/program/projection.h"
#include "race/race_state.h"
#include "race/track_load.h"
#include "race_fixture.h"
#include "script/script_host.h"
#include "script/script_seams.h"
#include "script/script_tables.h"
#include "sim/physics_world.h"
#include "support/fresh_process.h"
#include "terrain/statues.h"
#include "terrain/track_list.h"
#include "view/render_world.h"
#include "view/view_install.h"

#include "mesa_pictures.h"
#include "offscreen_window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using bvtest::Problems;
using Picture = std::vector<uint8_t>;   // RGB, bottom row first

constexpr int kW = 320, kH = 180;

// The folders of racetest::start, but the program's own GL on the offscreen context.
std::string start_on_mesa(const bvtest::TempDir& root)
{
    bvtest::make_dirs(racetest::user_folder(root));
    bvtest::use_folders(root / "user", BV_BUILD_DIR "/base_staging");
    view_install();
    if (!physics_world_init())
        return "no physics world";
    script_install();
    return "";
}

void race_on(const char* folder)
{
    scan_tracks();
    race_requested_folder = folder;
    race_opts.seed = 7;
    int32_t lineup[160] = {2};
    reset_race(lineup, 0, 0, 0, 2, 0);
}

Picture frame(const float position[3], const float rotation[9], const std::string& name)
{
    bvglClearColor(0.2f, 0.6f, 0.8f, 0.0f);
    bvglClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    render_world(position, rotation, 60, -1);
    return saved_frame(kW, kH, name);
}

const uint8_t* pixel(const Picture& p, int x, int y)
{
    return &p[(size_t(std::clamp(y, 0, kH - 1)) * kW + size_t(std::clamp(x, 0, kW - 1))) * 3];
}

bool differ(const Picture& a, const Picture& b, int x, int y)
{
    const uint8_t *p = pixel(a, x, y), *q = pixel(b, x, y);
    return std::abs(p[0] - q[0]) + std::abs(p[1] - q[1]) + std::abs(p[2] - q[2]) > 30;
}

// A few pixels up or down: the strip is 4 pixels thick, and its skinning blends the
// two bones along its length.
bool differ_near(const Picture& a, const Picture& b, int x, int y)
{
    for (int k = -3; k <= 3; ++k)
        if (differ(a, b, x, y + k))
            return true;
    return false;
}

// Where a point right, up and ahead of a camera that looks along -z lands, in pixels
// from the bottom left, with the projection of the last frame.
void project(float right, float up, float ahead, int* x, int* y)
{
    *x = int(std::lround(kW / 2.0 * (1 + right / ahead / projection_half_width)));
    *y = int(std::lround(kH / 2.0 * (1 + up / ahead / projection_half_height)));
}

std::string png_bytes(const bvtest::TempDir& root, const std::vector<uint8_t>& rgba, int w, int h)
{
    const std::string path = root / "picture.png";
    png_write_rgba(path.c_str(), rgba.data(), w, h);
    return bvtest::read_file(path);
}

TEST(ScriptPictures, TexturesAndCustomFramesAFrameHandlerAndTheSampleMarshal)
{
    bvtest::in_fresh_process([] {
        Problems p;
        bvtest::TempDir root;
        OffscreenWindow w(kW, kH);
        if (!w.failure.empty())
            return std::string();   // no GL here: nothing to draw on
        const std::string started = start_on_mesa(root);
        if (!started.empty())
            return started;

        // A test track with two 4 x 4 images in a ".seq", a plain picture and a white one.
        const std::string folder = racetest::user_folder(root) + "/tracks/pic";
        std::vector<uint8_t> first, second, white(16 * 4, 255);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x) {
                first.insert(first.end(), {uint8_t(10 * x + 1), uint8_t(10 * y + 1), 7, 255});
                second.insert(second.end(), {uint8_t(100 + 10 * x), uint8_t(100 + 10 * y), 9, 255});
            }
        bvtest::write_file(folder + "/zero.png", png_bytes(root, first, 4, 4));
        bvtest::write_file(folder + "/one.png", png_bytes(root, second, 4, 4));
        bvtest::write_file(folder + "/white.png", png_bytes(root, white, 4, 4));
        bvtest::write_file(folder + "/frames.seq",
                           "ANIM1\n1 2 8 1\n0\nPNG @tracks/pic/zero.png\nPNG @tracks/pic/one.png\n");
        // The camera will stand at (40, 6, 70) looking north (-z). The strip statue
        // starts 20 ft ahead, 6 ft left and 2 ft down; the white board stands 50 ft
        // ahead across the line of sight. The frame handler, once told to, moves the
        // strip 10 ft in front of the camera and 2 ft down, turned as the camera is,
        // bends its right half up and paints the board red.
        scripttest::write_track(
            root, "pic",
            "var st = bv.add_statue(34, 4, 50, 0, '@models/strip.jm', '@tracks/pic/white.png', '');"
            "var bb = bv.add_billboard(40, 4, 20, 8, 1, '@tracks/pic/white.png');"
            "var act = false, p = [], r = [];"
            "bv.frame_handler = function () {"
            "  if (!act) return;"
            "  bv.get_camera_location(p, r);"
            "  bv.move_statue_absolute(st, p[0] - 10 * r[6] - 2 * r[3], p[1] - 10 * r[7] - 2 * r[4],"
            "                          p[2] - 10 * r[8] - 2 * r[5], r);"
            "  bv.pose_statue(st, 2, [0, 0, 0, 0, 0, 0], [0, 0, 0, 0, 0, 0],"
            "                 [1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 0, -1, 0, 0, 0, 0, 1]);"
            "  bv.color_billboard(bb, 1, 0, 0, 1);"
            "};");
        race_on("tracks/pic");
        if (!script_current)
            return std::string("the test track's script did not load");

        // Textures and custom frames.
        const std::string seq = scripttest::js("bv.read_texture('@tracks/pic/frames.seq')");
        const std::string plain = scripttest::js("bv.read_texture('@tracks/pic/white.png')");
        p.check(seq != "0" && plain != "0", "read_texture: " + seq + ", " + plain);
        p.same(scripttest::js("[bv.end_custom_frame(" + seq + "), bv.begin_custom_frame(" + plain + "),"
                              " bv.begin_custom_frame(" + seq + "),"
                              " bv.paste_custom_frame(" + seq + ", 1, 0, 0, 0.5, 0.5, 0.5, 0.5)]"),
               "[0,0,1,1]", "end before begin, begin on a plain picture, begin, paste");
        const anim_texture* anim = nullptr;
        const growable_array* table = texture_animation_table();
        for (int i = 0; table && i < table->count; ++i)
            if (static_cast<anim_texture**>(table->items)[i]->tid == uint32_t(std::atoi(seq.c_str())))
                anim = static_cast<anim_texture**>(table->items)[i];
        if (!anim || !anim->custom_frame || anim->image_count != 2) {
            p.check(false, "no custom frame to read");
        } else {
            // Image 1's quarter at (0.5, 0.5) lands in the frame's quarter at (0, 0).
            const uint8_t* frame_texels = anim->custom_frame;
            const uint8_t* source = anim->images[1].pixels;
            int wrong = 0;
            for (int y = 0; y < 4; ++y)
                for (int x = 0; x < 4; ++x) {
                    const uint8_t* got = frame_texels + 4 * (4 * y + x);
                    const bool pasted = x < 2 && y < 2;
                    const uint8_t* want = source + 4 * (4 * (y + 2) + x + 2);
                    const bool ok = pasted ? std::equal(got, got + 4, want) : got[3] == 0;
                    wrong += !ok;
                }
            p.check(wrong == 0, std::to_string(wrong) + " texels of the custom frame are wrong");
        }
        p.same(scripttest::js("bv.end_custom_frame(" + seq + ")"), "1", "end after begin");

        // Finding objects by the textures and models they loaded.
        p.same(scripttest::js("[bv.find_statue('@models/cube.jm', '', 0), bv.find_statue('', '@statues/hay.png', 0),"
                              " bv.find_statue('@models/strip.jm', '', 0), bv.find_statue('@models/ball.jm', '', 0),"
                              " bv.find_billboard('@billboards/tree.png', 0), bv.find_billboard('@billboards/tree.png', 1),"
                              " bv.find_billboard('@tracks/pic/white.png', 0), bv.find_billboard('@tracks/pic/nothing.png', 0)]"),
               "[0,0,2,-1,0,1,3,-1]", "find_statue and find_billboard");

        // The frame handler at work.
        const float eye[3] = {40, 6, 70};
        const float facing[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
        const Picture before = frame(eye, facing, "script_objects_before");
        scripttest::run("act = true;");
        const Picture after = frame(eye, facing, "script_objects_after");
        scripttest::run("act = false; bv.move_statue_absolute(st, 0, -500, 0, [1, 0, 0, 0, 1, 0, 0, 0, 1]);"
                        " bv.color_billboard(bb, 1, 1, 1, 1);");
        const Picture empty = frame(eye, facing, "script_objects_empty");
        const uint8_t* centre = pixel(after, kW / 2, kH / 2);
        p.check(centre[0] > 150 && centre[1] < 80 && centre[2] < 80,
                "the board is not red at its centre: " + std::to_string(centre[0]) + "," + std::to_string(centre[1]) +
                    "," + std::to_string(centre[2]));
        p.check(pixel(before, kW / 2, kH / 2)[1] > 150, "the board was red before the handler ran");
        int x = 0, y = 0;
        project(-6, -2, 20, &x, &y);
        p.check(differ(before, empty, x, y), "the strip is not at its first place before the move");
        p.check(!differ(after, empty, x, y), "the strip is still at its first place after the move");
        project(-0.6f, -2, 10, &x, &y);
        p.check(differ_near(after, empty, x, y), "the strip's left half is not in front of the camera");
        project(0.6f, -2, 10, &x, &y);
        p.check(!differ_near(after, empty, x, y), "the strip's right half was not turned away");
        project(0, -1.3f, 10, &x, &y);
        p.check(differ_near(after, empty, x, y), "the strip's right half is not turned up");
        script_unload();

        // The sample track with its script: the marshal seen from the front at two
        // moments of his wave, before the drop.
        race_on("tracks/sample");
        if (!script_current || script_added.statue_first < 0)
            return p.text + "the sample track's script did not load\n";
        const statue* marshal = statue_at(script_added.statue_first);
        const float ax = marshal->rotation[6], az = marshal->rotation[8], along = std::hypot(ax, az);
        const float back[3] = {ax / along, 0, az / along};
        const float at[3] = {marshal->x + 18 * back[0], marshal->y + 5, marshal->z + 18 * back[2]};
        // Columns right, up, backward.
        const float look[9] = {back[2], 0, back[0], 0, 1, 0, -back[0], 0, back[2]};
        const int32_t drop = race.gate_drop_tick;
        race.tick = drop - 200;
        const Picture one = frame(at, look, "script_sample_marshal_1");
        race.tick = drop - 168;   // a quarter second on: half a wave later
        const Picture two = frame(at, look, "script_sample_marshal_2");
        int changed = 0;
        for (int yy = 0; yy < kH; ++yy)
            for (int xx = 0; xx < kW; ++xx)
                changed += differ(one, two, xx, yy);
        p.check(changed > 40, "the flag did not move between the two pictures (" + std::to_string(changed) + " pixels)");
        script_unload();
        return p.text;
    });
}

}  // namespace
