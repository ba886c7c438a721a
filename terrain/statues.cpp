// The "statues" file, one placed model per line, read with the data-file scanner:
//   [ x h z ] angle model texture shape      ("null" = none)
// h = height above the ground. Reading stops at the first line without all seven
// values. The writer puts back the statues from the first track statue on (the
// start-gate statues of the timing gates come before it), then what the load left out.
#include "terrain/statues.h"

#include "foundation/intern.h"
#include "foundation/memory.h"
#include "foundation/text/scan.h"
#include "foundation/text/text_util.h"
#include "foundation/numbers/vec_math.h"
#include "foundation/vfs/file_bound.h"
#include "foundation/vfs/vfs.h"
#include "foundation/front_door.h"
#include "gfx/model.h"
#include "gfx/texture_cache.h"
#include "terrain/refused_tail.h"
#include "terrain/terrain_queries.h"
#include "terrain/track_list.h"

#include <cmath>
#include <cstring>
#include <string>

growable_array statues;
int32_t first_track_statue;
int32_t track_objects_from_script;
int64_t statue_spheres_placed;

namespace {

collision_shape* no_shape(const char*)
{
    return nullptr;
}

void no_shape_free(collision_shape*) {}

int32_t no_spheres(const collision_shape*)
{
    return 0;
}

refused_tail file_refused;   // what the track's statues file was refused at its load
const char* reading_path = nullptr;   // the statues file being read, for the refusal line
int32_t reading_line = 0;
bool refusal_logged = false;

// Logs the first refusal since the reset.
void refuse(const char* why)
{
    if (refusal_logged)
        return;
    refusal_logged = true;
    char line[1200];
    if (reading_path)
        format_string(line, sizeof line, "Statues file %.900s: line %d and later refused, %s", reading_path,
                      int(reading_line), why);
    else
        format_string(line, sizeof line, "Statue refused: %s", why);
    console_print(line);
}

// A save leaves the file as it stands: none of it is written back from what was read.
void keep_file_as_it_was()
{
    refused_tail_clear(&file_refused);
    file_refused.cut = file_refused.too_long = true;
}

constexpr float kTwoPi = 6.28318530717958647692f;

void identity(float r[9])
{
    for (int i = 0; i < 9; ++i)
        r[i] = i % 4 == 0 ? 1.0f : 0.0f;
}


bool ends_with(const std::string& text, const char* end)
{
    const size_t n = strlen(end);
    return text.size() >= n && text.compare(text.size() - n, n, end) == 0;
}

// Tries stem + each ending; the first texture that loads.
uint32_t first_loading(const std::string& stem, const char* suffix, const char* const endings[3])
{
    for (int i = 0; i < 3; ++i)
        if (uint32_t t = track_loaders.texture_load((stem + suffix + endings[i]).c_str()))
            return t;
    return 0;
}

}  // namespace

track_object_loaders track_loaders = {texture_load, model_get, no_shape, no_shape_free};
int32_t (*statue_shape_spheres)(const collision_shape* shape) = no_spheres;

void orient_on_terrain(float r[9], float x, float z, float heading)
{
    float n[3] = {0, 1, 0};
    if (heading > -kTwoPi) {
        const float h0 = terrain_height_at(&track_terrain, x, z);
        const float h1 = terrain_height_at(&track_terrain, x + 1, z);
        const float h2 = terrain_height_at(&track_terrain, x, z + 1);
        n[0] = h0 - h1;
        n[2] = h0 - h2;
        vec3_normalize(n);
    }
    const float c = std::cos(heading), s = std::sin(heading);
    float f[3] = {s * n[1], -(s * n[0] + c * n[2]), c * n[1]};
    vec3_normalize(f);
    const float right[3] = {n[1] * f[2] - n[2] * f[1], n[2] * f[0] - n[0] * f[2], n[0] * f[1] - n[1] * f[0]};
    for (int row = 0; row < 3; ++row) {
        r[row * 3 + 0] = right[row];
        r[row * 3 + 1] = n[row];
        r[row * 3 + 2] = f[row];
    }
}

void place_statue(statue* s)
{
    s->y = terrain_height_at(&track_terrain, s->x, s->z) + s->height_above_ground;
    if (s->angle >= kStatueScaledAngle)
        identity(s->rotation);
    else
        orient_on_terrain(s->rotation, s->x, s->z, s->angle);
}

uint32_t statue_companion_map(const char* texture_name, const char* model_name, const char* suffix)
{
    static const char* const repeat_endings[3] = {"-repeat.seq", "-repeat.png", "-repeat.ppm"};
    static const char* const plain_endings[3] = {".seq", ".png", ".ppm"};
    if (!texture_name)
        return 0;
    const std::string texture = texture_name;
    const bool repeat = texture.size() >= 11 && (ends_with(texture, "-repeat.png") ||
                                                 ends_with(texture, "-repeat.ppm") || ends_with(texture, "-repeat.seq"));
    const size_t cut = texture.rfind(repeat ? '-' : '.');
    if (cut == std::string::npos)
        return 0;
    if (uint32_t t = first_loading(texture.substr(0, cut), suffix, repeat ? repeat_endings : plain_endings))
        return t;
    if (!model_name)
        return 0;
    const std::string model = model_name;
    const size_t dot = model.rfind('.');
    if (dot == std::string::npos)
        return 0;
    return first_loading(model.substr(0, dot), suffix, plain_endings);
}

