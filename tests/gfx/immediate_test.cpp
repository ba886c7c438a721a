// Immediate mode on the fake table: the index lists of quads, strips and polygons,
// one upload per replay, the move of a primitive that reaches the end of the batch,
// and primitives split across batches, read back from what GL was asked to draw.
#include "fake_gl.h"

#include "gfx/gl_layer.h"
#include "gfx/gl_queue.h"
#include "gfx/gl_state.h"
#include "gfx/shaders.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

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
    return out << (d.vertices.size() > 12 ? " ..." : "");
}

int x_of(const std::string& vertices, int64_t i)
{
    if (i < 0 || static_cast<size_t>(i + 1) * imm_vertex_bytes > vertices.size()) {
        ADD_FAILURE() << "vertex " << i << " was not uploaded";
        return -1;
    }
    float x;
    memcpy(&x, vertices.data() + i * imm_vertex_bytes, sizeof x);
    return static_cast<int>(x);
}

std::vector<Draw> draws()
{
    std::string vertices, indices;
    std::vector<Draw> out;
    for (const fakegl::Call& c : fakegl::calls()) {
        if (c.name == "BufferSubData") {
            (c.args[0] == GL_ARRAY_BUFFER ? vertices : indices) = c.data;
        } else if (c.name == "DrawArrays") {
            Draw d{c.args[0], {}};
            for (int64_t i = c.args[1]; i < c.args[1] + c.args[2]; ++i)
                d.vertices.push_back(x_of(vertices, i));
            out.push_back(d);
        } else if (c.name == "DrawRangeElements") {
            Draw d{c.args[0], {}};
            EXPECT_EQ(c.args[4], GL_UNSIGNED_SHORT);
            for (int64_t j = 0; j < c.args[3]; ++j) {
                uint16_t index;
                memcpy(&index, indices.data() + c.args[5] + 2 * j, 2);
                EXPECT_GE(index, c.args[1]);
                EXPECT_LE(index, c.args[2]);
                d.vertices.push_back(x_of(vertices, index));
            }
            out.push_back(d);
        }
    }
    return out;
}

std::vector<int> range(int from, int to)   // [from, to)
{
    std::vector<int> v;
    for (int i = from; i < to; ++i)
        v.push_back(i);
    return v;
}

