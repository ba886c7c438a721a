#include "fake_gl.h"

#include "gfx/gl_state.h"
#include "gfx/texture_upload.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <tuple>
#include <type_traits>

namespace fakegl {
namespace {

std::vector<Call> record;
std::vector<Upload> images;
Settings current;
GLuint next_name = 1, bound_texture = 0;
std::map<std::pair<GLuint, std::string>, GLint> locations;
std::map<GLuint, std::string> sources;
std::map<std::pair<GLuint, GLenum>, GLint> parameters;

Call& add(const char* name, std::initializer_list<int64_t> args = {})
{
    record.push_back(Call{name, args, {}, {}});
    return record.back();
}

void floats(const char* name, GLint location, GLsizei n, int per, const GLfloat* v, int64_t transpose = -1)
{
    Call& c = add(name, {location, n});
    c.floats.assign(v, v + n * per);
    if (transpose >= 0)
        c.args.push_back(transpose);
}

void image(const char* name, GLint level, GLint internal, GLsizei w, GLsizei h, GLenum format, const void* p)
{
    add(name, {level, internal, w, h, format});
    const size_t bytes = static_cast<size_t>(w) * h * (format == GL_RGBA ? 4 : format == GL_RGB ? 3 : 1);
    images.push_back({bound_texture, level, internal, w, h, format,
                      p ? std::string(static_cast<const char*>(p), bytes) : "", internal == 0});
}

GLint log_length() { return current.info_log.empty() ? 0 : static_cast<GLint>(current.info_log.size() + 1); }

// Records any entry: integers and enums as arguments, floats apart, buffer offsets
// (const void*) as integers; other pointers are left out, but a (count, GLuint*)
// pair is filled with new names.
template <size_t N>
struct Name {
    char text[N];
    constexpr Name(const char (&s)[N]) { std::copy_n(s, N, text); }
};

template <class A>
void put(Call& c, A a)
{
    if constexpr (std::is_floating_point_v<A>)
        c.floats.push_back(a);
    else if constexpr (std::is_same_v<A, const void*>)
        c.args.push_back(static_cast<int64_t>(reinterpret_cast<intptr_t>(a)));
    else if constexpr (!std::is_pointer_v<A>)
        c.args.push_back(static_cast<int64_t>(a));
}

template <Name name, class F>
struct Recorder;
template <Name name, class R, class... A>
struct Recorder<name, R (*)(A...)> {
    static R call(A... a)
    {
        Call& c = add(name.text);
        (put(c, a), ...);
        if constexpr (std::is_same_v<std::tuple<A...>, std::tuple<GLsizei, GLuint*>>) {
            auto [n, out] = std::tuple<A...>(a...);
            for (GLsizei i = 0; i < n; ++i)
                out[i] = next_name++;
        }
        return R();
    }
};

gl_table make_table()
{
    gl_table t{};
#define BV_RECORD(type, name) t.name = Recorder<#name, type>::call;
    BV_GL_FUNCTIONS(BV_RECORD)
#undef BV_RECORD
    t.BindTexture = [](GLenum target, GLuint id) { add("BindTexture", {target, id}), bound_texture = id; };
    t.CreateProgram = []() -> GLuint { add("CreateProgram", {next_name}); return next_name++; };
    t.CreateShader = [](GLenum type) -> GLuint { add("CreateShader", {type, next_name}); return next_name++; };
    t.CheckFramebufferStatus = [](GLenum) -> GLenum { return GL_FRAMEBUFFER_COMPLETE; };
    t.GetError = []() -> GLenum {
        const GLenum e = current.errors.empty() ? GL_NO_ERROR : current.errors.front();
        if (!current.errors.empty())
            current.errors.pop_front();
        return e;
    };
    t.GetIntegerv = [](GLenum p, GLint* out) { add("GetIntegerv", {p}), *out = current.integers[p]; };
    t.GetString = [](GLenum n) { return reinterpret_cast<const GLubyte*>(current.strings[n]); };
    t.GetTexLevelParameteriv = [](GLenum, GLint, GLenum p, GLint* out) {
        *out = p == GL_TEXTURE_COMPRESSED ? current.compressed
             : p == GL_TEXTURE_COMPRESSED_IMAGE_SIZE ? current.compressed_size : 0;
    };
    t.TexImage2D = [](GLenum, GLint l, GLint i, GLsizei w, GLsizei h, GLint, GLenum f, GLenum, const void* p) {
        image("TexImage2D", l, i, w, h, f, p);
    };
    t.TexSubImage2D = [](GLenum, GLint l, GLint, GLint, GLsizei w, GLsizei h, GLenum f, GLenum, const void* p) {
        image("TexSubImage2D", l, 0, w, h, f, p);
    };
    t.TexParameteri = [](GLenum target, GLenum p, GLint v) {
        add("TexParameteri", {target, p, v}), parameters[{bound_texture, p}] = v;
    };
    t.GetShaderInfoLog = [](GLuint, GLsizei n, GLsizei*, GLchar* out) { snprintf(out, n, "%s", current.info_log.c_str()); };
    t.GetProgramInfoLog = [](GLuint, GLsizei n, GLsizei*, GLchar* out) { snprintf(out, n, "%s", current.info_log.c_str()); };
    t.GetShaderiv = [](GLuint s, GLenum p, GLint* out) {
        const std::string& marker = current.failing_source_marker;
        *out = p == GL_COMPILE_STATUS ? marker.empty() || sources[s].find(marker) == std::string::npos
             : p == GL_INFO_LOG_LENGTH ? log_length() : 0;
    };
    t.GetProgramiv = [](GLuint, GLenum n, GLint* out) {
        *out = n == GL_LINK_STATUS ? !current.fail_link : n == GL_INFO_LOG_LENGTH ? log_length() : 0;
    };
    t.GetUniformLocation = [](GLuint p, const GLchar* name) {
        add("GetUniformLocation", {p}).data = name;
        return location_of(p, name);
    };
    t.ShaderSource = [](GLuint s, GLsizei, const GLchar* const* text, const GLint*) {
        add("ShaderSource", {s}).data = sources[s] = text[0];
    };
    t.BindAttribLocation = [](GLuint p, GLuint i, const GLchar* name) { add("BindAttribLocation", {p, i}).data = name; };
    t.Uniform3fv = [](GLint l, GLsizei n, const GLfloat* v) { floats("Uniform3fv", l, n, 3, v); };
    t.Uniform4fv = [](GLint l, GLsizei n, const GLfloat* v) { floats("Uniform4fv", l, n, 4, v); };
    t.UniformMatrix3fv = [](GLint l, GLsizei n, GLboolean tr, const GLfloat* v) { floats("UniformMatrix3fv", l, n, 9, v, tr); };
    t.UniformMatrix4fv = [](GLint l, GLsizei n, GLboolean tr, const GLfloat* v) { floats("UniformMatrix4fv", l, n, 16, v, tr); };
    t.BufferData = [](GLenum target, GLsizeiptr n, const void* d, GLenum u) { add("BufferData", {target, n, d ? 1 : 0, u}); };
    t.BufferSubData = [](GLenum target, GLintptr o, GLsizeiptr n, const void* d) {
        add("BufferSubData", {target, o, n}).data.assign(static_cast<const char*>(d), static_cast<size_t>(n));
    };
    return t;
}

}  // namespace

void install()
{
    gl = make_table();
    record.clear();
    images.clear();
    current = Settings{};
    next_name = 1;
    bound_texture = 0;
    locations.clear();
    sources.clear();
    parameters.clear();
    gl_state_reset();
    texture_memory = 0;
}

Settings& settings() { return current; }
std::vector<Call>& calls() { return record; }
void clear_calls() { record.clear(); }

std::vector<Call> calls_named(const std::string& name)
{
    std::vector<Call> found;
    std::copy_if(record.begin(), record.end(), std::back_inserter(found), [&](const Call& c) { return c.name == name; });
    return found;
}

int count(const std::string& name) { return static_cast<int>(calls_named(name).size()); }

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
    return locations.try_emplace({program, name}, static_cast<GLint>(locations.size()) + 1).first->second;
}

std::vector<float> last_matrix(GLint location)
{
    for (auto it = record.rbegin(); it != record.rend(); ++it)
        if (it->name == "UniformMatrix4fv" && it->args[0] == location)
            return it->floats;
    return {};
}

std::vector<Upload> uploads_of(GLuint texture)
{
    std::vector<Upload> out;
    std::copy_if(images.begin(), images.end(), std::back_inserter(out), [&](const Upload& u) { return u.texture == texture; });
    return out;
}

GLint parameter(GLuint texture, GLenum pname)
{
    auto it = parameters.find({texture, pname});
    return it == parameters.end() ? -1 : it->second;
}

}  // namespace fakegl
