// The ten matrix stacks: products against reference maths, push and pop limits, the
// texture stack that follows the active unit, and what reaches the program.
#include "fake_gl.h"
#include "log_capture.h"

#include "gfx/gl_layer.h"
#include "gfx/gl_state.h"
#include "gfx/shaders.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>

namespace {

using Mat = std::array<double, 16>;   // column-major
using Vec = std::array<double, 4>;

Mat identity()
{
    Mat m{};
    m[0] = m[5] = m[10] = m[15] = 1;
    return m;
}

Mat mul(const Mat& a, const Mat& b)
{
    Mat r{};
    for (int c = 0; c < 4; ++c)
        for (int row = 0; row < 4; ++row)
            for (int k = 0; k < 4; ++k)
                r[c * 4 + row] += a[k * 4 + row] * b[c * 4 + k];
    return r;
}

Vec apply(const std::vector<float>& m, Vec v)
{
    Vec r{};
    for (int row = 0; row < 4; ++row)
        for (int k = 0; k < 4; ++k)
            r[row] += m[k * 4 + row] * v[k];
    return r;
}

// Rotation built column by column from Rodrigues' formula on the basis vectors.
Mat rodrigues(double degrees, double x, double y, double z)
{
    double len = std::sqrt(x * x + y * y + z * z);
    double k[3] = {x / len, y / len, z / len};
    double a = degrees * M_PI / 180, c = std::cos(a), s = std::sin(a);
    Mat m = identity();
    for (int col = 0; col < 3; ++col) {
        double v[3] = {0, 0, 0};
        v[col] = 1;
        double kv = k[0] * v[0] + k[1] * v[1] + k[2] * v[2];
        double cross[3] = {k[1] * v[2] - k[2] * v[1], k[2] * v[0] - k[0] * v[2], k[0] * v[1] - k[1] * v[0]};
        for (int row = 0; row < 3; ++row)
            m[col * 4 + row] = v[row] * c + cross[row] * s + k[row] * kv * (1 - c);
    }
    return m;
}

Mat translation(double x, double y, double z)
{
    Mat m = identity();
    m[12] = x;
    m[13] = y;
    m[14] = z;
    return m;
}

Mat scaling(double x, double y, double z)
{
    Mat m = identity();
    m[0] = x;
    m[5] = y;
    m[10] = z;
    return m;
}

void expect_near(const std::vector<float>& got, const Mat& want, double tolerance = 1e-5)
{
    ASSERT_EQ(got.size(), 16u);
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(got[i], want[i], tolerance * std::max(1.0, std::fabs(want[i]))) << "element " << i;
}

void expect_point(Vec clip, double x, double y, double z)
{
    EXPECT_NEAR(clip[0] / clip[3], x, 1e-5);
    EXPECT_NEAR(clip[1] / clip[3], y, 1e-5);
    EXPECT_NEAR(clip[2] / clip[3], z, 1e-5);
}

class MatrixStacks : public ::testing::Test {
protected:
    void SetUp() override
    {
        fakegl::install();
        gl_state.program[1] = 101;
        gl_state.program[2] = 102;
        gl_use_shader(1);
        fakegl::clear_calls();
    }

    // Draws (which sends the dirty matrices) and returns what the location last got.
    std::vector<float> sent(GLuint program, const char* uniform)
    {
        bvglDrawArrays(GL_TRIANGLES, 0, 3);
        return fakegl::last_matrix(fakegl::location_of(program, uniform));
    }

