// The built-in programs on the fake table: what is compiled for desktop and ES, the
// sampler set-up, failures, program switches and the uniform location caches.
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

    static std::vector<std::string> sources()
    {
        std::vector<std::string> all;
        for (const auto& c : fakegl::calls_named("ShaderSource"))
            all.push_back(c.data);
        return all;
    }
};

TEST_F(Shaders, SixProgramsAreBuiltWithFixedSlotsAndTheirSamplers)
{
    ASSERT_EQ(gl_create_shaders(), 1);
    for (int slot = 1; slot <= 6; ++slot)
        EXPECT_NE(gl_state.program[slot], 0u) << slot;
    EXPECT_EQ(gl_state.program[0], 0u);

    // Desktop GL sees "#version 150" as the first line.
    ASSERT_EQ(sources().size(), 12u);
    for (const std::string& s : sources())
        EXPECT_EQ(s.rfind("#version 150\n#define MAX_BONE 32\n", 0), 0u) << s.substr(0, 40);

    auto binds = fakegl::calls_named("BindAttribLocation");
    ASSERT_EQ(binds.size(), 42u);
    std::vector<std::pair<int64_t, std::string>> first;
    for (int i = 0; i < 7; ++i)
        first.emplace_back(binds[i].args[1], binds[i].data);
    EXPECT_EQ(first, (std::vector<std::pair<int64_t, std::string>>{
                         {0, "vattr_position"}, {2, "vattr_normal"}, {3, "vattr_color"}, {8, "vattr_texcoord"},
                         {9, "vattr_tangent"}, {10, "vattr_weights"}, {11, "vattr_bones"}}));

    // Eight samplers, each set with its program current; none is left current.
    std::vector<std::pair<GLint, int64_t>> samplers;
    for (const auto& c : fakegl::calls_named("Uniform1i"))
        samplers.emplace_back(static_cast<GLint>(c.args[0]), c.args[1]);
    auto at = [](int slot, const char* name) { return fakegl::location_of(gl_state.program[slot], name); };
    EXPECT_EQ(samplers, (std::vector<std::pair<GLint, int64_t>>{
                            {at(2, "u_nmap"), 1}, {at(3, "u_nmap"), 1}, {at(3, "u_smap"), 2},
                            {at(4, "u_shadows"), 1}, {at(5, "u_nmap"), 1}, {at(5, "u_smap"), 2},
                            {at(5, "u_heights"), 3}, {at(6, "u_tilemap"), 1}}));
    EXPECT_EQ(gl_state.current_program, 0);
    EXPECT_EQ(gl_state.shader_switch_count, 16);
    EXPECT_EQ(fakegl::trace().back(), "UseProgram(0)");
}

TEST_F(Shaders, EsGetsTheSourcesUnchanged)
{
    gl_state.gl_es = 1;
    ASSERT_EQ(gl_create_shaders(), 1);
    for (const std::string& s : sources())
        EXPECT_EQ(s.rfind("#version 300 es\n//#version 150\n#define MAX_BONE 32\n", 0), 0u);
}

TEST_F(Shaders, AFailedBuildDeletesEverythingBuiltAndLogsTheDriversText)
{
    LogCapture log;
    fakegl::settings().failing_source_marker = "u_heights";   // only the terrain fragment shader
    fakegl::settings().info_log = "0:12: bad thing";
    EXPECT_EQ(gl_create_shaders(), 0);
    EXPECT_EQ(fakegl::count("DeleteProgram"), 4);   // unlit .. terrain_normals
    EXPECT_EQ(fakegl::count("DeleteShader"), 10);   // theirs and terrain's two
    EXPECT_EQ(fakegl::count("DetachShader"), 8);
    EXPECT_EQ(fakegl::count("Uniform1i"), 0);
    std::string text = log.text();
    EXPECT_NE(text.find("Creating \"unlit\" shader\n"), std::string::npos);
    EXPECT_NE(text.find("vertex shader status for unlit:\n0:12: bad thing\n"), std::string::npos);
    EXPECT_NE(text.find("link status for norm_env:\n0:12: bad thing\n"), std::string::npos);
    EXPECT_NE(text.find("fragment shader status for terrain:\n0:12: bad thing\n"), std::string::npos);
    EXPECT_EQ(text.find("Creating \"tilemap\" shader"), std::string::npos);

    fakegl::install();
    fakegl::settings().fail_link = true;
    EXPECT_EQ(gl_create_shaders(), 0);
    EXPECT_EQ(fakegl::count("CreateProgram"), 1);
    EXPECT_EQ(fakegl::count("DeleteProgram"), 1);
}

TEST_F(Shaders, SwitchesAreCountedAndOnlyRealOnesReachGl)
{
    ASSERT_EQ(gl_create_shaders(), 1);
    gl_state.shader_switch_count = 0;
    bvglEnable(GL_BLEND);
    gl_use_shader(7);
    gl_use_shader(-1);
    gl_use_shader(0);   // already current
    EXPECT_EQ(gl_state.queue_fill, 2);
    EXPECT_EQ(gl_state.shader_switch_count, 0);

    fakegl::clear_calls();
    gl_use_shader(3);
    EXPECT_EQ(fakegl::trace(), (std::vector<std::string>{"Enable(3042)", "UseProgram(" +
                                                          std::to_string(gl_state.program[3]) + ")"}));
    EXPECT_EQ(gl_state.dirty, gl_all_stacks_dirty);
    gl_use_shader(3);
    EXPECT_EQ(gl_state.shader_switch_count, 1);
}

