// A recording stand-in for the GL table: every call is kept in order with its
// arguments, texture images with their pixels and the texture they went to; object
// names count up from 1, and queries answer from settings the test makes.
#pragma once
#include "gfx/gl_table.h"

#include <cstdint>
#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace fakegl {

struct Call {
    std::string name;             // without the "gl" prefix
    std::vector<int64_t> args;    // integer arguments (pointers as offsets)
    std::vector<float> floats;    // float arguments and float data pointed at
    std::string data;             // bytes or text pointed at
};

struct Upload {
    GLuint texture;
    int level;
    GLint internal_format;
    int w, h;
    GLenum format;
    std::string data;
    bool sub;
};

struct Settings {
    std::set<std::string> absent_uniforms;        // GetUniformLocation answers -1
    std::map<GLenum, GLint> integers;             // GetIntegerv answers (0 otherwise)
    std::map<GLenum, const char*> strings;        // GetString answers (null otherwise)
    std::string failing_source_marker;            // a shader whose source has it fails
    bool fail_link = false;
    std::string info_log;                         // every shader and program log
    std::deque<GLenum> errors;                    // GetError answers these, then GL_NO_ERROR
    GLint compressed = 0, compressed_size = 0;    // GetTexLevelParameteriv answers
};

// Puts the fake in the table, clears its record and settings, resets the layer and
// zeroes the texture memory count.
void install();
Settings& settings();
std::vector<Call>& calls();
void clear_calls();
std::vector<Call> calls_named(const std::string& name);
int count(const std::string& name);
// Calls in order, as "Name(arg,arg,...)" with the integer arguments only.
std::vector<std::string> trace();

// Location GetUniformLocation gives (program, name) when the uniform is present.
GLint location_of(GLuint program, const std::string& name);
// The last matrix UniformMatrix4fv sent to a location (empty when none).
std::vector<float> last_matrix(GLint location);

std::vector<Upload> uploads_of(GLuint texture);
// The TexParameteri value last set for pname on a texture (-1 when never set).
GLint parameter(GLuint texture, GLenum pname);

}  // namespace fakegl
