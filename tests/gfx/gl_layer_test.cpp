// The GL layer on the fake table: the deferred queue (call order, the replay a full
// queue forces, the fatal ends), the ten matrix stacks against reference maths with
// their limits and what reaches each program, and the start-up's version parse and
// table filled by name.
#include "fake_gl.h"
#include "log_capture.h"

#include "gfx/gl_layer.h"
#include "gfx/gl_queue.h"
#include "gfx/gl_startup.h"
#include "gfx/gl_state.h"
#include "gfx/gl_table.h"
#include "gfx/shaders.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace {

class GlLayer : public ::testing::Test {
protected:
    void SetUp() override
    {
        fakegl::install();
        gl_state.program[1] = 101;
        gl_state.program[2] = 102;
    }
    // Fills the queue with load-identity commands (one word each) up to `free` free words.
    static void fill_leaving(int free)
    {
        std::fill(gl_state.queue + gl_state.queue_fill, gl_state.queue + gl_queue_words, uint32_t(op_load_identity));
        gl_state.queue_fill = gl_queue_words - free;
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
    bvglDepthFunc(GL_LEQUAL);
    bvglDepthMask(GL_TRUE);
    bvglDisable(GL_DEPTH_TEST);
    bvglActiveTexture(GL_TEXTURE2);
    EXPECT_TRUE(fakegl::calls().empty());
    bvglTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    EXPECT_EQ(fakegl::trace(), (std::vector<std::string>{"Enable(3042)", "BindTexture(3553,7)", "BlendFunc(770,771)",
                                                          "DepthFunc(515)", "DepthMask(1)", "Disable(2929)",
                                                          "ActiveTexture(33986)", "TexParameteri(3553,10241,9729)"}));
    EXPECT_EQ(gl_state.queue_fill, 0);
}

TEST_F(CommandQueue, ACommandThatDoesNotFitReplaysTheQueueFirst)
{
    const float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 5, 6, 7, 1};
    fill_leaving(17);   // the 17-word mult-matrix command still fits at the end
    bvglMultMatrixf(m);
    EXPECT_EQ(gl_state.queue_fill, gl_queue_words);

