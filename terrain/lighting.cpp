// The "lighting" file: keyword lines of at most 1023 characters. Leading spaces and
// tabs are skipped, blank lines ignored; the keyword runs to the next space or tab,
// the rest of the line (trimmed) is its argument:
//   sun_vector [ x y z ]      sun_color [ r g b ]      ambient [ r g b ]
//   global_ambient [ r g b ]  sky_n|sky_e|sky_s|sky_w|sky_u|sky_env <texture name>
//   flare_element [ ox oy ] [ r g b ] size <texture>   (up to 8, before their anchor)
//   flare_point [ x y z ]     flare_vector [ x y z ]   (close the pending flare)
//   fog [ r g b ] density     dynamic_lighting <int>
//   near_plane <f>            far_plane <f>
// An unknown keyword ends the reading; what was read so far stays.
#include "terrain/lighting.h"

#include "gfx/model_scene.h"
#include "gfx/shaders.h"
#include "gfx/texture_cache.h"

#include "foundation/text/scan.h"
#include "foundation/text/text_util.h"
#include "foundation/vfs/vfs.h"
#include "foundation/front_door.h"
#include "platform/qorl_log.h"

#include <cmath>
#include <cstring>
#include <initializer_list>

lighting_state lighting = {
    {0.57735026f, 0.57735026f, 0.57735026f}, {1, 1, 1}, {0.5f, 0.5f, 0.5f}, {0.2f, 0.2f, 0.2f}, 0.25f, 5000, 0,
    {0, 0, 0, 0, 0, 0}, {1, 1, 1}, 0, {nullptr, 0, 0, 0},
};

