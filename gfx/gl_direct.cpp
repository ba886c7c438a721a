// The direct calls: each replays the queue so GL sees the state the earlier queued
// calls establish, then calls its GL namesake.
#include "gfx/gl_layer.h"
#include "gfx/gl_queue.h"
#include "gfx/gl_table.h"

void bvglBindBuffer(GLenum target, GLuint buffer)
{
    gl_replay_queue();
    gl.BindBuffer(target, buffer);
}

void bvglBindFramebuffer(GLenum target, GLuint framebuffer)
{
    gl_replay_queue();
    gl.BindFramebuffer(target, framebuffer);
}

void bvglBindVertexArray(GLuint array)
{
    gl_replay_queue();
    gl.BindVertexArray(array);
}

void bvglBufferData(GLenum target, GLsizeiptr size, const void* data, GLenum usage)
{
    gl_replay_queue();
    gl.BufferData(target, size, data, usage);
}

void bvglBufferSubData(GLenum target, GLintptr offset, GLsizeiptr size, const void* data)
{
    gl_replay_queue();
    gl.BufferSubData(target, offset, size, data);
}

GLenum bvglCheckFramebufferStatus(GLenum target)
{
    gl_replay_queue();
    return gl.CheckFramebufferStatus(target);
}

void bvglClear(GLbitfield mask)
{
    gl_replay_queue();
    gl.Clear(mask);
}

void bvglClearColor(GLfloat r, GLfloat g, GLfloat b, GLfloat a)
{
    gl_replay_queue();
    gl.ClearColor(r, g, b, a);
}

void bvglClearBufferfv(GLenum buffer, GLint drawbuffer, const GLfloat* value)
{
    gl_replay_queue();
    gl.ClearBufferfv(buffer, drawbuffer, value);
}

void bvglDeleteBuffers(GLsizei n, const GLuint* buffers)
{
    gl_replay_queue();
    gl.DeleteBuffers(n, buffers);
}

void bvglDeleteFramebuffers(GLsizei n, const GLuint* framebuffers)
{
    gl_replay_queue();
    gl.DeleteFramebuffers(n, framebuffers);
}

void bvglDeleteTextures(GLsizei n, const GLuint* textures)
{
    gl_replay_queue();
    gl.DeleteTextures(n, textures);
}

void bvglDeleteVertexArrays(GLsizei n, const GLuint* arrays)
{
    gl_replay_queue();
    gl.DeleteVertexArrays(n, arrays);
}

void bvglEnableVertexAttribArray(GLuint index)
{
    gl_replay_queue();
    gl.EnableVertexAttribArray(index);
}

void bvglFinish()
{
    gl_replay_queue();
    gl.Finish();
}

void bvglFlush()
{
    gl_replay_queue();
    gl.Flush();
}

void bvglFramebufferTexture2D(GLenum target, GLenum attachment, GLenum textarget, GLuint texture, GLint level)
{
    gl_replay_queue();
    gl.FramebufferTexture2D(target, attachment, textarget, texture, level);
}

void bvglGenBuffers(GLsizei n, GLuint* buffers)
{
    gl_replay_queue();
    gl.GenBuffers(n, buffers);
}

void bvglGenerateMipmap(GLenum target)
{
    gl_replay_queue();
    gl.GenerateMipmap(target);
}

void bvglGenFramebuffers(GLsizei n, GLuint* framebuffers)
{
    gl_replay_queue();
    gl.GenFramebuffers(n, framebuffers);
}

void bvglGenTextures(GLsizei n, GLuint* textures)
{
    gl_replay_queue();
    gl.GenTextures(n, textures);
}

void bvglGenVertexArrays(GLsizei n, GLuint* arrays)
{
    gl_replay_queue();
    gl.GenVertexArrays(n, arrays);
}

GLenum bvglGetError()
{
    gl_replay_queue();
    return gl.GetError();
}

void bvglGetTexLevelParameteriv(GLenum target, GLint level, GLenum pname, GLint* params)
{
    gl_replay_queue();
    gl.GetTexLevelParameteriv(target, level, pname, params);
}

void bvglPixelStorei(GLenum pname, GLint param)
{
    gl_replay_queue();
    gl.PixelStorei(pname, param);
}

void bvglReadPixels(GLint x, GLint y, GLsizei width, GLsizei height, GLenum format, GLenum type, void* pixels)
{
    gl_replay_queue();
    gl.ReadPixels(x, y, width, height, format, type, pixels);
}

void bvglTexImage2D(GLenum target, GLint level, GLint internalformat, GLsizei width, GLsizei height,
                    GLint border, GLenum format, GLenum type, const void* pixels)
{
    gl_replay_queue();
    gl.TexImage2D(target, level, internalformat, width, height, border, format, type, pixels);
}

void bvglTexParameterf(GLenum target, GLenum pname, GLfloat param)
{
    gl_replay_queue();
    gl.TexParameterf(target, pname, param);
}

void bvglTexParameterfv(GLenum target, GLenum pname, const GLfloat* params)
{
    gl_replay_queue();
    gl.TexParameterfv(target, pname, params);
}

void bvglTexParameteri(GLenum target, GLenum pname, GLint param)
{
    gl_replay_queue();
    gl.TexParameteri(target, pname, param);
}

void bvglTexSubImage2D(GLenum target, GLint level, GLint xoffset, GLint yoffset, GLsizei width,
                       GLsizei height, GLenum format, GLenum type, const void* pixels)
{
    gl_replay_queue();
    gl.TexSubImage2D(target, level, xoffset, yoffset, width, height, format, type, pixels);
}

void bvglVertexAttrib4f(GLuint index, GLfloat x, GLfloat y, GLfloat z, GLfloat w)
{
    gl_replay_queue();
    gl.VertexAttrib4f(index, x, y, z, w);
}

void bvglVertexAttribPointer(GLuint index, GLint size, GLenum type, GLboolean normalized,
                             GLsizei stride, const void* pointer)
{
    gl_replay_queue();
    gl.VertexAttribPointer(index, size, type, normalized, stride, pointer);
}

void bvglViewport(GLint x, GLint y, GLsizei width, GLsizei height)
{
    gl_replay_queue();
    gl.Viewport(x, y, width, height);
}

void bvglDrawArrays(GLenum mode, GLint first, GLsizei count)
{
    gl_replay_queue();
    gl_draw_step();
    gl.DrawArrays(mode, first, count);
}

void bvglDrawElements(GLenum mode, GLsizei count, GLenum type, const void* offset)
{
    gl_replay_queue();
    gl_draw_step();
    gl.DrawElements(mode, count, type, offset);
}