const char* track_object_name(const char* name, int32_t from_script)
{
    if (!name)
        return nullptr;
    if (!from_script)
        return intern_string(name);
    const size_t size = strlen(name) + 1;
    char* copy = static_cast<char*>(xmalloc(size));
    memcpy(copy, name, size);
    return copy;
}

void track_object_name_free(const char* name, int32_t from_script)
{
    if (from_script)
        mem_free(const_cast<char*>(name));
}

int create_statue(float x, float height_above_ground, float z, float angle, const char* model_name,
                  const char* texture_name, const char* shape_name)
{
    if (statues.element_size == 0)
        statues_reset();
    if (statues.count >= kMaxStatues) {
        refuse("more than 16384 statues");
        return -1;
    }
    statue s{};
    s.from_script = track_objects_from_script != 0;
    s.scale = angle >= kStatueScaledAngle ? std::exp2(angle) : 0.0f;
    s.model_file = track_object_name(model_name, s.from_script);
    s.texture_file = track_object_name(texture_name, s.from_script);
    s.shape_file = track_object_name(shape_name, s.from_script);
    if (model_name)
        s.mesh = track_loaders.model_get(model_name);
    if (s.mesh && texture_name) {
        s.texture = track_loaders.texture_load(texture_name);
        s.normal_map = statue_companion_map(texture_name, model_name, "_norm");
        s.specular_map = statue_companion_map(texture_name, model_name, "_spec");
    }
    if (shape_name) {
        s.shape = track_loaders.shape_instance(shape_name);
        s.shape_spheres = s.shape ? statue_shape_spheres(s.shape) : 0;
        if (statue_spheres_placed + s.shape_spheres > kMaxStatueSpheres) {
            s.shape_spheres = 0;   // never counted
            free_statue(&s);
            refuse("more than 1048576 collision spheres");
            return -1;
        }
        if (!s.shape) {
            char line[1024];
            format_string(line, sizeof line, "Warning: missing shape file %.900s", shape_name);
            console_print(line);
        }
    }
    s.x = x;
    s.z = z;
    s.height_above_ground = height_above_ground;
    s.angle = angle;
    place_statue(&s);
    statue_spheres_placed += s.shape_spheres;
    if (!array_push(&statues, &s)) {
        free_statue(&s);
        return -1;
    }
    return statues.count - 1;
}

void free_statue(statue* s)
{
    if (s->shape)
        track_loaders.shape_free(s->shape);
    statue_spheres_placed -= s->shape_spheres;
    s->shape_spheres = 0;
    mem_free(s->bone_centres);
    mem_free(s->bone_translations);
    mem_free(s->bone_rotations);
    s->shape = nullptr;
    for (const char** name : {&s->model_file, &s->texture_file, &s->shape_file}) {
        track_object_name_free(*name, s->from_script);
        *name = nullptr;
    }
    s->bone_count = 0;
    s->bone_centres = s->bone_translations = s->bone_rotations = nullptr;
}

void statues_free()
{
    for (int32_t i = 0; i < statue_count(); ++i)
        free_statue(statue_at(i));
    array_free(&statues);
    statues = {};
    first_track_statue = 0;
    statue_spheres_placed = 0;
    refusal_logged = false;
    refused_tail_clear(&file_refused);
}

void statues_reset()
{
    statues_free();
    array_init(&statues, sizeof(statue));
}

void statues_read(const char* path)
{
    vfs_file* f = nullptr;
    const int opened = vfs_open_bounded(&f, path, kStatuesFileMax, "Statues");
    if (opened < 0)
        keep_file_as_it_was();
    if (opened != 1)
        return;
    float x, h, z, angle;
    char names[3][1024];
    reading_path = path;
    reading_line = 0;
    refused_tail_clear(&file_refused);
    uint32_t line_start = 0;
    for (;;) {
        line_start = refused_tail_mark(f);
        if (vfs_scanf(f, " [ %f %f %f ] %f %1023s %1023s %1023s ", &x, &h, &z, &angle, names[0], names[1],
                      names[2]) != 7)
            break;
        const char* given[3];
        for (int i = 0; i < 3; ++i)
            given[i] = strcmp(names[i], "null") == 0 ? nullptr : names[i];
        ++reading_line;
        if (create_statue(x, h, z, angle, given[0], given[1], given[2]) < 0)
            break;
    }
    // A bound, a line that does not parse or the end: the rest goes back at a save. A
    // file read past its bound goes back as it was.
    if (vfs_bound_passed(f, path, kStatuesFileMax, "Statues"))
        keep_file_as_it_was();
    else
        refused_tail_take(&file_refused, f, path, line_start);
    reading_path = nullptr;
    vfs_close(f);
}

int statues_write_to(vfs_file* f)
{
    auto name = [](const char* n) { return n ? n : "null"; };
    for (int32_t i = first_track_statue; i < statue_count(); ++i) {
        const statue* s = statue_at(i);
        if (s->from_script)
            continue;
        vfs_printf(f, "[%f %f %f] %f %s %s %s\n", s->x, s->height_above_ground, s->z, s->angle, name(s->model_file),
                   name(s->texture_file), name(s->shape_file));
    }
    return refused_tail_put(&file_refused, f);
}

int statues_file_kept()
{
    return file_refused.too_long ? 1 : 0;
}

int write_statues()
{
    if (refused_tail_keeps_file(&file_refused, "statues"))
        return 1;
    return track_file_write("statues", [](vfs_file* f, void*) { return statues_write_to(f); });
}
