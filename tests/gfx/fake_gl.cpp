#include "fake_gl.h"

#include "gfx/gl_state.h"
#include "gfx/immediate.h"

#include <algorithm>
#include <cstring>

namespace fakegl {
namespace {

std::vector<Call> record;
Settings current;
GLuint next_name = 1;
std::map<std::pair<GLuint, std::string>, GLint> locations;
std::map<GLuint, std::string> sources;

Call& add(const char* name, std::initializer_list<int64_t> args = {})
{
    record.push_back(Call{name, args, {}, {}});
    return record.back();
}

int64_t ptr(const void* p) { return static_cast<int64_t>(reinterpret_cast<intptr_t>(p)); }

void gen(const char* name, GLsizei n, GLuint* out)
{
    add(name, {n});
    for (GLsizei i = 0; i < n; ++i)
        out[i] = next_name++;
}

void floats(const char* name, GLint location, GLsizei count, int per, const GLfloat* v)
{
    Call& c = add(name, {location, count});
    c.floats.assign(v, v + count * per);
}

void APIENTRY BindTexture(GLenum t, GLuint id) { add("BindTexture", {t, id}); }
void APIENTRY BlendFunc(GLenum s, GLenum d) { add("BlendFunc", {s, d}); }
void APIENTRY Clear(GLbitfield m) { add("Clear", {m}); }
void APIENTRY ClearColor(GLfloat r, GLfloat g, GLfloat b, GLfloat a) { add("ClearColor").floats = {r, g, b, a}; }
void APIENTRY DeleteTextures(GLsizei n, const GLuint*) { add("DeleteTextures", {n}); }
void APIENTRY DepthFunc(GLenum f) { add("DepthFunc", {f}); }
void APIENTRY DepthMask(GLboolean f) { add("DepthMask", {f}); }
void APIENTRY Disable(GLenum c) { add("Disable", {c}); }
void APIENTRY DrawArrays(GLenum m, GLint f, GLsizei n) { add("DrawArrays", {m, f, n}); }
void APIENTRY DrawElements(GLenum m, GLsizei n, GLenum t, const void* o) { add("DrawElements", {m, n, t, ptr(o)}); }
void APIENTRY Enable(GLenum c) { add("Enable", {c}); }
void APIENTRY Finish() { add("Finish"); }
void APIENTRY Flush() { add("Flush"); }
void APIENTRY GenTextures(GLsizei n, GLuint* out) { gen("GenTextures", n, out); }
GLenum APIENTRY GetError() { add("GetError"); return GL_NO_ERROR; }
void APIENTRY GetIntegerv(GLenum p, GLint* out)
{
    add("GetIntegerv", {p});
    auto it = current.integers.find(p);
    *out = it == current.integers.end() ? 0 : it->second;
}
const GLubyte* APIENTRY GetString(GLenum n)
{
    add("GetString", {n});
    auto it = current.strings.find(n);
    return reinterpret_cast<const GLubyte*>(it == current.strings.end() ? nullptr : it->second);
}
void APIENTRY GetTexLevelParameteriv(GLenum t, GLint l, GLenum p, GLint* out) { add("GetTexLevelParameteriv", {t, l, p}); *out = 0; }
void APIENTRY PixelStorei(GLenum p, GLint v) { add("PixelStorei", {p, v}); }
void APIENTRY ReadPixels(GLint x, GLint y, GLsizei w, GLsizei h, GLenum f, GLenum t, void*) { add("ReadPixels", {x, y, w, h, f, t}); }
void APIENTRY TexImage2D(GLenum t, GLint l, GLint i, GLsizei w, GLsizei h, GLint b, GLenum f, GLenum ty, const void* p)
{
    Call& c = add("TexImage2D", {t, l, i, w, h, b, f, ty});
    // Only the 1x1 RGB start-up textures are looked at.
    if (p && w == 1 && h == 1 && f == GL_RGB)
        c.data.assign(static_cast<const char*>(p), 3);
}
void APIENTRY TexParameterf(GLenum t, GLenum p, GLfloat v) { add("TexParameterf", {t, p}).floats = {v}; }
void APIENTRY TexParameterfv(GLenum t, GLenum p, const GLfloat* v) { add("TexParameterfv", {t, p}).floats = {v[0]}; }
void APIENTRY TexParameteri(GLenum t, GLenum p, GLint v) { add("TexParameteri", {t, p, v}); }
void APIENTRY TexSubImage2D(GLenum t, GLint l, GLint x, GLint y, GLsizei w, GLsizei h, GLenum f, GLenum ty, const void*)
{
    add("TexSubImage2D", {t, l, x, y, w, h, f, ty});
}
void APIENTRY Viewport(GLint x, GLint y, GLsizei w, GLsizei h) { add("Viewport", {x, y, w, h}); }
void APIENTRY DrawRangeElements(GLenum m, GLuint s, GLuint e, GLsizei n, GLenum t, const void* o)
{
    add("DrawRangeElements", {m, s, e, n, t, ptr(o)});
}
void APIENTRY ActiveTexture(GLenum t) { add("ActiveTexture", {t}); }
void APIENTRY AttachShader(GLuint p, GLuint s) { add("AttachShader", {p, s}); }
void APIENTRY BindFramebuffer(GLenum t, GLuint f) { add("BindFramebuffer", {t, f}); }
GLenum APIENTRY CheckFramebufferStatus(GLenum t) { add("CheckFramebufferStatus", {t}); return GL_FRAMEBUFFER_COMPLETE; }
void APIENTRY CompileShader(GLuint s) { add("CompileShader", {s}); }
GLuint APIENTRY CreateProgram() { GLuint id = next_name++; add("CreateProgram", {id}); return id; }
GLuint APIENTRY CreateShader(GLenum t) { GLuint id = next_name++; add("CreateShader", {t, id}); return id; }
void APIENTRY DeleteFramebuffers(GLsizei n, const GLuint*) { add("DeleteFramebuffers", {n}); }
void APIENTRY DeleteProgram(GLuint p) { add("DeleteProgram", {p}); }
void APIENTRY DeleteShader(GLuint s) { add("DeleteShader", {s}); }
void APIENTRY DetachShader(GLuint p, GLuint s) { add("DetachShader", {p, s}); }
void APIENTRY FramebufferTexture2D(GLenum t, GLenum a, GLenum tt, GLuint id, GLint l) { add("FramebufferTexture2D", {t, a, tt, id, l}); }
void APIENTRY GenerateMipmap(GLenum t) { add("GenerateMipmap", {t}); }
void APIENTRY GenFramebuffers(GLsizei n, GLuint* out) { gen("GenFramebuffers", n, out); }
void write_log(GLsizei size, GLchar* out)
{
    if (size <= 0)
        return;
    size_t n = std::min(current.info_log.size(), static_cast<size_t>(size - 1));
    memcpy(out, current.info_log.data(), n);
    out[n] = '\0';
}
void APIENTRY GetShaderInfoLog(GLuint s, GLsizei size, GLsizei*, GLchar* out) { add("GetShaderInfoLog", {s}); write_log(size, out); }
void APIENTRY GetShaderiv(GLuint s, GLenum p, GLint* out)
{
    add("GetShaderiv", {s, p});
    if (p == GL_COMPILE_STATUS) {
        const std::string& marker = current.failing_source_marker;
        *out = marker.empty() || sources[s].find(marker) == std::string::npos;
    } else if (p == GL_INFO_LOG_LENGTH) {
        *out = current.info_log.empty() ? 0 : static_cast<GLint>(current.info_log.size() + 1);
    } else {
        *out = 0;
    }
}
void APIENTRY GetProgramiv(GLuint p, GLenum n, GLint* out)
{
    add("GetProgramiv", {p, n});
    if (n == GL_LINK_STATUS)
        *out = !current.fail_link;
    else if (n == GL_INFO_LOG_LENGTH)
        *out = current.info_log.empty() ? 0 : static_cast<GLint>(current.info_log.size() + 1);
    else
        *out = 0;
}
void APIENTRY GetProgramInfoLog(GLuint p, GLsizei size, GLsizei*, GLchar* out) { add("GetProgramInfoLog", {p}); write_log(size, out); }
GLint APIENTRY GetUniformLocation(GLuint p, const GLchar* name)
{
    Call& c = add("GetUniformLocation", {p});
    c.data = name;
    return location_of(p, name);
}
void APIENTRY LinkProgram(GLuint p) { add("LinkProgram", {p}); }
void APIENTRY ShaderSource(GLuint s, GLsizei n, const GLchar* const* text, const GLint* lengths)
{
    Call& c = add("ShaderSource", {s, n, lengths ? 1 : 0});
    c.data = text[0];
    sources[s] = text[0];
}
void APIENTRY Uniform1i(GLint l, GLint v) { add("Uniform1i", {l, v}); }
void APIENTRY Uniform1f(GLint l, GLfloat v) { add("Uniform1f", {l}).floats = {v}; }
void APIENTRY Uniform2fv(GLint l, GLsizei n, const GLfloat* v) { floats("Uniform2fv", l, n, 2, v); }
void APIENTRY Uniform3fv(GLint l, GLsizei n, const GLfloat* v) { floats("Uniform3fv", l, n, 3, v); }
void APIENTRY Uniform4fv(GLint l, GLsizei n, const GLfloat* v) { floats("Uniform4fv", l, n, 4, v); }
void APIENTRY UniformMatrix3fv(GLint l, GLsizei n, GLboolean t, const GLfloat* v)
{
    floats("UniformMatrix3fv", l, n, 9, v);
    record.back().args.push_back(t);
}
void APIENTRY UniformMatrix4fv(GLint l, GLsizei n, GLboolean t, const GLfloat* v)
{
    floats("UniformMatrix4fv", l, n, 16, v);
    record.back().args.push_back(t);
}
void APIENTRY UseProgram(GLuint p) { add("UseProgram", {p}); }
void APIENTRY BindAttribLocation(GLuint p, GLuint i, const GLchar* name) { add("BindAttribLocation", {p, i}).data = name; }
void APIENTRY BindBuffer(GLenum t, GLuint b) { add("BindBuffer", {t, b}); }
void APIENTRY BindVertexArray(GLuint a) { add("BindVertexArray", {a}); }
void APIENTRY BufferData(GLenum t, GLsizeiptr n, const void* d, GLenum u) { add("BufferData", {t, n, d ? 1 : 0, u}); }
void APIENTRY BufferSubData(GLenum t, GLintptr o, GLsizeiptr n, const void* d)
{
    add("BufferSubData", {t, o, n}).data.assign(static_cast<const char*>(d), static_cast<size_t>(n));
}
void APIENTRY DeleteBuffers(GLsizei n, const GLuint*) { add("DeleteBuffers", {n}); }
void APIENTRY DeleteVertexArrays(GLsizei n, const GLuint*) { add("DeleteVertexArrays", {n}); }
void APIENTRY DisableVertexAttribArray(GLuint i) { add("DisableVertexAttribArray", {i}); }
void APIENTRY EnableVertexAttribArray(GLuint i) { add("EnableVertexAttribArray", {i}); }
void APIENTRY GenBuffers(GLsizei n, GLuint* out) { gen("GenBuffers", n, out); }
void APIENTRY GenVertexArrays(GLsizei n, GLuint* out) { gen("GenVertexArrays", n, out); }
void APIENTRY VertexAttrib4f(GLuint i, GLfloat x, GLfloat y, GLfloat z, GLfloat w) { add("VertexAttrib4f", {i}).floats = {x, y, z, w}; }
void APIENTRY VertexAttribPointer(GLuint i, GLint s, GLenum t, GLboolean n, GLsizei st, const void* o)
{
    add("VertexAttribPointer", {i, s, t, n, st, ptr(o)});
}

const gl_table table = {
#define BV_FAKE_ENTRY(type, name) name,
    BV_GL_FUNCTIONS(BV_FAKE_ENTRY)
#undef BV_FAKE_ENTRY
};

}  // namespace

void install()
{
    gl = table;
    record.clear();
    current = Settings{};
    next_name = 1;
    locations.clear();
    sources.clear();
    gl_state_reset();
}

Settings& settings() { return current; }
std::vector<Call>& calls() { return record; }
void clear_calls() { record.clear(); }

std::vector<Call> calls_named(const std::string& name)
{
    std::vector<Call> found;
    for (const Call& c : record)
        if (c.name == name)
            found.push_back(c);
    return found;
}

int count(const std::string& name)
{
    return static_cast<int>(calls_named(name).size());
}

std::vector<std::string> trace()
{
    std::vector<std::string> lines;
    for (const Call& c : record) {
        std::string line = c.name + "(";
        for (size_t i = 0; i < c.args.size(); ++i)
            line += (i ? "," : "") + std::to_string(c.args[i]);
        lines.push_back(line + ")");
    }
    return lines;
}

GLint location_of(GLuint program, const std::string& name)
{
    if (current.absent_uniforms.count(name))
        return -1;
    auto key = std::make_pair(program, name);
    auto it = locations.find(key);
    if (it != locations.end())
        return it->second;
    GLint location = static_cast<GLint>(locations.size()) + 1;
    locations[key] = location;
    return location;
}

std::vector<float> last_matrix(GLint location)
{
    for (auto it = record.rbegin(); it != record.rend(); ++it)
        if (it->name == "UniformMatrix4fv" && it->args[0] == location)
            return it->floats;
    return {};
}

std::string shader_source(GLuint shader)
{
    auto it = sources.find(shader);
    return it == sources.end() ? std::string() : it->second;
}

}  // namespace fakegl
