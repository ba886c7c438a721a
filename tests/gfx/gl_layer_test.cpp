// The GL layer on the fake table: the deferred queue (call order, the replay a full
// queue forces, the fatal ends), the ten matrix stacks against reference maths with
// their limits and what reaches each program, and start-up's version parse.
#include "fake_gl.h"
#include "log_capture.h"

#include "gfx/gl_layer.h"
#include "gfx/gl_queue.h"
#include "gfx/gl_startup.h"
#include "gfx/gl_state.h"
#include "gfx/shaders.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>

namespace {

class GlLayer : public ::testing::Test {
protected:
    void SetUp() override
    {
        fakegl::install();
        gl_state.program[1] = 101;
        gl_state.program[2] = 102;
    }
};
using CommandQueue = GlLayer;
using CommandQueueDeath = GlLayer;
using MatrixStacks = GlLayer;

TEST_F(CommandQueue, DeferredCallsReachGlInCallOrderAtTheNextDirectCall)
{
    bvglEnable(GL_BLEND);
    bvglBindTexture(GL_TEXTURE_2D, 7);
    bvglBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    bvglDepthMask(GL_TRUE);
    bvglActiveTexture(GL_TEXTURE2);
    EXPECT_TRUE(fakegl::calls().empty());
    bvglTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    EXPECT_EQ(fakegl::trace(), (std::vector<std::string>{"Enable(3042)", "BindTexture(3553,7)", "BlendFunc(770,771)",
                                                          "DepthMask(1)", "ActiveTexture(33986)",
                                                          "TexParameteri(3553,10241,9729)"}));
    EXPECT_EQ(gl_state.queue_fill, 0);
}

TEST_F(CommandQueue, ACommandThatDoesNotFitReplaysTheQueueFirst)
{
    const float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 5, 6, 7, 1};
    for (int free : {17, 16}) {   // the 17-word mult-matrix command fits, then it does not
        std::fill(gl_state.queue, gl_state.queue + gl_queue_words, uint32_t(op_load_identity));
        gl_state.queue_fill = gl_queue_words - free;
        gl_state.queue[gl_queue_words - 20] = op_scale;   // a scale by 2 near the end
        std::fill_n(gl_state.queue + gl_queue_words - 19, 3, 0x40000000u);
        bvglMultMatrixf(m);
    }
    EXPECT_EQ(gl_state.queue_fill, 17);   // the replay ran the scale, the new command waits
    EXPECT_EQ(gl_current_matrix(0)[0], 2.0f);
    EXPECT_EQ(gl_current_matrix(0)[12], 0.0f);
    bvglFlush();
    EXPECT_EQ(gl_current_matrix(0)[12], 10.0f);
}

TEST_F(CommandQueueDeath, ACorruptQueueOrDrawingWithNoProgramEndsTheProgram)
{
    // Opcode 0, past the last, the reserved 11, and a command running past the end.
    for (auto [opcode, fill] : {std::pair{0u, 1}, {21u, 1}, {11u, 1}, {uint32_t(op_translate), 3}}) {
        gl_state.queue[0] = opcode;
        gl_state.queue_fill = fill;
        EXPECT_EXIT(bvglFlush(), ::testing::ExitedWithCode(1), "Invalid GL command queued") << opcode;
    }
    gl_state.queue_fill = 0;
    EXPECT_EXIT(bvglDrawArrays(GL_TRIANGLES, 0, 3), ::testing::ExitedWithCode(1), "Error: Fixed shader used");
    // An immediate-mode primitive reaches the same check when the queue replays.
    bvglBegin(GL_LINES);
    bvglVertex2f(0, 0);
    bvglVertex2f(1, 1);
    bvglEnd();
    EXPECT_EXIT(bvglFlush(), ::testing::ExitedWithCode(1), "Error: Fixed shader used");
}

