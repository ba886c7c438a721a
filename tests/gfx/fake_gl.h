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
    std::vector<int64_t> args;    // integer arguments (buffer offsets too)
    std::vector<float> floats;    // float arguments and float data pointed at
    std::string data;             // bytes or text pointed at
};

struct Upload {
    GLuint texture;
    int level;
    GLint internal_format;        // 0 for a sub-image
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

// Puts the fake in the table with a fresh record and settings, resets the layer and
// zeroes the texture memory count.
void install();
Settings& settings();
std::vector<Call>& calls();
void clear_calls();
std::vector<Call> calls_named(const std::string& name);
int count(const std::string& name);
std::vector<std::string> trace();   // "Name(arg,arg,...)" with the integer arguments
GLint location_of(GLuint program, const std::string& name);   // what GetUniformLocation gives
std::vector<float> last_matrix(GLint location);   // the last UniformMatrix4fv sent there
std::vector<Upload> uploads_of(GLuint texture);
GLint parameter(GLuint texture, GLenum pname);   // last TexParameteri value, -1 when none

}  // namespace fakegl
