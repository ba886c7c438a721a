// The built-in programs on the fake table: what is compiled for desktop and ES,
// failures, program switches, the per-program uniform location caches, and the
// environment matrix and bone uniforms.
#include "fake_gl.h"
#include "log_capture.h"

#include "gfx/gl_layer.h"
#include "gfx/gl_state.h"
#include "gfx/shaders.h"

#include <gtest/gtest.h>

namespace {

class Shaders : public ::testing::Test {
protected:
    void SetUp() override { fakegl::install(); }
    static GLint at(int slot, const char* name) { return fakegl::location_of(gl_state.program[slot], name); }
};

TEST_F(Shaders, SixProgramsAreBuiltFromOneSourceForDesktopAndEs)
{
    for (int es : {0, 1}) {
        fakegl::install();
        gl_state.gl_es = es;
        ASSERT_EQ(gl_create_shaders(), 1);
        // Desktop GL is handed the source from past "#version 300 es\n//".
        const std::string first = es ? "#version 300 es\n//#version 150\n" : "#version 150\n";
        auto sources = fakegl::calls_named("ShaderSource");
        ASSERT_EQ(sources.size(), 12u);
        for (const auto& s : sources)
            EXPECT_EQ(s.data.rfind(first + "#define MAX_BONE 32\n", 0), 0u) << s.data.substr(0, 40);
        EXPECT_EQ(gl_state.current_program, 0);
        EXPECT_EQ(fakegl::trace().back(), "UseProgram(0)");
    }
}

TEST_F(Shaders, AFailedBuildDeletesEverythingBuiltAndLogsTheDriversText)
{
    LogCapture log;
    fakegl::settings().failing_source_marker = "u_heights";   // only the terrain fragment shader
    fakegl::settings().info_log = "0:12: bad thing";
    EXPECT_EQ(gl_create_shaders(), 0);
    EXPECT_EQ(fakegl::count("DeleteProgram"), 4);   // unlit .. terrain_normals
    EXPECT_EQ(fakegl::count("DeleteShader"), 10);   // theirs and terrain's two
    EXPECT_EQ(fakegl::count("Uniform1i"), 0);
    const std::string text = log.text();
    EXPECT_NE(text.find("Creating \"unlit\" shader\n"), std::string::npos) << text;
    EXPECT_NE(text.find("fragment shader status for terrain:\n0:12: bad thing\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("Creating \"tilemap\" shader"), std::string::npos) << text;

    fakegl::install();
    fakegl::settings().fail_link = true;
    EXPECT_EQ(gl_create_shaders(), 0);
    EXPECT_EQ(fakegl::count("CreateProgram"), 1);
    EXPECT_EQ(fakegl::count("DeleteProgram"), 1);
}

TEST_F(Shaders, SwitchesAreCountedAndUniformLocationsAreLookedUpOncePerProgram)
{
    ASSERT_EQ(gl_create_shaders(), 1);
    fakegl::settings().absent_uniforms = {"u_shininess"};
    // Only real switches reach GL (after what is queued), are counted and make every matrix dirty.
    gl_state.shader_switch_count = 0;
    bvglEnable(GL_BLEND);
    for (int slot : {7, -1, 0})
        gl_use_shader(slot);
    EXPECT_EQ(gl_state.queue_fill, 2);
    fakegl::clear_calls();
    gl_use_shader(shader_terrain);
    gl_use_shader(shader_terrain);
    EXPECT_EQ(fakegl::trace(), (std::vector<std::string>{"Enable(3042)", "UseProgram(" +
                                                          std::to_string(gl_state.program[5]) + ")"}));
    EXPECT_EQ(gl_state.dirty, gl_all_stacks_dirty);
    EXPECT_EQ(gl_state.shader_switch_count, 1);

    fakegl::clear_calls();
    bvglEnable(GL_BLEND);
    gl_uniform_spacing(4);   // replays the queue before it looks anything up
    EXPECT_EQ(fakegl::trace().at(0), "Enable(3042)");
    gl_uniform_spacing(2);
    gl_uniform_shininess(8);   // absent: nothing sent, nor asked again
    gl_uniform_shininess(8);
    gl_use_shader(shader_tilemap);
    gl_uniform_tilemap_dims(0.25f, 0.125f, 0.5f);
    gl_uniform_tilemap_dims(0.25f, 0.125f, 0.5f);

    std::vector<std::string> looked_up;
    for (const auto& c : fakegl::calls_named("GetUniformLocation"))
        looked_up.push_back(std::to_string(c.args[0] == gl_state.program[5] ? 5 : 6) + ":" + c.data);
    // Each program gets its own, including u_spacing_inv which both have.
    EXPECT_EQ(looked_up, (std::vector<std::string>{"5:u_spacing", "5:u_spacing_inv", "5:u_shininess",
                                                   "6:u_spacing_inv", "6:u_atlas_dim_inv", "6:u_tilemap_dim_inv"}));
    std::vector<std::pair<GLint, float>> sent;
    for (const auto& c : fakegl::calls_named("Uniform1f"))
        sent.emplace_back(static_cast<GLint>(c.args[0]), c.floats[0]);
    EXPECT_EQ(sent, (std::vector<std::pair<GLint, float>>{
                        {at(5, "u_spacing"), 4}, {at(5, "u_spacing_inv"), 0.25f}, {at(5, "u_spacing"), 2},
                        {at(5, "u_spacing_inv"), 0.5f}, {at(6, "u_spacing_inv"), 0.25f},
                        {at(6, "u_atlas_dim_inv"), 0.5f}, {at(6, "u_tilemap_dim_inv"), 0.125f},
                        {at(6, "u_spacing_inv"), 0.25f}, {at(6, "u_atlas_dim_inv"), 0.5f},
                        {at(6, "u_tilemap_dim_inv"), 0.125f}}));

    // With no program current nothing is looked up or sent.
    gl_use_shader(0);
    fakegl::clear_calls();
    gl_uniform_ambient(1, 1, 1, 1);
    EXPECT_EQ(fakegl::trace(), std::vector<std::string>{});
}

TEST_F(Shaders, EnvironmentMatrixGoesTransposedToNormEnvAndBonesStopAtThirtyTwo)
{
    ASSERT_EQ(gl_create_shaders(), 1);
    const float m[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    gl_uniform_envmat(m);
    auto sent = fakegl::calls_named("UniformMatrix3fv");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].args, (std::vector<int64_t>{at(2, "u_envmat"), 1, GL_FALSE}));
    EXPECT_EQ(sent[0].floats, (std::vector<float>{1, 4, 7, 2, 5, 8, 3, 6, 9}));
    EXPECT_EQ(gl_state.current_program, shader_unlit);

    std::vector<float> centres(40 * 3, 1), translations(40 * 3, 2), rotations(40 * 9, 3);
    gl_use_shader(0);
    fakegl::clear_calls();
    gl_uniform_bones(3, centres.data(), translations.data(), rotations.data());
    EXPECT_TRUE(fakegl::calls().empty());   // no program: not even a replay
    gl_use_shader(shader_norm_spec_lit);
    for (auto [asked, sent_count] : {std::pair{40, 32}, {0, 0}, {-3, 0}}) {
        fakegl::clear_calls();
        gl_uniform_bones(asked, centres.data(), translations.data(), rotations.data());
        EXPECT_EQ(fakegl::calls_named("Uniform1i").at(0).args[1], sent_count) << asked;
        EXPECT_EQ(fakegl::count("Uniform3fv"), sent_count ? 2 : 0) << asked;
        EXPECT_EQ(fakegl::count("UniformMatrix3fv") ? fakegl::calls_named("UniformMatrix3fv")[0].floats.size() : 0u,
                  sent_count * 9u) << asked;
    }
}

}  // namespace
