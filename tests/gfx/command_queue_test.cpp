// The deferred command queue: call order at replay, the replay a full queue forces,
// and the fatal ends for a corrupt queue and for drawing with no program.
#include "fake_gl.h"

#include "gfx/gl_layer.h"
#include "gfx/gl_queue.h"
#include "gfx/gl_state.h"
#include "gfx/shaders.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

class CommandQueue : public ::testing::Test {
protected:
    void SetUp() override { fakegl::install(); }

    // Fills the queue with load-identity commands (one word each) up to `free` free words.
    static void fill_leaving(int free)
    {
        std::fill(gl_state.queue, gl_state.queue + gl_queue_words, static_cast<uint32_t>(op_load_identity));
        gl_state.queue_fill = gl_queue_words - free;
    }
};

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
    std::vector<std::string> want = {
        "Enable(3042)", "BindTexture(3553,7)", "BlendFunc(770,771)", "DepthFunc(515)", "DepthMask(1)",
        "Disable(2929)", "ActiveTexture(33986)", "TexParameteri(3553,10241,9729)",
    };
    EXPECT_EQ(fakegl::trace(), want);
    EXPECT_EQ(gl_state.queue_fill, 0);

    // Results of direct calls come back to the caller.
    EXPECT_EQ(bvglCheckFramebufferStatus(GL_FRAMEBUFFER), static_cast<GLenum>(GL_FRAMEBUFFER_COMPLETE));
}

TEST_F(CommandQueue, ACommandThatDoesNotFitReplaysTheQueueFirst)
{
    const float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 5, 6, 7, 1};

    // 17 free words: the mult-matrix command still fits at the end.
    fill_leaving(17);
    bvglMultMatrixf(m);
    EXPECT_EQ(gl_state.queue_fill, gl_queue_words);

    // 16 free words: the queue is replayed, and the command opens the empty queue.
    fill_leaving(16);
    const int last = gl_queue_words - 20;   // a scale by 2 closes the queue: the replay must run it
    gl_state.queue[last] = op_scale;
    gl_state.queue[last + 1] = gl_state.queue[last + 2] = gl_state.queue[last + 3] = 0x40000000;
    bvglMultMatrixf(m);
    EXPECT_EQ(gl_state.queue_fill, 17);
    EXPECT_EQ(gl_state.queue[0], static_cast<uint32_t>(op_mult_matrix));
    EXPECT_EQ(gl_current_matrix(0)[0], 2.0f);    // the scale ran in the replay
    EXPECT_EQ(gl_current_matrix(0)[12], 0.0f);  // the mult matrix has not yet

    bvglFlush();
    EXPECT_EQ(gl_current_matrix(0)[12], 10.0f);
}

using CommandQueueDeath = CommandQueue;

TEST_F(CommandQueueDeath, ACorruptQueueEndsTheProgram)
{
    gl_state.queue[0] = 0;
    gl_state.queue_fill = 1;
    EXPECT_EXIT(bvglFlush(), ::testing::ExitedWithCode(1), "Invalid GL command queued");

    gl_state.queue[0] = 21;
    EXPECT_EXIT(bvglFlush(), ::testing::ExitedWithCode(1), "Invalid GL command queued");

    gl_state.queue[0] = 11;   // reserved: nothing queues it
    EXPECT_EXIT(bvglFlush(), ::testing::ExitedWithCode(1), "Invalid GL command queued");

    // A command whose words run past the end of the queue is corrupt as well.
    gl_state.queue[0] = op_translate;
    gl_state.queue_fill = 3;
    EXPECT_EXIT(bvglFlush(), ::testing::ExitedWithCode(1), "Invalid GL command queued");
}

TEST_F(CommandQueueDeath, DrawingWithNoProgramEndsTheProgram)
{
    EXPECT_EXIT(bvglDrawArrays(GL_TRIANGLES, 0, 3), ::testing::ExitedWithCode(1), "Error: Fixed shader used");
    EXPECT_EXIT(bvglDrawElements(GL_TRIANGLES, 3, GL_UNSIGNED_SHORT, nullptr), ::testing::ExitedWithCode(1),
                "Error: Fixed shader used");

    // An immediate-mode primitive reaches the same check when the queue replays.
    bvglBegin(GL_LINES);
    bvglVertex2f(0, 0);
    bvglVertex2f(1, 1);
    bvglEnd();
    EXPECT_EXIT(bvglFlush(), ::testing::ExitedWithCode(1), "Error: Fixed shader used");

    // With a program it draws (starting afresh: a switch replays what is queued).
    fakegl::install();
    gl_state.program[1] = 5;
    gl_use_shader(1);
    bvglBegin(GL_LINES);
    bvglVertex2f(0, 0);
    bvglVertex2f(1, 1);
    bvglEnd();
    bvglFlush();
    EXPECT_EQ(fakegl::count("DrawArrays"), 1);
}

}  // namespace