// Whether stack s takes the point p (x, y, z, w) to want after the divide by w.
::testing::AssertionResult maps(int s, std::array<double, 4> p, std::array<double, 3> want)
{
    bvglFlush();
    std::array<double, 4> r{};
    for (int row = 0; row < 4; ++row)
        for (int k = 0; k < 4; ++k)
            r[row] += gl_current_matrix(s)[k * 4 + row] * p[k];
    for (int i = 0; i < 3; ++i)
        if (!(std::fabs(r[i] / r[3] - want[i]) <= 1e-5))   // NaN fails too
            return ::testing::AssertionFailure() << "coordinate " << i << " is " << r[i] / r[3] << ", not " << want[i];
    return ::testing::AssertionSuccess();
}

TEST_F(MatrixStacks, ProductsPostMultiplyAndProjectionsMapTheirVolumesOntoTheClipCube)
{
    // M = T x R x S x C: C moves z by 4, S scales, a third of a turn about (1,1,1)
    // takes x to y, y to z and z to x (the axis of any length), T moves.
    const float move_z[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 4, 1};
    bvglTranslatef(1.5f, -2, 3);
    bvglRotatef(120, 2, 2, 2);
    bvglScalef(2, 0.5f, -1);
    bvglMultMatrixf(move_z);
    EXPECT_TRUE(maps(0, {0, 0, 0, 1}, {-2.5, -2, 3}));
    EXPECT_TRUE(maps(0, {1, 0, 0, 1}, {-2.5, 0, 3}));
    EXPECT_TRUE(maps(0, {0, 1, 0, 1}, {-2.5, -2, 3.5}));
    EXPECT_TRUE(maps(0, {0, 0, 1, 1}, {-3.5, -2, 3}));
    bvglRotatef(45, 0, 0, 0);   // a zero axis changes nothing rather than filling in NaN
    EXPECT_TRUE(maps(0, {0, 0, 1, 1}, {-3.5, -2, 3}));

    bvglMatrixMode(GL_PROJECTION);
    bvglFrustum(-2, 1, -1, 3, 0.5, 100);
    EXPECT_TRUE(maps(1, {-2, -1, -0.5, 1}, {-1, -1, -1}));
    EXPECT_TRUE(maps(1, {200, 600, -100, 1}, {1, 1, 1}));
    bvglLoadIdentity();
    bvglTranslatef(10, 20, 0);
    bvglOrtho(0, 640, 480, 0, -1, 1);   // multiplied onto what is there
    EXPECT_TRUE(maps(1, {0, 480, 1, 1}, {9, 19, -1}));
    EXPECT_TRUE(maps(1, {640, 0, -1, 1}, {11, 21, 1}));
    // Coinciding planes would divide by zero: the call changes nothing.
    bvglLoadIdentity();
    bvglOrtho(1, 1, 0, 1, -1, 1);
    bvglFrustum(-1, 1, -1, 1, 2, 2);
    EXPECT_TRUE(maps(1, {3, 4, 5, 1}, {3, 4, 5}));
}

TEST_F(MatrixStacks, PushAndPopStopAtTheirLimitsAndOnlyPopMarksTheStack)
{
    LogCapture log;
    bvglTranslatef(1, 2, 3);
    for (int i = 0; i < 31; ++i)
        bvglPushMatrix();
    bvglScalef(5, 5, 5);
    bvglPushMatrix();   // the 32nd: the stack is full
    EXPECT_TRUE(maps(0, {1, 0, 0, 1}, {6, 2, 3}));
    EXPECT_EQ(gl_state.depth[0], 31);
    gl_state.dirty = 0;
    for (int i = 0; i < 32; ++i)
        bvglPopMatrix();
    EXPECT_TRUE(maps(0, {1, 0, 0, 1}, {2, 2, 3}));
    EXPECT_EQ(gl_state.depth[0], 0);
    EXPECT_EQ(log.text(), "Error: bvglPushMatrix overflowed\nError: bvglPopMatrix with empty stack\n");
    EXPECT_EQ(gl_state.dirty, 1u);
    bvglMatrixMode(GL_PROJECTION);
    gl_state.dirty = 0;
    bvglPushMatrix();
    bvglFlush();
    EXPECT_EQ(gl_state.dirty, 0u);
}

