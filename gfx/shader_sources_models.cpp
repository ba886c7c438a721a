// Programs for flat drawing and for models: unlit, norm_env (the environment
// reflection layer) and norm_spec_lit (lit parts with normal and specular maps).
#include "gfx/shader_sources.h"

const char* const unlit_vertex_source = BV_GLSL_HEADER R"(
in vec4 vattr_position;
in vec4 vattr_color;
in vec4 vattr_texcoord;
uniform mat4 u_modelview;
uniform mat4 u_projection;
uniform mat4 u_texture0;
out vec4 interp_color;
out vec2 interp_texcoord;
void main()
{
    interp_color = vattr_color;
    interp_texcoord = (u_texture0 * vattr_texcoord).st;
    gl_Position = u_projection * (u_modelview * vattr_position);
}
)";

const char* const unlit_fragment_source = BV_GLSL_HEADER BV_GLSL_FRAGMENT_PRELUDE BV_GLSL_FOG R"(
in vec4 interp_color;
in vec2 interp_texcoord;
uniform sampler2D u_tex;
void main()
{
    vec4 colour = interp_color * texture(u_tex, interp_texcoord);
    colour.rgb = apply_fog(colour.rgb);
    f_fragcolor = colour;
}
)";

// Plain or skinned over up to four bone influences; the viewer vector is in eye space.
const char* const model_vertex_source = BV_GLSL_HEADER R"(
in vec3 vattr_position;
in vec3 vattr_normal;
in vec3 vattr_tangent;
in vec2 vattr_texcoord;
in vec4 vattr_weights;
in vec4 vattr_bones;
uniform mat4 u_modelview;
uniform mat4 u_projection;
uniform int u_nbones;
uniform vec3 u_bone_c[MAX_BONE];
uniform vec3 u_bone_t[MAX_BONE];
uniform mat3 u_bone_r[MAX_BONE];
out vec3 interp_normal;
out vec3 interp_tangent;
out vec3 interp_viewer;
out vec2 interp_texcoord;
void main()
{
    vec3 position = vattr_position;
    vec3 normal = vattr_normal;
    vec3 tangent = vattr_tangent;
    if (u_nbones == 0) {
        vec4 eye = u_modelview * vec4(position, 1.0);
        interp_viewer = eye.xyz / eye.w;
    } else {
        vec3 p = vec3(0.0);
        vec3 n = vec3(0.0);
        vec3 t = vec3(0.0);
        for (int i = 0; i < 4; ++i) {
            // Bone numbers come from model data: keep a bad one inside the arrays.
            int b = clamp(int(vattr_bones[i]), 0, MAX_BONE - 1);
            float w = vattr_weights[i];
            mat3 r = u_bone_r[b];
            p += (r * (position - u_bone_c[b]) + u_bone_t[b]) * w;
            n += (r * normal) * w;
            t += (r * tangent) * w;
        }
        position = p;
        normal = n;
        tangent = t;
        interp_viewer = (u_modelview * vec4(position, 1.0)).xyz;
    }
    mat3 rotation = mat3(u_modelview);
    interp_normal = normalize(rotation * normal);
    interp_tangent = normalize(rotation * tangent);
    interp_texcoord = vattr_texcoord;
    gl_Position = u_projection * (u_modelview * vec4(position, 1.0));
}
)";

// The detail normal from the normal map, in eye space.
#define BV_GLSL_DETAIL_NORMAL                                                    \
    "vec3 detail_normal()\n"                                                     \
    "{\n"                                                                        \
    "    vec3 n = normalize(interp_normal);\n"                                   \
    "    vec3 t = normalize(interp_tangent - n * dot(n, interp_tangent));\n"     \
    "    vec3 b = cross(n, t);\n"                                                \
    "    vec3 d = texture(u_nmap, interp_texcoord).rgb * 2.0 - 1.0;\n"           \
    "    return normalize(mat3(t, b, n) * d);\n"                                 \
    "}\n"

#define BV_GLSL_MODEL_INPUTS   \
    "in vec3 interp_normal;\n"  \
    "in vec3 interp_tangent;\n" \
    "in vec3 interp_viewer;\n"  \
    "in vec2 interp_texcoord;\n" \
    "uniform sampler2D u_tex;\n" \
    "uniform sampler2D u_nmap;\n" \
    "uniform vec3 u_specular_color;\n"

const char* const norm_env_fragment_source =
    BV_GLSL_HEADER BV_GLSL_FRAGMENT_PRELUDE BV_GLSL_MODEL_INPUTS BV_GLSL_DETAIL_NORMAL R"(
uniform mat3 u_envmat;
void main()
{
    vec3 n = detail_normal();
    vec3 v = normalize(u_envmat * reflect(interp_viewer, n));
    // Polar projection about +y; straight up or down has no direction in the plane.
    float h = length(v.xz);
    vec2 direction = h > 0.0 ? v.xz / h : vec2(0.0);
    vec2 st = direction * acos(clamp(v.y, -1.0, 1.0)) * 0.15915494309189535 + 0.5;
    f_fragcolor = texture(u_tex, st) * vec4(u_specular_color, 1.0);
}
)";

const char* const norm_spec_lit_fragment_source =
    BV_GLSL_HEADER BV_GLSL_FRAGMENT_PRELUDE BV_GLSL_FOG BV_GLSL_MODEL_INPUTS BV_GLSL_DETAIL_NORMAL R"(
uniform sampler2D u_smap;
uniform vec4 u_ambient;
uniform vec3 u_diffuse;
uniform float u_shininess;
uniform vec3 u_light_position;
void main()
{
    vec4 colour = u_ambient;
    vec3 n = detail_normal();
    float ndl = dot(n, u_light_position);
    float rdl = max(dot(reflect(normalize(interp_viewer), n), u_light_position), 0.0);
    if (ndl < 0.0) {
        ndl = 0.0;
        rdl = 0.0;
    }
    colour.rgb += u_diffuse * ndl;
    colour *= texture(u_tex, interp_texcoord);
    if (colour.a < 0.75)
        discard;
    vec4 s = texture(u_smap, interp_texcoord);
    s.rgb *= u_specular_color;
    // A white specular map means: use the part's own shininess.
    float exponent = s.a * 128.0 + 0.125;
    if (exponent >= 127.875)
        exponent = u_shininess;
    colour.rgb += s.rgb * pow(rdl, exponent);
    colour.rgb = apply_fog(colour.rgb);
    f_fragcolor = colour;
}
)";
