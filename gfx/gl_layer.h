// The fixed-function style drawing API over a shader-only GL context. Deferred calls
// queue a command and return; direct calls replay the queue first and then call GL,
// so every caller sees its calls take effect in the order made. Main thread only.
#pragma once
#include <GL/glcorearb.h>

// Fixed-function names that core headers lack. The primitive modes are only ever
// turned into triangles here, never passed to GL.
#ifndef GL_QUAD_STRIP
#define GL_QUAD_STRIP 0x0008
#endif
#ifndef GL_POLYGON
#define GL_POLYGON 0x0009
#endif
#ifndef GL_MODELVIEW
#define GL_MODELVIEW 0x1700
#endif
#ifndef GL_PROJECTION
#define GL_PROJECTION 0x1701
#endif

// Deferred calls.
void bvglActiveTexture(GLenum texture);
void bvglBindTexture(GLenum target, GLuint texture);
void bvglBlendFunc(GLenum sfactor, GLenum dfactor);
void bvglDepthFunc(GLenum func);
void bvglDepthMask(GLboolean flag);
void bvglDisable(GLenum cap);
void bvglEnable(GLenum cap);
void bvglFrustum(double left, double right, double bottom, double top, double near_plane, double far_plane);
void bvglLoadIdentity();
void bvglMatrixMode(GLenum mode);
void bvglMultMatrixf(const GLfloat* m);
void bvglOrtho(double left, double right, double bottom, double top, double near_plane, double far_plane);
void bvglPushMatrix();
void bvglPopMatrix();
void bvglRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z);
void bvglScalef(GLfloat x, GLfloat y, GLfloat z);
void bvglTranslatef(GLfloat x, GLfloat y, GLfloat z);

// Direct calls.
void bvglBindBuffer(GLenum target, GLuint buffer);
void bvglBindFramebuffer(GLenum target, GLuint framebuffer);
void bvglBindVertexArray(GLuint array);
void bvglBufferData(GLenum target, GLsizeiptr size, const void* data, GLenum usage);
void bvglBufferSubData(GLenum target, GLintptr offset, GLsizeiptr size, const void* data);
GLenum bvglCheckFramebufferStatus(GLenum target);
void bvglClear(GLbitfield mask);
void bvglClearColor(GLfloat r, GLfloat g, GLfloat b, GLfloat a);
void bvglClearBufferfv(GLenum buffer, GLint drawbuffer, const GLfloat* value);
void bvglDeleteBuffers(GLsizei n, const GLuint* buffers);
void bvglDeleteFramebuffers(GLsizei n, const GLuint* framebuffers);
void bvglDeleteTextures(GLsizei n, const GLuint* textures);
void bvglDeleteVertexArrays(GLsizei n, const GLuint* arrays);
void bvglEnableVertexAttribArray(GLuint index);
void bvglFinish();
void bvglFlush();
void bvglFramebufferTexture2D(GLenum target, GLenum attachment, GLenum textarget, GLuint texture, GLint level);
void bvglGenBuffers(GLsizei n, GLuint* buffers);
void bvglGenerateMipmap(GLenum target);
void bvglGenFramebuffers(GLsizei n, GLuint* framebuffers);
void bvglGenTextures(GLsizei n, GLuint* textures);
void bvglGenVertexArrays(GLsizei n, GLuint* arrays);
GLenum bvglGetError();
void bvglGetTexLevelParameteriv(GLenum target, GLint level, GLenum pname, GLint* params);
void bvglPixelStorei(GLenum pname, GLint param);
void bvglReadPixels(GLint x, GLint y, GLsizei width, GLsizei height, GLenum format, GLenum type, void* pixels);
void bvglTexImage2D(GLenum target, GLint level, GLint internalformat, GLsizei width, GLsizei height,
                    GLint border, GLenum format, GLenum type, const void* pixels);
void bvglTexParameterf(GLenum target, GLenum pname, GLfloat param);
void bvglTexParameterfv(GLenum target, GLenum pname, const GLfloat* params);
void bvglTexParameteri(GLenum target, GLenum pname, GLint param);
void bvglTexSubImage2D(GLenum target, GLint level, GLint xoffset, GLint yoffset, GLsizei width,
                       GLsizei height, GLenum format, GLenum type, const void* pixels);
void bvglVertexAttrib4f(GLuint index, GLfloat x, GLfloat y, GLfloat z, GLfloat w);
void bvglVertexAttribPointer(GLuint index, GLint size, GLenum type, GLboolean normalized,
                             GLsizei stride, const void* pointer);
void bvglViewport(GLint x, GLint y, GLsizei width, GLsizei height);

// Direct draws from the caller's own buffers (a program must be current).
void bvglDrawArrays(GLenum mode, GLint first, GLsizei count);
void bvglDrawElements(GLenum mode, GLsizei count, GLenum type, const void* offset);

// Immediate mode: vertices gather in one shared batch; quads, quad strips and
// polygons become triangles. No direct call may come between bvglBegin and bvglEnd.
void bvglBegin(GLenum mode);
void bvglVertex2f(GLfloat x, GLfloat y);
void bvglVertex3f(GLfloat x, GLfloat y, GLfloat z);
// A vertex on the plane one unit in front of the eye: (x, y, -1).
void screen_vertex(float x, float y);
void bvglEnd();

// The colour and texture coordinate the next vertex takes; callers write them directly.
extern float imm_color[4];
extern float imm_texcoord[4];

inline void imm_set_color(float r, float g, float b, float a)
{
    imm_color[0] = r;
    imm_color[1] = g;
    imm_color[2] = b;
    imm_color[3] = a;
}