TEST_F(MatrixStacks, TextureStackFollowsTheActiveUnit)
{
    LogCapture log;
    bvglActiveTexture(GL_TEXTURE3);
    bvglMatrixMode(GL_TEXTURE);
    bvglActiveTexture(GL_TEXTURE1);
    bvglScalef(2, 2, 2);
    EXPECT_TRUE(maps(3, {1, 0, 0, 1}, {2, 0, 0}));
    EXPECT_TRUE(maps(5, {1, 0, 0, 1}, {1, 0, 0}));
    // With the modelview stack current only the unit is recorded.
    bvglMatrixMode(GL_MODELVIEW);
    bvglActiveTexture(GL_TEXTURE6);
    bvglScalef(3, 3, 3);
    EXPECT_TRUE(maps(0, {1, 0, 0, 1}, {3, 0, 0}));
    bvglMatrixMode(GL_TEXTURE);
    // A unit past 7 still reaches GL, then is refused; an unknown mode is ignored.
    bvglActiveTexture(GL_TEXTURE0 + 8);
    bvglMatrixMode(0x1234);
    bvglFlush();
    EXPECT_EQ(fakegl::count("ActiveTexture"), 4);
    EXPECT_EQ(gl_state.current_stack, 8);
    EXPECT_EQ(log.text(), "Error: glActiveTexture out of range\n");
}

TEST_F(MatrixStacks, EachDirtyMatrixReachesEachProgramOnce)
{
    gl_use_shader(1);
    fakegl::settings().absent_uniforms = {"u_texture0"};
    bvglDrawArrays(GL_TRIANGLES, 0, 3);
    // A switch makes all ten dirty; one lacks its uniform and is never asked for again.
    EXPECT_EQ(fakegl::count("UniformMatrix4fv"), 9);
    EXPECT_EQ(fakegl::count("GetUniformLocation"), 10);
    fakegl::clear_calls();
    bvglTranslatef(0, 1, 0);
    bvglMatrixMode(GL_TEXTURE);
    bvglTranslatef(0, 1, 0);   // texture unit 0: the program has no uniform for it
    bvglDrawArrays(GL_TRIANGLES, 0, 3);
    bvglDrawArrays(GL_TRIANGLES, 0, 3);
    auto sent = fakegl::calls_named("UniformMatrix4fv");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].args[0], fakegl::location_of(101, "u_modelview"));
    EXPECT_EQ(sent[0].floats[13], 1.0f);
    EXPECT_EQ(fakegl::count("GetUniformLocation"), 0);
    // Another program looks its own locations up, once, and gets every matrix.
    fakegl::clear_calls();
    for (int program : {2, 1, 2})
        gl_use_shader(program), bvglDrawArrays(GL_TRIANGLES, 0, 3);
    EXPECT_EQ(fakegl::count("GetUniformLocation"), 10);
    EXPECT_EQ(fakegl::count("UniformMatrix4fv"), 27);
    EXPECT_EQ(fakegl::last_matrix(fakegl::location_of(102, "u_modelview"))[13], 1.0f);
}

TEST(GlStartup, ParsesVersionTextsAndTheMinimumIsThreeOne)
{
    for (auto [text, want] : {std::pair{"OpenGL ES 3.2 Mesa 22.3.6", std::array{3, 2, 1}},
                              {"4.5 (Core Profile) Mesa 22.3.6", std::array{4, 5, 0}}, {"NULL", std::array{0, 0, 0}},
                              {"OpenGL ES-CM 1.1", std::array{0, 0, 0}}, {"4", std::array{0, 0, 0}}}) {
        std::array<int, 3> got{-1, -1, -1};
        gl_parse_version(text, &got[0], &got[1], &got[2]);
        EXPECT_EQ(got, want) << text;
    }
    EXPECT_FALSE(gl_version_supported(3, 0));
    EXPECT_TRUE(gl_version_supported(3, 1));
    EXPECT_TRUE(gl_version_supported(4, 0));
}

}  // namespace
