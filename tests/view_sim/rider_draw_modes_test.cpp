// What each drawing mode puts on the recording GL table for a real bike: which models,
// in which order, the reflection pass, the plates' textures and the specular flag; and
// that drawing never writes a physics body.
#include "../sim/sim_fixture.h"

#include "gfx/fake_gl.h"
#include "gfx/gl_layer.h"
#include "gfx/gl_queue.h"
#include "gfx/gl_state.h"
#include "gfx/model.h"
#include "gfx/model_parts.h"
#include "gfx/model_scene.h"
#include "gfx/shaders.h"
#include "gfx/texture_settings.h"
#include "sim/ai_line_point.h"
#include "race/program/settings_values.h"
#include "sim/bike_graphics.h"
#include "view/rider_draw.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

using simtest::BikeTest;
const std::string kStaging = BV_BUILD_DIR "/base_staging/";

struct Drawn {
    std::string name;
    bool reflection;
};

struct Modes : BikeTest {
    std::vector<model*> loaded;
    std::map<GLuint, Drawn> parts;      // vertex array -> model and pass
    rider_slot* r = nullptr;

    model* load(const char* name)
    {
        model* m = model_load_file((kStaging + "models/shiny_cube.jm").c_str());
        EXPECT_NE(m, nullptr);
        loaded.push_back(m);
        for (model* p = m; p; p = p->next_part)
            parts[p->vertex_array] = Drawn{name, p->s == model_reflection_part};
        return m;
    }
    void SetUp() override
    {
        r = create();
        ASSERT_NE(r, nullptr);
        bike_reset(r);
        bike_graphics_install(nullptr);
        fakegl::install();
        ASSERT_EQ(gl_create_shaders(), 1);
        graphics_settings.model_detail = 50;
        lod_scale = 1, lod_bias = 0;
        gl_state.gl_white_texture = 91;
        gl_state.gl_normal_texture = 92;
        // A view wide enough for the whole bike: parts out of the view are not drawn.
        bvglMatrixMode(GL_PROJECTION);
        bvglLoadIdentity();
        bvglOrtho(-1e5, 1e5, -1e5, 1e5, -1e5, 1e5);
        bvglMatrixMode(GL_MODELVIEW);
        bvglLoadIdentity();
        r->frame_model = load("frame");
        r->fork_upper_model = load("fork_upper");
        r->fork_lower_model = load("fork_lower");
        r->swingarm_model = load("swingarm");
        r->front_wheel_model = load("front_wheel");
        r->rear_wheel_model = load("rear_wheel");
        r->rider_body_model = load("rider");
        r->rider_body_fp_model = load("rider_fp");
        r->head_model = load("head");
        r->front_plate_model = load("front_plate");
        r->side_plates_model = load("side_plates");
        r->rider_plate_model = load("rider_plate");
        r->bike_textures = {11, 0, 12};
        r->wheel_textures = {21, 0, 0};
        r->rider_textures = {31, 0, 0};
        r->head_textures = {41, 0, 0};
        r->number_texture = 51;
    }
    void TearDown() override
    {
        for (model* m : loaded)
            model_free_with_variants(m);
        std::memset(&r->frame_model, 0, sizeof(model*) * 12);
        r->number_texture = 0;
        r->bike_textures = r->wheel_textures = r->rider_textures = r->head_textures = {};
    }
    // The models drawn, "name" or "name*" for a reflection, in order.
    std::vector<std::string> draw(int mode)
    {
        fakegl::clear_calls();
        const float camera[3] = {0, 5, 20};
        rider_draw(r, mode, camera);
        gl_replay_queue();
        std::vector<std::string> out;
        for (const fakegl::Call& c : fakegl::calls())
            if (c.name == "BindVertexArray" && parts.count(GLuint(c.args[0])))
                out.push_back(parts[GLuint(c.args[0])].name + (parts[GLuint(c.args[0])].reflection ? "*" : ""));
        return out;
    }
};

using list = std::vector<std::string>;