    const float* in_use(int stack) { return gl_current_matrix(stack); }
};

TEST_F(MatrixStacks, ProductsMatchReferenceMaths)
{
    const float custom[16] = {1, 2, 0, 0, -1, 3, 0.5f, 0, 0, 0, 2, 0, 4, -2, 1, 1};
    bvglMatrixMode(GL_MODELVIEW);
    bvglLoadIdentity();
    bvglTranslatef(1.5f, -2, 3);
    bvglRotatef(30, 1, 2, 3);
    bvglScalef(2, 0.5f, -1);
    bvglMultMatrixf(custom);

    Mat c{};
    for (int i = 0; i < 16; ++i)
        c[i] = custom[i];
    Mat want = mul(mul(mul(translation(1.5, -2, 3), rodrigues(30, 1, 2, 3)), scaling(2, 0.5, -1)), c);
    expect_near(sent(101, "u_modelview"), want);

    // An axis of any length gives the same turn; a zero axis leaves the matrix alone.
    bvglLoadIdentity();
    bvglRotatef(90, 0, 0, 2);
    std::vector<float> doubled = sent(101, "u_modelview");
    bvglLoadIdentity();
    bvglRotatef(90, 0, 0, 1);
    EXPECT_EQ(sent(101, "u_modelview"), doubled);
    expect_near(doubled, rodrigues(90, 0, 0, 1));
    bvglRotatef(45, 0, 0, 0);
    std::vector<float> after_zero = sent(101, "u_modelview");
    for (float v : after_zero)
        EXPECT_TRUE(std::isfinite(v));
    EXPECT_EQ(std::vector<float>(in_use(0), in_use(0) + 16), doubled);
}

TEST_F(MatrixStacks, FrustumAndOrthoMapTheirVolumesOntoTheClipCube)
{
    bvglMatrixMode(GL_PROJECTION);
    bvglLoadIdentity();
    bvglFrustum(-2, 1, -1, 3, 0.5, 100);
    std::vector<float> frustum = sent(101, "u_projection");
    expect_point(apply(frustum, {-2, -1, -0.5, 1}), -1, -1, -1);
    expect_point(apply(frustum, {1, 3, -0.5, 1}), 1, 1, -1);
    expect_point(apply(frustum, {200, 600, -100, 1}), 1, 1, 1);

    bvglLoadIdentity();
    bvglOrtho(0, 640, 480, 0, -1, 1);
    std::vector<float> ortho = sent(101, "u_projection");
    expect_point(apply(ortho, {0, 480, 1, 1}), -1, -1, -1);
    expect_point(apply(ortho, {640, 0, -1, 1}), 1, 1, 1);

    // Ortho multiplies onto what is there, as its GL namesake does.
    bvglTranslatef(10, 20, 0);
    expect_point(apply(sent(101, "u_projection"), {0, 0, 0, 1}), -1 + 20.0 / 640, 1 - 40.0 / 480, 0);

    // Coinciding planes would divide by zero: the call changes nothing.
    bvglLoadIdentity();
    bvglOrtho(1, 1, 0, 1, -1, 1);
    bvglFrustum(-1, 1, -1, 1, 2, 2);
    expect_near(sent(101, "u_projection"), identity());
}

TEST_F(MatrixStacks, PushAndPopStopAtTheirLimitsWithALogLine)
{
    LogCapture log;
    bvglTranslatef(1, 2, 3);
    for (int i = 0; i < 31; ++i)
        bvglPushMatrix();
    bvglScalef(5, 5, 5);
    bvglPushMatrix();   // the 32nd: the stack is full
    bvglFlush();
    EXPECT_EQ(gl_state.depth[0], 31);
    EXPECT_EQ(in_use(0)[0], 5.0f);
    EXPECT_EQ(log.text(), "Error: bvglPushMatrix overflowed\n");

    for (int i = 0; i < 31; ++i)
        bvglPopMatrix();
    bvglFlush();
    EXPECT_EQ(gl_state.depth[0], 0);
    EXPECT_EQ(in_use(0)[0], 1.0f);
    EXPECT_EQ(in_use(0)[12], 1.0f);
    bvglPopMatrix();
    bvglFlush();
    EXPECT_EQ(gl_state.depth[0], 0);
    EXPECT_EQ(in_use(0)[12], 1.0f);
    EXPECT_EQ(log.text(), "Error: bvglPushMatrix overflowed\nError: bvglPopMatrix with empty stack\n");
    EXPECT_EQ(gl_state.depth[1], 0);
}

TEST_F(MatrixStacks, PushLeavesTheDirtyMaskAndPopSetsTheStacksBit)
{
    bvglDrawArrays(GL_TRIANGLES, 0, 3);
    ASSERT_EQ(gl_state.dirty, 0u);
    bvglMatrixMode(GL_PROJECTION);
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
    bvglFlush();
    EXPECT_EQ(gl_state.current_stack, 5);
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

    // A unit past 7 still reaches GL, then is refused.
    fakegl::clear_calls();
    bvglMatrixMode(GL_TEXTURE);
    bvglActiveTexture(GL_TEXTURE0 + 8);
    bvglMatrixMode(0x1234);   // not a matrix mode: ignored
    bvglFlush();
    EXPECT_EQ(fakegl::count("ActiveTexture"), 1);
    EXPECT_EQ(gl_state.current_unit, 6);
    EXPECT_EQ(gl_state.current_stack, 8);
    EXPECT_EQ(log.text(), "Error: glActiveTexture out of range\n");
}

TEST_F(MatrixStacks, EachDirtyMatrixReachesEachProgramOnce)
{
    fakegl::settings().absent_uniforms = {"u_texture0"};
    bvglDrawArrays(GL_TRIANGLES, 0, 3);
    // A switch makes all ten dirty; one lacks its uniform.
    EXPECT_EQ(fakegl::count("UniformMatrix4fv"), 9);
    EXPECT_EQ(fakegl::count("GetUniformLocation"), 10);
    EXPECT_EQ(gl_state.matrix_locations[1][2], gl_location_absent);

    fakegl::clear_calls();
    bvglDrawArrays(GL_TRIANGLES, 0, 3);
    EXPECT_EQ(fakegl::count("UniformMatrix4fv"), 0);

    bvglTranslatef(0, 1, 0);
    bvglMatrixMode(GL_TEXTURE);
    bvglTranslatef(0, 1, 0);   // texture unit 0: the program has no uniform for it
    bvglDrawArrays(GL_TRIANGLES, 0, 3);
    bvglDrawArrays(GL_TRIANGLES, 0, 3);
    auto sent_now = fakegl::calls_named("UniformMatrix4fv");
    ASSERT_EQ(sent_now.size(), 1u);
    EXPECT_EQ(sent_now[0].args[0], fakegl::location_of(101, "u_modelview"));
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

}  // namespace