TEST_F(Shaders, UniformLocationsAreLookedUpOncePerProgram)
{
    ASSERT_EQ(gl_create_shaders(), 1);
    fakegl::settings().absent_uniforms = {"u_shininess"};
    fakegl::clear_calls();

    gl_use_shader(shader_terrain);
    bvglEnable(GL_BLEND);
    gl_uniform_spacing(4);   // replays the queue before it looks anything up
    EXPECT_EQ(fakegl::trace().at(1), "Enable(3042)");
    gl_uniform_spacing(2);
    gl_uniform_texoffset(1, 2, 0.5f);
    gl_uniform_shininess(8);   // terrain has none: nothing sent
    gl_use_shader(shader_tilemap);
    gl_uniform_tilemap_dims(0.25f, 0.125f, 0.5f);
    gl_uniform_tilemap_dims(0.25f, 0.125f, 0.5f);

    std::vector<std::string> looked_up;
    for (const auto& c : fakegl::calls_named("GetUniformLocation"))
        looked_up.push_back(std::to_string(c.args[0]) + ":" + c.data);
    const std::string terrain = std::to_string(gl_state.program[5]) + ":";
    const std::string tilemap = std::to_string(gl_state.program[6]) + ":";
    // Each program gets its own, including u_spacing_inv which both programs have.
    EXPECT_EQ(looked_up, (std::vector<std::string>{
                             terrain + "u_spacing", terrain + "u_spacing_inv", terrain + "u_texoffset",
                             terrain + "u_texscale", terrain + "u_shininess", tilemap + "u_spacing_inv",
                             tilemap + "u_atlas_dim_inv", tilemap + "u_tilemap_dim_inv"}));

    std::vector<std::pair<GLint, float>> floats;
    for (const auto& c : fakegl::calls_named("Uniform1f"))
        floats.emplace_back(static_cast<GLint>(c.args[0]), c.floats[0]);
    auto at = [](int slot, const char* name) { return fakegl::location_of(gl_state.program[slot], name); };
    std::vector<std::pair<GLint, float>> want = {
        {at(5, "u_spacing"), 4}, {at(5, "u_spacing_inv"), 0.25f}, {at(5, "u_spacing"), 2},
        {at(5, "u_spacing_inv"), 0.5f}, {at(5, "u_texscale"), 0.5f},
        {at(6, "u_spacing_inv"), 0.25f}, {at(6, "u_atlas_dim_inv"), 0.5f}, {at(6, "u_tilemap_dim_inv"), 0.125f},
        {at(6, "u_spacing_inv"), 0.25f}, {at(6, "u_atlas_dim_inv"), 0.5f}, {at(6, "u_tilemap_dim_inv"), 0.125f},
    };
    EXPECT_EQ(floats, want);
    EXPECT_EQ(fakegl::calls_named("Uniform2fv").at(0).floats, (std::vector<float>{1, 2}));

    // With no program current nothing is looked up or sent.
    gl_use_shader(0);
    fakegl::clear_calls();
    gl_uniform_ambient(1, 1, 1, 1);
    EXPECT_EQ(fakegl::trace(), std::vector<std::string>{});
}

TEST_F(Shaders, EnvironmentMatrixIsSentTransposedToNormEnvLeavingUnlit)
{
    ASSERT_EQ(gl_create_shaders(), 1);
    const float m[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    gl_uniform_envmat(m);
    auto sent = fakegl::calls_named("UniformMatrix3fv");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].args[0], fakegl::location_of(gl_state.program[2], "u_envmat"));
    EXPECT_EQ(sent[0].floats, (std::vector<float>{1, 4, 7, 2, 5, 8, 3, 6, 9}));
    EXPECT_EQ(sent[0].args[2], GL_FALSE);
    EXPECT_EQ(gl_state.current_program, shader_unlit);
}

TEST_F(Shaders, BonesNeedAProgramAndStopAtThirtyTwo)
{
    ASSERT_EQ(gl_create_shaders(), 1);
    std::vector<float> centres(40 * 3, 1), translations(40 * 3, 2), rotations(40 * 9, 3);
    fakegl::clear_calls();
    bvglEnable(GL_BLEND);
    gl_uniform_bones(3, centres.data(), translations.data(), rotations.data());
    EXPECT_TRUE(fakegl::calls().empty());   // not even the replay
    EXPECT_EQ(gl_state.queue_fill, 2);

    gl_use_shader(shader_norm_spec_lit);
    fakegl::clear_calls();
    gl_uniform_bones(0, centres.data(), translations.data(), rotations.data());
    EXPECT_EQ(fakegl::trace().size(), 5u);   // four look-ups, then u_nbones alone
    EXPECT_EQ(fakegl::trace().back(), "Uniform1i(" +
                                          std::to_string(fakegl::location_of(gl_state.program[3], "u_nbones")) + ",0)");

    fakegl::clear_calls();
    gl_uniform_bones(40, centres.data(), translations.data(), rotations.data());
    EXPECT_EQ(fakegl::calls_named("Uniform1i").at(0).args[1], 32);
    EXPECT_EQ(fakegl::calls_named("Uniform3fv").at(0).args[1], 32);
    EXPECT_EQ(fakegl::calls_named("UniformMatrix3fv").at(0).floats.size(), 32u * 9);
}

}  // namespace
