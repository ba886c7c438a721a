// Programs for the ground: terrain_normals (renders the detail normal and shadow
// texture), terrain (the lit near ground) and tilemap (far ground from a tile map
// and an atlas of tile images).
#include "gfx/shader_sources.h"

const char* const terrain_normals_vertex_source = BV_GLSL_HEADER R"(
in vec4 vattr_position;
in vec4 vattr_texcoord;
uniform mat4 u_modelview;
uniform mat4 u_projection;
uniform mat4 u_texture1;
out vec2 interp_texcoord;
out vec2 interp_shadowcoord;
void main()
{
    vec4 shadow = u_texture1 * vattr_position;
    interp_shadowcoord = shadow.xy / shadow.w;
    interp_texcoord = vattr_texcoord.st;
    gl_Position = u_projection * (u_modelview * vattr_position);
}
)";

const char* const terrain_normals_fragment_source = BV_GLSL_HEADER BV_GLSL_FRAGMENT_PRELUDE R"(
in vec2 interp_texcoord;
in vec2 interp_shadowcoord;
uniform sampler2D u_tex;
uniform sampler2D u_shadows;
void main()
{
    // Turn the decal's normal with the direction its s coordinate runs on screen.
    // Where s does not change across the primitive there is no direction: no turn.
    vec2 along = vec2(dFdx(interp_texcoord.s), -dFdy(interp_texcoord.s));
    float along_length = length(along);
    vec2 c = along_length > 0.0 ? along / along_length : vec2(1.0, 0.0);
    mat2 turn = mat2(c, vec2(-c.y, c.x));
    vec4 texel = texture(u_tex, interp_texcoord);
    vec3 n = texel.xzy * 2.0 - 1.0;
    n.x = -n.x;
    n.xz = turn * n.xz;
    float shadow = 1.0 - texture(u_shadows, interp_shadowcoord).r;
    n = normalize(n);
    // Keep the stored normal short of the horizon so y stays recoverable.
    if (dot(n.xz, n.xz) > (126.0 / 128.0) * (126.0 / 128.0)) {
        n.y = 0.0;
        n = normalize(n) * (126.0 / 128.0);
    }
    vec3 stored = (n + 1.0) * 0.5;
    stored.y = shadow;
    f_fragcolor = vec4(stored, texel.a);
}
)";

const char* const terrain_vertex_source = BV_GLSL_HEADER R"(
in vec4 vattr_position;
uniform mat4 u_modelview;
uniform mat4 u_projection;
uniform vec2 u_texoffset;
uniform float u_texscale;
uniform float u_spacing_inv;
out vec2 interp_texcoord;
out vec2 interp_heightcoord;
out vec3 interp_viewer;
out mediump mat3 interp_eye_rotation;
void main()
{
    interp_texcoord = (vattr_position.xz + u_texoffset) * u_texscale;
    interp_heightcoord = vattr_position.xz * u_spacing_inv;
    vec4 eye = u_modelview * vattr_position;
    interp_viewer = eye.xyz / eye.w;
    interp_eye_rotation = mat3(u_modelview);
    gl_Position = u_projection * eye;
}
)";

const char* const terrain_fragment_source = BV_GLSL_HEADER BV_GLSL_FRAGMENT_PRELUDE BV_GLSL_FOG R"(
in vec2 interp_texcoord;
in vec2 interp_heightcoord;
in vec3 interp_viewer;
in mediump mat3 interp_eye_rotation;
uniform sampler2D u_tex;
uniform sampler2D u_nmap;
uniform sampler2D u_smap;
uniform sampler2D u_heights;
uniform float u_heights_dim_inv;
uniform float u_spacing;
uniform vec4 u_ambient;
uniform vec3 u_diffuse;
uniform vec3 u_specular_color;
uniform vec3 u_light_position;
float height_at(vec2 offset)
{
    return texture(u_heights, (interp_heightcoord + 0.5 + offset) * u_heights_dim_inv).r;
}
void main()
{
    float north = height_at(vec2(0.0, -0.5));
    float south = height_at(vec2(0.0, 0.5));
    float east = height_at(vec2(0.5, 0.0));
    float west = height_at(vec2(-0.5, 0.0));
    vec3 ground = normalize(cross(vec3(0.0, south - north, u_spacing), vec3(u_spacing, east - west, 0.0)));

    vec3 d = texture(u_nmap, interp_texcoord).rgb;
    float len = d.g;
    d = d * 2.0 - 1.0;
    // Texels with x and z beyond the unit circle would take the root of a negative.
    d.y = sqrt(max(1.0 - d.z * d.z - d.x * d.x, 0.0));
    vec3 z = normalize(cross(vec3(1.0, 0.0, 0.0), ground));
    vec3 x = cross(ground, z);
    vec3 n = normalize(interp_eye_rotation * (mat3(x, ground, z) * d));

    float ndl = dot(n, u_light_position);
    float rdl = max(dot(reflect(normalize(interp_viewer), n), u_light_position), 0.0);
    if (ndl < 0.0) {
        ndl = 0.0;
        rdl = 0.0;
    }
    vec4 colour = u_ambient;
    colour.rgb += u_diffuse * ndl * len;
    colour *= texture(u_tex, interp_texcoord);
    vec4 s = texture(u_smap, interp_texcoord);
    float exponent = s.g * 128.0 + 0.125;
    colour.rgb += s.r * u_specular_color * pow(rdl, exponent) * len;
    colour.rgb = apply_fog(colour.rgb);
    f_fragcolor = colour;
}
)";

const char* const tilemap_vertex_source = BV_GLSL_HEADER R"(
in vec4 vattr_position;
uniform mat4 u_modelview;
uniform mat4 u_projection;
uniform float u_spacing_inv;
out highp vec2 interp_tilecoord;
void main()
{
    interp_tilecoord = vattr_position.xz * u_spacing_inv * 0.5;
    gl_Position = u_projection * (u_modelview * vattr_position);
}
)";

const char* const tilemap_fragment_source = BV_GLSL_HEADER BV_GLSL_FRAGMENT_PRELUDE R"(
in highp vec2 interp_tilecoord;
uniform sampler2D u_tex;
uniform sampler2D u_tilemap;
uniform float u_tilemap_dim_inv;
uniform float u_atlas_dim_inv;
void main()
{
    highp vec2 cell = floor(interp_tilecoord);
    highp vec2 within = interp_tilecoord - cell;
    // Tile numbers are whole bytes: round them, so a value a hair below k is still k.
    float tile = floor(texture(u_tilemap, (cell + 0.5) * u_tilemap_dim_inv).r * 255.0 + 0.5);
    float columns = floor(1.0 / u_atlas_dim_inv + 0.5);
    float row = floor((tile + 0.5) / columns);
    float column = tile - row * columns;
    // Only the inner 7/8 of each atlas tile is sampled, away from its neighbours.
    vec2 atlas = (vec2(column, row) + within * 0.875 + 0.0625) * u_atlas_dim_inv;
    f_fragcolor = texture(u_tex, atlas);
}
)";
