// Immediate mode on the fake table: the index lists of quads, strips and polygons,
// one upload per replay, the move of a primitive that reaches the end of the batch,
// primitives split across batches, and a queue that fills as a primitive ends; all
// read back from what GL was asked to draw.
#include "fake_gl.h"

#include "gfx/gl_layer.h"
#include "gfx/gl_queue.h"
#include "gfx/gl_state.h"
#include "gfx/shaders.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <numeric>

namespace {

// What one draw call drew: the vertices in the order GL reads them, each named by
// the x coordinate the test gave it.
struct Draw {
    int64_t mode;
    std::vector<int> vertices;
    bool operator==(const Draw&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Draw& d)
{
    out << "mode " << d.mode << ", " << d.vertices.size() << " vertices:";
    for (size_t i = 0; i < d.vertices.size() && i < 12; ++i)
        out << ' ' << d.vertices[i];
    return out;
}

std::vector<Draw> draws()
{
    std::string vertices, indices;
    std::vector<Draw> out;
    auto x_of = [&](int64_t i) {
        float x = -1;
        if (i >= 0 && static_cast<size_t>(i + 1) * imm_vertex_bytes <= vertices.size())
            memcpy(&x, vertices.data() + i * imm_vertex_bytes, sizeof x);
        return static_cast<int>(x);
    };
    for (const fakegl::Call& c : fakegl::calls()) {
        if (c.name == "BufferSubData") {
            (c.args[0] == GL_ARRAY_BUFFER ? vertices : indices) = c.data;
        } else if (c.name == "DrawArrays") {
            out.push_back({c.args[0], {}});
            for (int64_t i = c.args[1]; i < c.args[1] + c.args[2]; ++i)
                out.back().vertices.push_back(x_of(i));
        } else if (c.name == "DrawRangeElements") {
            out.push_back({c.args[0], {}});
            for (int64_t j = 0; j < c.args[3]; ++j) {
                uint16_t index;
                memcpy(&index, indices.data() + c.args[5] + 2 * j, 2);
                EXPECT_TRUE(index >= c.args[1] && index <= c.args[2]) << index << " outside the range";
                out.back().vertices.push_back(x_of(index));
            }
        }
    }
    return out;
}

std::vector<int> range(int from, int to)   // [from, to)
{
    std::vector<int> v(static_cast<size_t>(to - from));
    std::iota(v.begin(), v.end(), from);
    return v;
}

std::vector<int> joined(std::vector<int> a, const std::vector<int>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

void primitive(GLenum mode, int from, int to)
{
    bvglBegin(mode);
    for (int i = from; i < to; ++i)
        bvglVertex2f(float(i), 0);
    bvglEnd();
}

class Immediate : public ::testing::Test {
protected:
    void SetUp() override
    {
        fakegl::install();
        gl_state.program[1] = 9;
        gl_use_shader(1);
        fakegl::clear_calls();
    }
    static std::vector<Draw> drawn(GLenum mode, int n)
    {
        fakegl::clear_calls();
        primitive(mode, 0, n);
        bvglFlush();
        return draws();
    }
};

TEST_F(Immediate, QuadsStripsAndPolygonsBecomeCounterClockwiseTriangles)
{
    primitive(GL_QUADS, 0, 6);          // one quad; two vertices dropped
    primitive(GL_QUAD_STRIP, 100, 105);  // uses 4 of its 5 vertices
    primitive(GL_POLYGON, 200, 202);     // too few: nothing
    primitive(GL_QUADS, 200, 203);       // too few: nothing
    primitive(GL_POLYGON, 300, 305);
    primitive(GL_LINE_STRIP, 400, 403);  // not indexed
    primitive(GL_TRIANGLES, 0, 0);       // empty: nothing
    bvglFlush();
    EXPECT_EQ(draws(), (std::vector<Draw>{{GL_TRIANGLES, {0, 1, 3, 3, 1, 2}},
                                          {GL_TRIANGLES, {100, 101, 102, 101, 103, 102}},
                                          {GL_TRIANGLES, {300, 301, 302, 300, 302, 303, 300, 303, 304}},
                                          {GL_LINE_STRIP, {400, 401, 402}}}));
}

TEST_F(Immediate, AReplayUploadsTheBatchOnceAndPutsTheBindingsBack)
{
    fakegl::settings().integers = {
        {GL_VERTEX_ARRAY_BINDING, 11}, {GL_ARRAY_BUFFER_BINDING, 12}, {GL_ELEMENT_ARRAY_BUFFER_BINDING, 13}};
    primitive(GL_QUADS, 0, 4);
    primitive(GL_LINES, 10, 12);
    fakegl::clear_calls();
    bvglFlush();
    const auto uploads = fakegl::calls_named("BufferSubData");
    ASSERT_EQ(uploads.size(), 2u);
    EXPECT_EQ(uploads[0].args[2], 6 * imm_vertex_bytes);   // only what the batch holds
    const auto t = fakegl::trace();
    EXPECT_EQ(std::vector<std::string>(t.end() - 4, t.end()),
              (std::vector<std::string>{"BindBuffer(34963,13)", "BindBuffer(34962,12)", "BindVertexArray(11)", "Flush()"}));
    fakegl::clear_calls();
    bvglFlush();   // the batch is empty now: nothing to upload
    EXPECT_EQ(fakegl::trace(), (std::vector<std::string>{"Flush()"}));
}

TEST_F(Immediate, APrimitiveReachingTheEndOfTheBatchMovesToItsStart)
{
    primitive(GL_POINTS, 0, 8000);
    primitive(GL_TRIANGLES, 100000, 100300);
    // The points were drawn when the batch filled; the triangles now sit at 0.
    EXPECT_EQ(draws(), (std::vector<Draw>{{GL_POINTS, range(0, 8000)}}));
    EXPECT_EQ(std::vector<uint32_t>(gl_state.queue, gl_state.queue + gl_state.queue_fill),
              (std::vector<uint32_t>{op_draw_arrays, GL_TRIANGLES, 0, 300}));
    fakegl::clear_calls();
    bvglFlush();
    EXPECT_EQ(draws(), (std::vector<Draw>{{GL_TRIANGLES, range(100000, 100300)}}));
}

TEST_F(Immediate, PrimitivesLongerThanTheBatchAreSplitAndContinued)
{
    EXPECT_EQ(drawn(GL_TRIANGLES, 8193),
              (std::vector<Draw>{{GL_TRIANGLES, range(0, 8190)}, {GL_TRIANGLES, {8190, 8191, 8192}}}));
    EXPECT_EQ(drawn(GL_POINTS, 8193), (std::vector<Draw>{{GL_POINTS, range(0, 8192)}, {GL_POINTS, {8192}}}));
    EXPECT_EQ(drawn(GL_LINE_STRIP, 8193),
              (std::vector<Draw>{{GL_LINE_STRIP, range(0, 8192)}, {GL_LINE_STRIP, {8191, 8192}}}));
    EXPECT_EQ(drawn(GL_TRIANGLE_STRIP, 8200),
              (std::vector<Draw>{{GL_TRIANGLE_STRIP, range(0, 8192)}, {GL_TRIANGLE_STRIP, range(8190, 8200)}}));
    // A fan keeps its centre.
    EXPECT_EQ(drawn(GL_TRIANGLE_FAN, 10000),
              (std::vector<Draw>{{GL_TRIANGLE_FAN, range(0, 8192)}, {GL_TRIANGLE_FAN, joined({0}, range(8191, 10000))}}));
    // A loop goes on as a strip and is closed at the end with its first vertex, also
    // when the closing vertex arrives with the batch exactly full.
    EXPECT_EQ(drawn(GL_LINE_LOOP, 9000),
              (std::vector<Draw>{{GL_LINE_STRIP, range(0, 8192)}, {GL_LINE_STRIP, joined(range(8191, 9000), {0})}}));
    EXPECT_EQ(drawn(GL_LINE_LOOP, 2 * 8192 - 1),
              (std::vector<Draw>{{GL_LINE_STRIP, range(0, 8192)}, {GL_LINE_STRIP, range(8191, 16383)},
                                 {GL_LINE_STRIP, {16382, 0}}}));

    // The triangles of split quads, quad strips (whose winding alternates) and
    // polygons are those of the whole.
    auto whole = [](GLenum mode, int n) {
        std::vector<int> t;
        for (int k = 0; mode == GL_QUADS && k + 3 < n; k += 4)
            t.insert(t.end(), {k, k + 1, k + 3, k + 3, k + 1, k + 2});
        for (int k = 0; mode == GL_QUAD_STRIP && k + 2 < (n & ~1); ++k)
            t.insert(t.end(), {k, k + 1 + k % 2, k + 2 - k % 2});
        for (int k = 0; mode == GL_POLYGON && k + 2 < n; ++k)
            t.insert(t.end(), {0, k + 1, k + 2});
        return t;
    };
    for (auto [mode, n] : {std::pair{GLenum(GL_QUADS), 8196}, {GLenum(GL_QUAD_STRIP), 8200}, {GLenum(GL_POLYGON), 9000}}) {
        std::vector<Draw> parts = drawn(mode, n);
        ASSERT_EQ(parts.size(), 2u) << "mode " << mode;
        EXPECT_EQ(joined(parts[0].vertices, parts[1].vertices), whole(mode, n)) << "mode " << mode;
    }
}

TEST_F(Immediate, AQueueFullAtTheEndOfAPrimitiveDoesNotLoseIt)
{
    primitive(GL_POINTS, 0, 4);
    // Fill the rest of the queue with one-word commands, leaving too little for a draw.
    std::fill(gl_state.queue + gl_state.queue_fill, gl_state.queue + gl_queue_words, uint32_t(op_load_identity));
    gl_state.queue_fill = gl_queue_words - 4;
    primitive(GL_QUADS, 10, 14);
    primitive(GL_QUADS, 20, 24);   // written after the replay that made the room
    bvglFlush();
    EXPECT_EQ(draws(), (std::vector<Draw>{{GL_POINTS, {0, 1, 2, 3}},
                                          {GL_TRIANGLES, {10, 11, 13, 13, 11, 12}},
                                          {GL_TRIANGLES, {20, 21, 23, 23, 21, 22}}}));
}

}  // namespace
