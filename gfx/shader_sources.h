// The GLSL text of the six built-in programs. Each source is written for OpenGL ES 3
// and starts "#version 300 es\n//"; on desktop GL those 18 characters are skipped so
// the "#version 150" of the second line becomes the first.
#pragma once

#define BV_GLSL_HEADER "#version 300 es\n//#version 150\n#define MAX_BONE 32\n"

// Fragment shaders: ES needs a default float precision; one output.
#define BV_GLSL_FRAGMENT_PRELUDE \
    "#ifdef GL_ES\nprecision mediump float;\n#endif\nout vec4 f_fragcolor;\n"

// Exponential fog by eye distance, shared by four of the programs.
#define BV_GLSL_FOG                                                                  \
    "uniform vec3 u_fog_color;\n"                                                    \
    "uniform float u_fog_density;\n"                                                 \
    "vec3 apply_fog(vec3 colour)\n"                                                  \
    "{\n"                                                                            \
    "    float z = gl_FragCoord.z / gl_FragCoord.w;\n"                               \
    "    float f = clamp(exp2(-1.4426950408889634 * u_fog_density * z), 0.0, 1.0);\n" \
    "    return mix(u_fog_color, colour, f);\n"                                      \
    "}\n"

extern const char* const unlit_vertex_source;
extern const char* const unlit_fragment_source;
extern const char* const model_vertex_source;   // norm_env and norm_spec_lit
extern const char* const norm_env_fragment_source;
extern const char* const norm_spec_lit_fragment_source;
extern const char* const terrain_normals_vertex_source;
extern const char* const terrain_normals_fragment_source;
extern const char* const terrain_vertex_source;
extern const char* const terrain_fragment_source;
extern const char* const tilemap_vertex_source;
extern const char* const tilemap_fragment_source;