namespace {

constexpr const char* default_skies[sky_count] = {"@sky-n.ppm", "@sky-e.ppm", "@sky-s.ppm",
                                                  "@sky-w.ppm", "@sky-u.ppm", "@sky-env.ppm"};
constexpr const char* sky_keywords[sky_count] = {"sky_n", "sky_e", "sky_s", "sky_w", "sky_u", "sky_env"};

void set3(float* out, float a, float b, float c)
{
    out[0] = a;
    out[1] = b;
    out[2] = c;
}

void reset_flare(flare* f)
{
    memset(f, 0, sizeof *f);
    for (int i = 0; i < flare_max_elements; ++i) {
        set3(f->color[i], 1, 1, 1);
        f->size[i] = 1;
    }
    f->kind = 1;
}

void reset_record()
{
    set3(lighting.sun_vector, 1, 1, 1);
    set3(lighting.sun_color, 1, 1, 1);
    set3(lighting.ambient, 0.5f, 0.5f, 0.5f);
    set3(lighting.global_ambient, 0.2f, 0.2f, 0.2f);
    lighting.near_plane = 0.25f;
    lighting.far_plane = 5000;
    lighting.dynamic_lighting = 0;
    for (uint32_t& s : lighting.sky)
        s = 0;
    lighting.fog_density = 0;
    if (lighting.flares.element_size == 0)
        array_init(&lighting.flares, sizeof(flare));
    lighting.flares.count = 0;
}

// A number a reader may store: a plane or density of NaN or infinity would poison
// the projection and every fogged pixel, so such a value leaves the field alone.
void store_finite(float* field, float value)
{
    if (std::isfinite(value))
        *field = value;
}

// " [ r g b ] " into a colour: each value that parses and is finite replaces the field's
// (an overflowing 1e39 would light everything with infinity), the others stay.
void read_colour(const char* argument, float* field)
{
    float values[3] = {field[0], field[1], field[2]};
    scan_string(argument, " [ %f %f %f ] ", &values[0], &values[1], &values[2]);
    for (int i = 0; i < 3; ++i)
        store_finite(&field[i], values[i]);
}

void normalise_sun()
{
    float* v = lighting.sun_vector;
    const double length = std::sqrt(double(v[0]) * v[0] + double(v[1]) * v[1] + double(v[2]) * v[2]);
    // A zero or unusable vector has no direction; the default sun keeps the scene lit.
    if (!(length > 0) || !std::isfinite(length)) {
        set3(v, 0.57735026f, 0.57735026f, 0.57735026f);
        return;
    }
    for (int i = 0; i < 3; ++i)
        v[i] = static_cast<float>(v[i] / length);
}

// One keyword line; false when the keyword is unknown.
bool apply(const char* keyword, const char* argument, flare* pending)
{
    if (strcmp(keyword, "sun_vector") == 0) {
        scan_string(argument, " [ %f %f %f ] ", &lighting.sun_vector[0], &lighting.sun_vector[1], &lighting.sun_vector[2]);
    } else if (strcmp(keyword, "sun_color") == 0) {
        read_colour(argument, lighting.sun_color);
    } else if (strcmp(keyword, "ambient") == 0) {
        read_colour(argument, lighting.ambient);
    } else if (strcmp(keyword, "global_ambient") == 0) {
        read_colour(argument, lighting.global_ambient);
    } else if (strcmp(keyword, "flare_element") == 0) {
        float ox, oy, r, g, b, size;
        char name[1024];
        if (scan_string(argument, " [ %f %f ] [ %f %f %f ] %f %1023s", &ox, &oy, &r, &g, &b, &size, name) == 7 &&
            pending->element_count < flare_max_elements) {
            const int i = pending->element_count++;
            pending->offset[i][0] = ox;
            pending->offset[i][1] = oy;
            set3(pending->color[i], r, g, b);
            pending->size[i] = size;
            pending->texture[i] = texture_load(name);
        }
    } else if (strcmp(keyword, "flare_point") == 0 || strcmp(keyword, "flare_vector") == 0) {
        pending->kind = strcmp(keyword, "flare_point") == 0 ? 0 : 1;
        scan_string(argument, " [ %f %f %f ] ", &pending->anchor[0], &pending->anchor[1], &pending->anchor[2]);
        array_push(&lighting.flares, pending);
        reset_flare(pending);
    } else if (strcmp(keyword, "fog") == 0) {
        float r, g, b, density;
        if (scan_string(argument, " [ %f %f %f ] %f ", &r, &g, &b, &density) == 4 && std::isfinite(r) &&
            std::isfinite(g) && std::isfinite(b) && std::isfinite(density)) {
            set3(lighting.fog_color, r, g, b);
            lighting.fog_density = density;
        }
    } else if (strcmp(keyword, "dynamic_lighting") == 0) {
        int value = 0;
        if (scan_string(argument, "%d", &value) == 1)
            lighting.dynamic_lighting = value > 0 ? 1 : 0;
    } else if (strcmp(keyword, "near_plane") == 0 || strcmp(keyword, "far_plane") == 0) {
        float value = 0;
        if (scan_string(argument, "%f", &value) == 1)
            store_finite(keyword[0] == 'n' ? &lighting.near_plane : &lighting.far_plane, value);
    } else {
        for (int s = 0; s < sky_count; ++s)
            if (strcmp(keyword, sky_keywords[s]) == 0) {
                lighting.sky[s] = texture_load(argument);
                return true;
            }
        return false;
    }
    return true;
}

bool is_blank(char c)
{
    return c == ' ' || c == '\t';
}

// Reads the keyword lines; stops at the end or at an unknown keyword.
void read_lines(vfs_file* f)
{
    flare pending;
    reset_flare(&pending);
    char line[1024];
    while (vfs_gets(f, line, sizeof line)) {
        size_t n = strlen(line);
        // The rest of an over-long line is dropped, never taken for a line of its own.
        if (n == sizeof line - 1 && line[n - 1] != '\n')
            for (int c = vfs_getc(f); c >= 0 && c != '\n'; c = vfs_getc(f)) {
            }
        while (n > 0 && (is_blank(line[n - 1]) || line[n - 1] == '\n' || line[n - 1] == '\r'))
            line[--n] = '\0';
        char* keyword = line;
        while (is_blank(*keyword))
            ++keyword;
        if (!*keyword)
            continue;
        char* argument = keyword;
        while (*argument && !is_blank(*argument))
            ++argument;
        if (*argument) {
            *argument++ = '\0';
            while (is_blank(*argument))
                ++argument;
        }
        if (!apply(keyword, argument, &pending)) {
            char message[1024];
            format_string(message, sizeof message, "Error reading lighting: Unknown identifier '%.950s'\n", keyword);
            console_print(message);
            return;
        }
    }
}

}  // namespace

namespace {

// The model drawing lights its parts with the track's sun and ambient light.
void share_with_models()
{
    memcpy(model_lighting.sun_color, lighting.sun_color, sizeof lighting.sun_color);
    memcpy(model_lighting.ambient, lighting.ambient, sizeof lighting.ambient);
    memcpy(model_lighting.global_ambient, lighting.global_ambient, sizeof lighting.global_ambient);
}

}  // namespace

void lighting_read(const char* path)
{
    reset_record();
    vfs_file* f = vfs_open(path, "rb");
    if (!f) {
        normalise_sun();
        share_with_models();
        return;
    }
    qorl_log("Loading lighting\n");
    read_lines(f);

    lighting.near_plane = std::fmax(std::fmin(lighting.near_plane, 0.875f), 1.0f / 1024);
    if (lighting.near_plane > lighting.far_plane)
        lighting.far_plane = lighting.near_plane;
    else
        lighting.far_plane = std::fmin(lighting.far_plane, 1048576.0f);
    normalise_sun();
    vfs_close(f);
    share_with_models();

    for (int s = 0; s < sky_count; ++s)
        if (lighting.sky[s] == 0)
            lighting.sky[s] = texture_load(default_skies[s]);
    qorl_log("Loading lighting...done\n");

    for (int program : {shader_norm_spec_lit, shader_terrain, shader_unlit}) {
        gl_use_shader(program);
        gl_uniform_fog_density(lighting.fog_density);
        gl_uniform_fog_color(lighting.fog_color[0], lighting.fog_color[1], lighting.fog_color[2]);
    }
}