    gl_state.queue_fill = 0;
    fill_leaving(16);   // now it does not: the queue replays, then it opens the empty queue
    const int last = gl_queue_words - 20;   // a scale by 2 near the end must run in the replay
    gl_state.queue[last] = op_scale;
    gl_state.queue[last + 1] = gl_state.queue[last + 2] = gl_state.queue[last + 3] = 0x40000000;
    bvglMultMatrixf(m);
    EXPECT_EQ(gl_state.queue_fill, 17);
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

// Whether m takes the point p (x, y, z, w) to want after the divide by w.
::testing::AssertionResult maps(const float* m, std::array<double, 4> p, std::array<double, 3> want)
{
    std::array<double, 4> r{};
    for (int row = 0; row < 4; ++row)
        for (int k = 0; k < 4; ++k)
            r[row] += m[k * 4 + row] * p[k];
    for (int i = 0; i < 3; ++i)
        if (std::fabs(r[i] / r[3] - want[i]) > 1e-5)
            return ::testing::AssertionFailure() << "coordinate " << i << " is " << r[i] / r[3] << ", not " << want[i];
    return ::testing::AssertionSuccess();
}

TEST_F(MatrixStacks, ProductsPostMultiplyInCallOrder)
{
    // M = T x R x S x C: C moves z by 4, S scales, a third of a turn about (1,1,1)
    // takes x to y, y to z and z to x (the axis of any length), T moves.
    const float move_z[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 4, 1};
    bvglTranslatef(1.5f, -2, 3);
    bvglRotatef(120, 2, 2, 2);
    bvglScalef(2, 0.5f, -1);
    bvglMultMatrixf(move_z);
    bvglFlush();
    const float* m = gl_current_matrix(0);
    EXPECT_TRUE(maps(m, {0, 0, 0, 1}, {-2.5, -2, 3}));
    EXPECT_TRUE(maps(m, {1, 0, 0, 1}, {-2.5, 0, 3}));
    EXPECT_TRUE(maps(m, {0, 1, 0, 1}, {-2.5, -2, 3.5}));
    EXPECT_TRUE(maps(m, {0, 0, 1, 1}, {-3.5, -2, 3}));

    // A zero axis leaves the matrix as it was, rather than filling it with NaN.
    const std::vector<float> before(m, m + 16);
    bvglRotatef(45, 0, 0, 0);
    bvglFlush();
    EXPECT_EQ(std::vector<float>(m, m + 16), before);
}

TEST_F(MatrixStacks, FrustumAndOrthoMapTheirVolumesOntoTheClipCube)
{
    bvglMatrixMode(GL_PROJECTION);
    bvglFrustum(-2, 1, -1, 3, 0.5, 100);
    bvglFlush();
    EXPECT_TRUE(maps(gl_current_matrix(1), {-2, -1, -0.5, 1}, {-1, -1, -1}));
    EXPECT_TRUE(maps(gl_current_matrix(1), {1, 3, -0.5, 1}, {1, 1, -1}));
    EXPECT_TRUE(maps(gl_current_matrix(1), {200, 600, -100, 1}, {1, 1, 1}));

    bvglLoadIdentity();
    bvglOrtho(0, 640, 480, 0, -1, 1);
    bvglFlush();
    EXPECT_TRUE(maps(gl_current_matrix(1), {0, 480, 1, 1}, {-1, -1, -1}));
    EXPECT_TRUE(maps(gl_current_matrix(1), {640, 0, -1, 1}, {1, 1, 1}));
    // Ortho multiplies onto what is there, as its GL namesake does.
    bvglTranslatef(10, 20, 0);
    bvglFlush();
    EXPECT_TRUE(maps(gl_current_matrix(1), {0, 0, 0, 1}, {-1 + 20.0 / 640, 1 - 40.0 / 480, 0}));

    // Coinciding planes would divide by zero: the call changes nothing.
    bvglLoadIdentity();
    bvglOrtho(1, 1, 0, 1, -1, 1);
    bvglFrustum(-1, 1, -1, 1, 2, 2);
    bvglFlush();
    EXPECT_TRUE(maps(gl_current_matrix(1), {3, 4, 5, 1}, {3, 4, 5}));
}

TEST_F(MatrixStacks, PushAndPopStopAtTheirLimitsAndOnlyPopMarksTheStack)
{
    LogCapture log;
    gl_state.dirty = 0;
    bvglTranslatef(1, 2, 3);
    for (int i = 0; i < 31; ++i)
        bvglPushMatrix();
    bvglScalef(5, 5, 5);
    bvglPushMatrix();   // the 32nd: the stack is full
    bvglFlush();
    EXPECT_EQ(gl_state.depth[0], 31);
    EXPECT_EQ(gl_current_matrix(0)[0], 5.0f);
    EXPECT_EQ(log.text(), "Error: bvglPushMatrix overflowed\n");

    for (int i = 0; i < 32; ++i)
        bvglPopMatrix();
    bvglFlush();
    EXPECT_EQ(gl_state.depth[0], 0);
    EXPECT_EQ(gl_current_matrix(0)[0], 1.0f);
    EXPECT_EQ(gl_current_matrix(0)[12], 1.0f);
    EXPECT_EQ(log.text(), "Error: bvglPushMatrix overflowed\nError: bvglPopMatrix with empty stack\n");

    bvglMatrixMode(GL_PROJECTION);
    gl_state.dirty = 0;
    bvglPushMatrix();
    bvglFlush();
    EXPECT_EQ(gl_state.dirty, 0u);
    bvglPopMatrix();
    bvglFlush();
    EXPECT_EQ(gl_state.dirty, 1u << 1);
}

TEST_F(MatrixStacks, TextureStackFollowsTheActiveUnit)
{
    LogCapture log;
    bvglActiveTexture(GL_TEXTURE3);
    bvglMatrixMode(GL_TEXTURE);
    bvglActiveTexture(GL_TEXTURE1);
    bvglScalef(2, 2, 2);
    bvglFlush();
    EXPECT_EQ(gl_state.current_stack, 3);
    EXPECT_EQ(gl_current_matrix(3)[0], 2.0f);
    EXPECT_EQ(gl_current_matrix(5)[0], 1.0f);

    // With the modelview stack current only the unit is recorded.
    bvglMatrixMode(GL_MODELVIEW);
    bvglActiveTexture(GL_TEXTURE6);
    bvglFlush();
    EXPECT_EQ(gl_state.current_stack, 0);
    EXPECT_EQ(gl_state.current_unit, 6);

    // A unit past 7 still reaches GL, then is refused; an unknown mode is ignored.
    fakegl::clear_calls();
    bvglMatrixMode(GL_TEXTURE);
    bvglActiveTexture(GL_TEXTURE0 + 8);
    bvglMatrixMode(0x1234);
    bvglFlush();
    EXPECT_EQ(fakegl::count("ActiveTexture"), 1);
    EXPECT_EQ(gl_state.current_unit, 6);
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
    EXPECT_EQ(gl_state.dirty, 0u);

    // Another program looks its own locations up, once, and gets every matrix.
    fakegl::clear_calls();
    gl_use_shader(2);
    bvglDrawArrays(GL_TRIANGLES, 0, 3);
    gl_use_shader(1);
    bvglDrawArrays(GL_TRIANGLES, 0, 3);
    EXPECT_EQ(fakegl::count("GetUniformLocation"), 10);
    EXPECT_EQ(fakegl::count("UniformMatrix4fv"), 18);
    EXPECT_EQ(fakegl::last_matrix(fakegl::location_of(102, "u_modelview"))[13], 1.0f);
}

TEST(GlStartup, ParsesVersionTextsAndTheMinimumIsThreeOne)
{
    struct Case {
        const char* text;
        int major, minor, es;
    };
    for (const Case& c : {Case{"OpenGL ES 3.2 Mesa 22.3.6", 3, 2, 1}, Case{"3.3.0 NVIDIA 535.54", 3, 3, 0},
                          Case{"4.5 (Core Profile) Mesa 22.3.6", 4, 5, 0}, Case{"NULL", 0, 0, 0},
                          Case{"OpenGL ES-CM 1.1", 0, 0, 0}, Case{"4", 0, 0, 0}, Case{"", 0, 0, 0}}) {
        int major = -1, minor = -1, es = -1;
        gl_parse_version(c.text, &major, &minor, &es);
        EXPECT_EQ(std::vector<int>({major, minor, es}), std::vector<int>({c.major, c.minor, c.es})) << c.text;
    }
    EXPECT_FALSE(gl_version_supported(3, 0));
    EXPECT_FALSE(gl_version_supported(2, 9));
    EXPECT_TRUE(gl_version_supported(3, 1));
    EXPECT_TRUE(gl_version_supported(4, 0));
}

// Answers by name from a copy of the fake table, but for one missing name.
struct FakeLoader {
    gl_table functions;
    const char* missing;
    static void* load(void* context, const char* name)
    {
        auto* self = static_cast<FakeLoader*>(context);
        for (int i = 0; i < gl_table_size; ++i)
            if (strcmp(gl_table_name(i), name) == 0 && strcmp(name, self->missing) != 0)
                return reinterpret_cast<void**>(&self->functions)[i];
        return nullptr;
    }
};

TEST(GlStartup, FillsTheTableByNameAndLogsWhatIsMissing)
{
    fakegl::install();
    FakeLoader loader{gl, "glGenerateMipmap"};
    LogCapture log;
    gl_table filled{};
    EXPECT_EQ(gl_table_load(&filled, FakeLoader::load, &loader), 1);
    EXPECT_EQ(filled.GenerateMipmap, nullptr);
    EXPECT_EQ(filled.BindTexture, loader.functions.BindTexture);
    EXPECT_EQ(filled.DrawRangeElements, loader.functions.DrawRangeElements);
    EXPECT_EQ(filled.VertexAttribPointer, loader.functions.VertexAttribPointer);
    EXPECT_EQ(log.text(), "GL entry point glGenerateMipmap not found\n");
}

}  // namespace