TEST_F(Modes, EachModeDrawsItsModelsInOrder)
{
    const struct {
        int mode;
        int crashed;
        bool first_person_model;
        list expected;
    } rows[] = {
        {0, 0, true,
         {"frame", "fork_upper", "fork_lower", "swingarm", "front_wheel", "rear_wheel", "rider", "head", "front_plate",
          "side_plates", "rider_plate", "frame*", "fork_upper*", "fork_lower*", "swingarm*", "front_wheel*",
          "rear_wheel*", "rider*", "head*", "front_plate*", "side_plates*", "rider_plate*"}},
        {1, 0, true,
         {"frame", "fork_upper", "fork_lower", "front_wheel", "front_plate", "side_plates", "frame*", "fork_upper*",
          "front_plate*", "side_plates*"}},
        {2, 0, true,
         {"frame", "fork_upper", "fork_lower", "front_wheel", "rider_fp", "front_plate", "side_plates", "frame*",
          "fork_upper*", "rider_fp*", "front_plate*", "side_plates*"}},
        {2, 0, false,
         {"frame", "fork_upper", "fork_lower", "front_wheel", "rider", "front_plate", "side_plates", "frame*",
          "fork_upper*", "rider*", "front_plate*", "side_plates*"}},
        {2, 5, true,
         {"frame", "fork_upper", "fork_lower", "swingarm", "front_wheel", "rear_wheel", "rider_fp", "front_plate",
          "side_plates", "frame*", "fork_upper*", "fork_lower*", "swingarm*", "front_wheel*", "rear_wheel*",
          "rider_fp*", "front_plate*", "side_plates*"}},
        {1, 5, true,
         {"frame", "fork_upper", "fork_lower", "swingarm", "front_wheel", "rear_wheel", "front_plate", "side_plates",
          "frame*", "fork_upper*", "fork_lower*", "swingarm*", "front_wheel*", "rear_wheel*", "front_plate*",
          "side_plates*"}},
    };
    model* fp = r->rider_body_fp_model;
    for (const auto& row : rows) {
        r->crash_counter = row.crashed;
        r->rider_body_fp_model = row.first_person_model ? fp : nullptr;
        EXPECT_EQ(draw(row.mode), row.expected) << "mode " << row.mode << " crashed " << row.crashed;
    }
    r->rider_body_fp_model = fp;
    r->crash_counter = 0;

    // The head is drawn without a rider model too.
    model* figure = r->rider_body_model;
    r->rider_body_model = nullptr;
    const list no_figure = draw(0);
    r->rider_body_model = figure;
    EXPECT_NE(std::find(no_figure.begin(), no_figure.end(), "head"), no_figure.end());
    EXPECT_EQ(std::find(no_figure.begin(), no_figure.end(), "rider_plate"), no_figure.end());
}

TEST_F(Modes, PlatesTexturesEnvironmentProgramAndSpecularFlag)
{
    draw(0);
    int unit = 0;
    std::vector<std::string> sequence;
    std::map<int, int64_t> bound;
    int env_selections = 0;
    const GLuint env = gl_state.program[shader_norm_env];
    const GLuint unlit = gl_state.program[shader_unlit];
    GLuint current = 0;
    bool plate_seen = false;
    for (const fakegl::Call& c : fakegl::calls()) {
        if (c.name == "ActiveTexture")
            unit = int(c.args[0] - GL_TEXTURE0);
        if (c.name == "BindTexture")
            bound[unit] = c.args[1];
        if (c.name == "UseProgram") {
            current = GLuint(c.args[0]);
            env_selections += current == env;
        }
        if (c.name == "BindVertexArray" && parts.count(GLuint(c.args[0]))) {
            const Drawn& d = parts[GLuint(c.args[0])];
            if (d.reflection) {
                EXPECT_EQ(current, env) << d.name;
            }
            if (!d.reflection && d.name == "front_plate") {
                plate_seen = true;
                EXPECT_EQ(bound[0], 51);
                EXPECT_EQ(bound[1], 92);
                EXPECT_EQ(bound[2], 91);
            }
            if (!d.reflection && d.name == "frame") {
                EXPECT_EQ(bound[2], 12);
            }
        }
    }
    EXPECT_TRUE(plate_seen);
    EXPECT_EQ(env_selections, 1);
    EXPECT_EQ(current, unlit);
    EXPECT_EQ(model_has_specular_map, 0);
}

