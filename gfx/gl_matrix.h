// 4x4 matrices in OpenGL's column-major order (elements 12, 13, 14 are the
// translation) with the fixed-function products, and the stack operations the
// queue replay performs on the ten matrix stacks.
#pragma once
#include <cstdint>

void mat4_identity(float m[16]);
// m := m x a (post-multiplication, as the GL 1.x matrix calls define it).
void mat4_multiply(float m[16], const float a[16]);

// The glFrustum and glOrtho matrices, computed in double and stored as float.
// Both return 0 (and leave out alone) when a pair of planes coincides.
int mat4_frustum(float out[16], double l, double r, double b, double t, double n, double f);
int mat4_ortho(float out[16], double l, double r, double b, double t, double n, double f);
// The glRotate matrix; returns 0 (out untouched) for a zero axis.
int mat4_rotation(float out[16], float angle_degrees, float x, float y, float z);
void mat4_translation(float out[16], float x, float y, float z);
void mat4_scaling(float out[16], float x, float y, float z);

// Operations on the current stack, as the replay runs them; each changed matrix sets
// its stack's dirty bit.
void gl_stack_multiply(const float a[16]);
void gl_stack_load_identity();
void gl_stack_push();
void gl_stack_pop();
void gl_stack_select(uint32_t mode);               // GL_MODELVIEW, GL_PROJECTION, GL_TEXTURE
void gl_stack_active_texture(uint32_t texture);    // calls glActiveTexture too

// Sends every dirty matrix to the current program, then clears the dirty mask.
void gl_upload_matrices();

// "u_modelview", "u_projection", "u_texture0".."u_texture7".
const char* gl_matrix_uniform_name(int stack);