std::vector<int> joined(std::vector<int> a, const std::vector<int>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The triangles each multi-vertex mode stands for, spelt out by their definitions.
std::vector<int> quad_triangles(const std::vector<int>& v)
{
    std::vector<int> t;
    for (size_t q = 0; q + 3 < v.size(); q += 4)
        t.insert(t.end(), {v[q], v[q + 1], v[q + 3], v[q + 3], v[q + 1], v[q + 2]});
    return t;
}

std::vector<int> quad_strip_triangles(const std::vector<int>& v)
{
    std::vector<int> t;
    for (size_t k = 0; k + 2 < (v.size() & ~size_t(1)); ++k)
        if (k % 2 == 0)
            t.insert(t.end(), {v[k], v[k + 1], v[k + 2]});
        else
            t.insert(t.end(), {v[k], v[k + 2], v[k + 1]});
    return t;
}

std::vector<int> polygon_triangles(const std::vector<int>& v)
{
    std::vector<int> t;
    for (size_t k = 0; k + 2 < v.size(); ++k)
        t.insert(t.end(), {v[0], v[k + 1], v[k + 2]});
    return t;
}

void primitive(GLenum mode, int from, int to)
{
    bvglBegin(mode);
    for (int i = from; i < to; ++i)
        bvglVertex2f(float(i), 0);
    bvglEnd();
}

std::vector<uint32_t> queued()
{
    return std::vector<uint32_t>(gl_state.queue, gl_state.queue + gl_state.queue_fill);
}

std::vector<int> indices(int from, int to)
{
    return std::vector<int>(gl_state.imm_batch.indices + from, gl_state.imm_batch.indices + to);
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
};

TEST_F(Immediate, QuadsStripsAndPolygonsBecomeIndexedTriangles)
{
    primitive(GL_QUADS, 0, 6);   // one quad; two vertices dropped
    EXPECT_EQ(queued(), (std::vector<uint32_t>{op_draw_range_elements, 0, 6, 0, 4}));
    EXPECT_EQ(indices(0, 6), (std::vector<int>{0, 1, 3, 3, 1, 2}));

    primitive(GL_QUAD_STRIP, 100, 105);   // starts at 4, uses 4 of its 5 vertices
    EXPECT_EQ(indices(6, 12), (std::vector<int>{4, 5, 6, 5, 7, 6}));

    primitive(GL_POLYGON, 200, 202);   // too few: nothing
    primitive(GL_QUADS, 200, 203);     // too few: nothing
    primitive(GL_POLYGON, 300, 305);   // starts at 8
    EXPECT_EQ(indices(12, 21), (std::vector<int>{8, 9, 10, 8, 10, 11, 8, 11, 12}));

    primitive(GL_LINE_STRIP, 400, 403);   // not indexed, starts at 13
    primitive(GL_TRIANGLES, 0, 0);        // empty: nothing
    EXPECT_EQ(queued(), (std::vector<uint32_t>{op_draw_range_elements, 0, 6, 0, 4,
                                               op_draw_range_elements, 6, 6, 4, 4,
                                               op_draw_range_elements, 12, 9, 8, 5,
                                               op_draw_arrays, GL_LINE_STRIP, 13, 3}));

    bvglFlush();
    std::vector<Draw> want = {
        {GL_TRIANGLES, {0, 1, 3, 3, 1, 2}},
        {GL_TRIANGLES, {100, 101, 102, 101, 103, 102}},
        {GL_TRIANGLES, {300, 301, 302, 300, 302, 303, 300, 303, 304}},
        {GL_LINE_STRIP, {400, 401, 402}},
    };
    EXPECT_EQ(draws(), want);
}

TEST_F(Immediate, VerticesTakeTheCurrentColourAndTextureCoordinate)
{
    bvglBegin(GL_POINTS);
    bvglVertex3f(1, 2, 3);
    imm_color[0] = 0.25f;
    imm_color[3] = 0.5f;
    imm_texcoord[0] = 0.75f;
    imm_texcoord[1] = 0.125f;
    bvglVertex2f(4, 5);
    bvglEnd();
    const float* v = gl_state.imm_batch.vertices;
    EXPECT_EQ(std::vector<float>(v, v + 12), (std::vector<float>{1, 2, 3, 1, 0, 0, 0, 1, 1, 1, 1, 1}));
    EXPECT_EQ(std::vector<float>(v + 12, v + 24),
              (std::vector<float>{4, 5, 0, 1, 0.75f, 0.125f, 0, 1, 0.25f, 1, 1, 0.5f}));
}

TEST_F(Immediate, AReplayUploadsTheBatchOnceAndPutsTheBindingsBack)
{
    fakegl::settings().integers = {
        {GL_VERTEX_ARRAY_BINDING, 11}, {GL_ARRAY_BUFFER_BINDING, 12}, {GL_ELEMENT_ARRAY_BUFFER_BINDING, 13}};
    primitive(GL_QUADS, 0, 4);
    bvglBindTexture(GL_TEXTURE_2D, 5);
    primitive(GL_LINES, 10, 12);
    const imm_batch_record& b = gl_state.imm_batch;
    const std::string vao = std::to_string(b.vertex_array), vb = std::to_string(b.vertex_buffer),
                      ib = std::to_string(b.index_buffer);
    fakegl::clear_calls();
    bvglFlush();

    std::vector<std::string> calls;
    for (const std::string& line : fakegl::trace())
        if (line.rfind("UniformMatrix4fv", 0) != 0 && line.rfind("GetUniformLocation", 0) != 0)
            calls.push_back(line);
    std::vector<std::string> want = {
        "GetIntegerv(34229)", "GetIntegerv(34964)", "GetIntegerv(34965)",
        "BindVertexArray(" + vao + ")", "BindBuffer(34962," + vb + ")", "BindBuffer(34963," + ib + ")",
        "BufferData(34962,393216,0,35040)", "BufferData(34963,49152,0,35040)",
        "BufferSubData(34962,0,288)", "BufferSubData(34963,0,12)",
        "DrawRangeElements(4,0,3,6,5123,0)", "BindTexture(3553,5)", "DrawArrays(1,4,2)",
        "BindBuffer(34963,13)", "BindBuffer(34962,12)", "BindVertexArray(11)", "Flush()",
    };
    EXPECT_EQ(calls, want);

    // The batch is empty now: the next replay uploads nothing.
    fakegl::clear_calls();
    bvglFlush();
    EXPECT_EQ(fakegl::trace(), (std::vector<std::string>{"Flush()"}));
}

TEST_F(Immediate, APrimitiveReachingTheEndOfTheBatchMovesToItsStart)
{
    primitive(GL_POINTS, 0, 8000);
    primitive(GL_TRIANGLES, 100000, 100300);
    // The points were drawn when the batch filled; the triangles now sit at 0.
    ASSERT_EQ(draws().size(), 1u);
    EXPECT_EQ(draws()[0], (Draw{GL_POINTS, range(0, 8000)}));
    EXPECT_EQ(queued(), (std::vector<uint32_t>{op_draw_arrays, GL_TRIANGLES, 0, 300}));
    fakegl::clear_calls();
    bvglFlush();
    EXPECT_EQ(draws(), (std::vector<Draw>{{GL_TRIANGLES, range(100000, 100300)}}));
}

TEST_F(Immediate, PrimitivesLongerThanTheBatchAreSplitAndContinued)
{
    auto drawn = [](GLenum mode, int n) {
        fakegl::clear_calls();
        primitive(mode, 0, n);
        bvglFlush();
        return draws();
    };
    EXPECT_EQ(drawn(GL_TRIANGLES, 8193),
              (std::vector<Draw>{{GL_TRIANGLES, range(0, 8190)}, {GL_TRIANGLES, {8190, 8191, 8192}}}));
    EXPECT_EQ(drawn(GL_POINTS, 8193), (std::vector<Draw>{{GL_POINTS, range(0, 8192)}, {GL_POINTS, {8192}}}));
    EXPECT_EQ(drawn(GL_LINE_STRIP, 8193),
              (std::vector<Draw>{{GL_LINE_STRIP, range(0, 8192)}, {GL_LINE_STRIP, {8191, 8192}}}));
    EXPECT_EQ(drawn(GL_TRIANGLE_STRIP, 8200),
              (std::vector<Draw>{{GL_TRIANGLE_STRIP, range(0, 8192)}, {GL_TRIANGLE_STRIP, range(8190, 8200)}}));
    // A fan keeps its centre.
    EXPECT_EQ(drawn(GL_TRIANGLE_FAN, 10000),
              (std::vector<Draw>{{GL_TRIANGLE_FAN, range(0, 8192)},
                                 {GL_TRIANGLE_FAN, joined({0}, range(8191, 10000))}}));
    // A loop goes on as a strip and is closed at the end with its first vertex.
    EXPECT_EQ(drawn(GL_LINE_LOOP, 9000),
              (std::vector<Draw>{{GL_LINE_STRIP, range(0, 8192)}, {GL_LINE_STRIP, joined(range(8191, 9000), {0})}}));
    // ... also when the closing vertex arrives with the batch exactly full.
    EXPECT_EQ(drawn(GL_LINE_LOOP, 2 * 8192 - 1),
              (std::vector<Draw>{{GL_LINE_STRIP, range(0, 8192)},
                                 {GL_LINE_STRIP, range(8191, 16383)},
                                 {GL_LINE_STRIP, {16382, 0}}}));

    // The triangles of split quads, quad strips and polygons are those of the whole.
    for (auto [mode, n, expand] : {std::tuple{GLenum(GL_QUADS), 8196, &quad_triangles},
                                   std::tuple{GLenum(GL_QUAD_STRIP), 8200, &quad_strip_triangles},
                                   std::tuple{GLenum(GL_POLYGON), 9000, &polygon_triangles}}) {
        std::vector<Draw> parts = drawn(mode, n);
        ASSERT_EQ(parts.size(), 2u) << "mode " << mode;
        EXPECT_EQ(joined(parts[0].vertices, parts[1].vertices), expand(range(0, n))) << "mode " << mode;
    }
}

TEST_F(Immediate, AQueueFullAtTheEndOfAPrimitiveDoesNotLoseIt)
{
    primitive(GL_POINTS, 0, 4);
    // Fill the rest of the queue with one-word commands, leaving too little for a draw.
    std::fill(gl_state.queue + gl_state.queue_fill, gl_state.queue + gl_queue_words,
              static_cast<uint32_t>(op_load_identity));
    gl_state.queue_fill = gl_queue_words - 4;

    primitive(GL_QUADS, 10, 14);
    primitive(GL_QUADS, 20, 24);   // written after the replay that made the room
    bvglFlush();
    EXPECT_EQ(draws(), (std::vector<Draw>{{GL_POINTS, {0, 1, 2, 3}},
                                          {GL_TRIANGLES, {10, 11, 13, 13, 11, 12}},
                                          {GL_TRIANGLES, {20, 21, 23, 23, 21, 22}}}));
}

}  // namespace