TEST_F(Modes, DrawingLeavesEveryBodyBitForBit)
{
    struct Bits {
        dReal v[25];
    };
    auto bits = [&](dBodyID b) {
        Bits o;
        std::memcpy(o.v, dBodyGetPosition(b), 3 * sizeof(dReal));
        std::memcpy(o.v + 3, dBodyGetQuaternion(b), 4 * sizeof(dReal));
        std::memcpy(o.v + 7, dBodyGetRotation(b), 12 * sizeof(dReal));
        std::memcpy(o.v + 19, dBodyGetLinearVel(b), 3 * sizeof(dReal));
        std::memcpy(o.v + 22, dBodyGetAngularVel(b), 3 * sizeof(dReal));
        return o;
    };
    dBodySetLinearVel(r->bodies[body_rider], 3, 0.5, -20);
    std::vector<Bits> before;
    for (dBodyID b : r->bodies)
        before.push_back(bits(b));
    for (int mode = 0; mode < 3; ++mode)
        draw(mode);
    for (int i = 0; i < kBikeBodies; ++i)
        EXPECT_EQ(std::memcmp(before[i].v, bits(r->bodies[i]).v, sizeof(Bits)), 0) << i;
}

// At debug level 2 the followed path's markers: grey, blue-grey for an airborne point
// (speed -0.0 included) and white, raised 0.25, for the aimed point; each after a black
// square of 8 vertices.
TEST_F(Modes, DebugLevelTwoMarksTheFollowedPath)
{
    const growable_array own_path = r->path;
    const int32_t own_count = r->path_count, own_index = r->path_index;
    r->path = {};
    array_init(&r->path, sizeof(ai_line_point));
    const ai_line_point points[3] = {{0, 1, 0, 20, 0}, {5, 1, 0, 30, 0}, {10, 1, 0, -0.0f, 0}};
    for (const ai_line_point& pt : points)
        array_push(&r->path, &pt);
    r->path_count = 3;
    r->path_index = 1;
    verbose_level = 2;
    fakegl::clear_calls();
    const float camera[3] = {0, 5, 20};
    rider_draw(r, 0, camera);
    gl_replay_queue();
    verbose_level = 0;
    std::vector<float> vertices;
    for (const fakegl::Call& c : fakegl::calls())
        if (c.name == "BufferSubData" && c.args[0] == GL_ARRAY_BUFFER) {
            const size_t n = c.data.size() / sizeof(float);
            const size_t at = vertices.size();
            vertices.resize(at + n);
            std::memcpy(vertices.data() + at, c.data.data(), n * sizeof(float));
        }
    ASSERT_EQ(vertices.size(), size_t(3 * 16 * imm_vertex_floats));
    const float colours[3][3] = {{0.5f, 0.5f, 0.5f}, {1, 1, 1}, {0.5f, 0.5f, 1}};
    const float heights[3] = {0.125f, 0.25f, 0.125f};
    for (int m = 0; m < 3; ++m)
        for (int v = 0; v < 16; ++v) {
            const float* vertex = vertices.data() + size_t(m * 16 + v) * imm_vertex_floats;
            for (int k = 0; k < 3; ++k)
                EXPECT_FLOAT_EQ(vertex[8 + k], v < 8 ? 0 : colours[m][k]) << m << " " << v;
            const float y = v < 8 ? 1 : v < 12 ? 1 + heights[m] : 1 - heights[m];
            EXPECT_FLOAT_EQ(vertex[1], y) << m << " " << v;
        }
    array_free(&r->path);
    r->path = own_path;
    r->path_count = own_count, r->path_index = own_index;
}

}  // namespace
