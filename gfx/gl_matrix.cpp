#include "gfx/gl_matrix.h"

#include "gfx/gl_layer.h"
#include "gfx/gl_state.h"
#include "gfx/gl_table.h"
#include "platform/qorl_log.h"

#include <cmath>
#include <cstring>

void mat4_identity(float m[16])
{
    for (int i = 0; i < 16; ++i)
        m[i] = i % 5 == 0 ? 1.0f : 0.0f;
}

void mat4_multiply(float m[16], const float a[16])
{
    float r[16];
    for (int col = 0; col < 4; ++col)
        for (int row = 0; row < 4; ++row) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k)
                sum += m[k * 4 + row] * a[col * 4 + k];
            r[col * 4 + row] = sum;
        }
    memcpy(m, r, sizeof r);
}

int mat4_frustum(float out[16], double l, double r, double b, double t, double n, double f)
{
    if (r == l || t == b || f == n)
        return 0;
    for (int i = 0; i < 16; ++i)
        out[i] = 0.0f;
    out[0] = static_cast<float>(2 * n / (r - l));
    out[5] = static_cast<float>(2 * n / (t - b));
    out[8] = static_cast<float>((r + l) / (r - l));
    out[9] = static_cast<float>((t + b) / (t - b));
    out[10] = static_cast<float>((f + n) / (n - f));
    out[11] = -1.0f;
    out[14] = static_cast<float>(-2 * f * n / (f - n));
    return 1;
}

int mat4_ortho(float out[16], double l, double r, double b, double t, double n, double f)
{
    if (r == l || t == b || f == n)
        return 0;
    for (int i = 0; i < 16; ++i)
        out[i] = 0.0f;
    out[0] = static_cast<float>(2 / (r - l));
    out[5] = static_cast<float>(2 / (t - b));
    out[10] = static_cast<float>(-2 / (f - n));
    out[12] = static_cast<float>((r + l) / (l - r));
    out[13] = static_cast<float>((t + b) / (b - t));
    out[14] = static_cast<float>((f + n) / (n - f));
    out[15] = 1.0f;
    return 1;
}

int mat4_rotation(float out[16], float angle_degrees, float x, float y, float z)
{
    double length = std::sqrt(double(x) * x + double(y) * y + double(z) * z);
    // A zero axis would fill the matrix with NaN; GL leaves such a rotation undefined.
    if (!(length > 0.0))
        return 0;
    float ux = static_cast<float>(x / length);
    float uy = static_cast<float>(y / length);
    float uz = static_cast<float>(z / length);
    float radians = static_cast<float>(angle_degrees * 0.017453292519943295);
    float c = std::cos(radians);
    float s = std::sin(radians);
    float k = 1.0f - c;
    float rows[3][3] = {
        {ux * ux * k + c, ux * uy * k - uz * s, ux * uz * k + uy * s},
        {uy * ux * k + uz * s, uy * uy * k + c, uy * uz * k - ux * s},
        {ux * uz * k - uy * s, uy * uz * k + ux * s, uz * uz * k + c},
    };
    mat4_identity(out);
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col)
            out[col * 4 + row] = rows[row][col];
    return 1;
}

void mat4_translation(float out[16], float x, float y, float z)
{
    mat4_identity(out);
    out[12] = x;
    out[13] = y;
    out[14] = z;
}

void mat4_scaling(float out[16], float x, float y, float z)
{
    mat4_identity(out);
    out[0] = x;
    out[5] = y;
    out[10] = z;
}

namespace {

void mark_current_dirty()
{
    gl_state.dirty |= 1u << gl_state.current_stack;
}

}  // namespace

void gl_stack_multiply(const float a[16])
{
    mat4_multiply(gl_current_matrix(gl_state.current_stack), a);
    mark_current_dirty();
}

void gl_stack_load_identity()
{
    mat4_identity(gl_current_matrix(gl_state.current_stack));
    mark_current_dirty();
}

void gl_stack_push()
{
    int s = gl_state.current_stack;
    if (gl_state.depth[s] >= gl_stack_levels - 1) {
        qorl_log("Error: bvglPushMatrix overflowed\n");
        return;
    }
    float* from = gl_current_matrix(s);
    ++gl_state.depth[s];
    memcpy(gl_current_matrix(s), from, 16 * sizeof(float));
}

void gl_stack_pop()
{
    int s = gl_state.current_stack;
    if (gl_state.depth[s] <= 0) {
        qorl_log("Error: bvglPopMatrix with empty stack\n");
        return;
    }
    --gl_state.depth[s];
    mark_current_dirty();
}

void gl_stack_select(uint32_t mode)
{
    if (mode == GL_MODELVIEW)
        gl_state.current_stack = 0;
    else if (mode == GL_PROJECTION)
        gl_state.current_stack = 1;
    else if (mode == GL_TEXTURE)
        gl_state.current_stack = 2 + gl_state.current_unit;
}

void gl_stack_active_texture(uint32_t texture)
{
    gl.ActiveTexture(texture);
    uint32_t unit = texture - GL_TEXTURE0;
    if (unit >= gl_texture_units) {
        qorl_log("Error: glActiveTexture out of range\n");
        return;
    }
    gl_state.current_unit = static_cast<int32_t>(unit);
    if (gl_state.current_stack >= 2)
        gl_state.current_stack = 2 + gl_state.current_unit;
}

const char* gl_matrix_uniform_name(int stack)
{
    static const char* const names[gl_stack_count] = {
        "u_modelview", "u_projection", "u_texture0", "u_texture1", "u_texture2",
        "u_texture3", "u_texture4", "u_texture5", "u_texture6", "u_texture7",
    };
    return stack >= 0 && stack < gl_stack_count ? names[stack] : nullptr;
}

void gl_upload_matrices()
{
    if (gl_state.dirty == 0)
        return;
    int program = gl_state.current_program;
    for (int s = 0; s < gl_stack_count; ++s) {
        if (!(gl_state.dirty & (1u << s)))
            continue;
        int32_t& location = gl_state.matrix_locations[program][s];
        if (location == gl_location_unknown)
            location = gl.GetUniformLocation(gl_state.program[program], gl_matrix_uniform_name(s));
        if (location >= 0)
            gl.UniformMatrix4fv(location, 1, GL_FALSE, gl_current_matrix(s));
    }
    // A uniform the program lacks is not asked for again until the next change.
    gl_state.dirty = 0;
}
