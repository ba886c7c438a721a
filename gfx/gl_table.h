// The GL functions the graphics layer calls, held in one table of pointers that the
// project owns. The program fills it by name through the window system's
// proc-address call; tests swap in a recording fake and run the layer on the CPU.
#pragma once
#include <GL/glcorearb.h>

// Each entry: pointer type, member name (the GL name without its "gl" prefix).
// First the GL 1.1 set, then the later entry points in the order start-up loads them.
#define BV_GL_FUNCTIONS(X)                                                   \
    X(PFNGLBINDTEXTUREPROC, BindTexture)                                     \
    X(PFNGLBLENDFUNCPROC, BlendFunc)                                         \
    X(PFNGLCLEARPROC, Clear)                                                 \
    X(PFNGLCLEARCOLORPROC, ClearColor)                                       \
    X(PFNGLDELETETEXTURESPROC, DeleteTextures)                               \
    X(PFNGLDEPTHFUNCPROC, DepthFunc)                                         \
    X(PFNGLDEPTHMASKPROC, DepthMask)                                         \
    X(PFNGLDISABLEPROC, Disable)                                             \
    X(PFNGLDRAWARRAYSPROC, DrawArrays)                                       \
    X(PFNGLDRAWELEMENTSPROC, DrawElements)                                   \
    X(PFNGLENABLEPROC, Enable)                                               \
    X(PFNGLFINISHPROC, Finish)                                               \
    X(PFNGLFLUSHPROC, Flush)                                                 \
    X(PFNGLGENTEXTURESPROC, GenTextures)                                     \
    X(PFNGLGETERRORPROC, GetError)                                           \
    X(PFNGLGETINTEGERVPROC, GetIntegerv)                                     \
    X(PFNGLGETSTRINGPROC, GetString)                                         \
    X(PFNGLGETTEXLEVELPARAMETERIVPROC, GetTexLevelParameteriv)               \
    X(PFNGLPIXELSTOREIPROC, PixelStorei)                                     \
    X(PFNGLREADPIXELSPROC, ReadPixels)                                       \
    X(PFNGLTEXIMAGE2DPROC, TexImage2D)                                       \
    X(PFNGLTEXPARAMETERFPROC, TexParameterf)                                 \
    X(PFNGLTEXPARAMETERFVPROC, TexParameterfv)                               \
    X(PFNGLTEXPARAMETERIPROC, TexParameteri)                                 \
    X(PFNGLTEXSUBIMAGE2DPROC, TexSubImage2D)                                 \
    X(PFNGLVIEWPORTPROC, Viewport)                                           \
    X(PFNGLDRAWRANGEELEMENTSPROC, DrawRangeElements)                         \
    X(PFNGLACTIVETEXTUREPROC, ActiveTexture)                                 \
    X(PFNGLATTACHSHADERPROC, AttachShader)                                   \
    X(PFNGLBINDFRAMEBUFFERPROC, BindFramebuffer)                             \
    X(PFNGLCHECKFRAMEBUFFERSTATUSPROC, CheckFramebufferStatus)               \
    X(PFNGLCOMPILESHADERPROC, CompileShader)                                 \
    X(PFNGLCREATEPROGRAMPROC, CreateProgram)                                 \
    X(PFNGLCREATESHADERPROC, CreateShader)                                   \
    X(PFNGLDELETEFRAMEBUFFERSPROC, DeleteFramebuffers)                       \
    X(PFNGLDELETEPROGRAMPROC, DeleteProgram)                                 \
    X(PFNGLDELETESHADERPROC, DeleteShader)                                   \
    X(PFNGLDETACHSHADERPROC, DetachShader)                                   \
    X(PFNGLFRAMEBUFFERTEXTURE2DPROC, FramebufferTexture2D)                   \
    X(PFNGLGENERATEMIPMAPPROC, GenerateMipmap)                               \
    X(PFNGLGENFRAMEBUFFERSPROC, GenFramebuffers)                             \
    X(PFNGLGETSHADERINFOLOGPROC, GetShaderInfoLog)                           \
    X(PFNGLGETSHADERIVPROC, GetShaderiv)                                     \
    X(PFNGLGETPROGRAMIVPROC, GetProgramiv)                                   \
    X(PFNGLGETPROGRAMINFOLOGPROC, GetProgramInfoLog)                         \
    X(PFNGLGETUNIFORMLOCATIONPROC, GetUniformLocation)                       \
    X(PFNGLLINKPROGRAMPROC, LinkProgram)                                     \
    X(PFNGLSHADERSOURCEPROC, ShaderSource)                                   \
    X(PFNGLUNIFORM1IPROC, Uniform1i)                                         \
    X(PFNGLUNIFORM1FPROC, Uniform1f)                                         \
    X(PFNGLUNIFORM2FVPROC, Uniform2fv)                                       \
    X(PFNGLUNIFORM3FVPROC, Uniform3fv)                                       \
    X(PFNGLUNIFORM4FVPROC, Uniform4fv)                                       \
    X(PFNGLUNIFORMMATRIX3FVPROC, UniformMatrix3fv)                           \
    X(PFNGLUNIFORMMATRIX4FVPROC, UniformMatrix4fv)                           \
    X(PFNGLUSEPROGRAMPROC, UseProgram)                                       \
    X(PFNGLBINDATTRIBLOCATIONPROC, BindAttribLocation)                       \
    X(PFNGLBINDBUFFERPROC, BindBuffer)                                       \
    X(PFNGLBINDVERTEXARRAYPROC, BindVertexArray)                             \
    X(PFNGLBUFFERDATAPROC, BufferData)                                       \
    X(PFNGLBUFFERSUBDATAPROC, BufferSubData)                                 \
    X(PFNGLDELETEBUFFERSPROC, DeleteBuffers)                                 \
    X(PFNGLDELETEVERTEXARRAYSPROC, DeleteVertexArrays)                       \
    X(PFNGLDISABLEVERTEXATTRIBARRAYPROC, DisableVertexAttribArray)           \
    X(PFNGLENABLEVERTEXATTRIBARRAYPROC, EnableVertexAttribArray)             \
    X(PFNGLGENBUFFERSPROC, GenBuffers)                                       \
    X(PFNGLGENVERTEXARRAYSPROC, GenVertexArrays)                             \
    X(PFNGLVERTEXATTRIB4FPROC, VertexAttrib4f)                               \
    X(PFNGLVERTEXATTRIBPOINTERPROC, VertexAttribPointer)                     \
    X(PFNGLCLEARBUFFERFVPROC, ClearBufferfv)

struct gl_table {
#define BV_GL_MEMBER(type, name) type name;
    BV_GL_FUNCTIONS(BV_GL_MEMBER)
#undef BV_GL_MEMBER
};

// The table every GL call of the layer goes through.
extern gl_table gl;

inline constexpr int gl_table_size = 70;

// Looks a GL function up by its full name ("glBindTexture"); null when not found.
// The context is handed back unchanged (the window, for the platform's call).
using gl_proc_loader = void* (*)(void* context, const char* name);

// Fills the table by name. Returns how many names the loader did not know; each of
// them is logged and left null.
int gl_table_load(gl_table* table, gl_proc_loader loader, void* context);

// The full GL name of entry i of the table, in table order (null past the end).
const char* gl_table_name(int i);
