// ".shp" collision shape files. Text, numbers separated by any white space:
//
//   n                                            sphere count, 0..4096
//   cx cy cz radius friction spring damping      n times; centre in body space
//
// Every value must be finite, a radius 0..256 feet and a centre within the world of
// the loaded track (at least 1024 feet) of the body: a larger sphere would make every
// ground test under it, and the search for a free start spot, scan ground by the acre.
// A statue at the origin may carry a whole track's fence in world coordinates.
//
// A shape is one block: the collision_shape header, the n spheres, then the name.
#include "sim/shapes.h"
#include "foundation/door/data_name.h"

#include "foundation/front_door.h"
#include "foundation/growable_array.h"
#include "foundation/memory.h"
#include "foundation/text/scan.h"
#include "foundation/text/text_util.h"
#include "foundation/vfs/file_bound.h"
#include "foundation/vfs/vfs.h"
#include "terrain/track_list.h"

#include <cmath>
#include <cstring>
#include <initializer_list>

namespace {

constexpr float kMaxRadius = 256.0f;
constexpr float kMinCentreBound = 1024.0f;

growable_array cache{};   // of collision_shape*

// Why sphere s cannot be used, or null.
const char* sphere_fault(const shape_sphere& s)
{
    for (float v : {s.centre[0], s.centre[1], s.centre[2], s.radius, s.friction, s.spring, s.damping})
        if (!std::isfinite(v))
            return "a value that is not a number";
    if (s.radius < 0 || s.radius > kMaxRadius)
        return "a radius outside 0..256";
    for (float c : s.centre)
        if (std::fabs(c) > shape_centre_bound())
            return "a centre farther from the body than the world is wide";
    return nullptr;
}

size_t block_size(int32_t count, size_t name_length)
{
    return sizeof(collision_shape) + sizeof(shape_sphere) * static_cast<size_t>(count) + name_length + 1;
}

// Points the header's pointers into its own block.
void link_block(collision_shape* shape, int32_t count)
{
    shape->spheres = reinterpret_cast<shape_sphere*>(shape + 1);
    shape->name = reinterpret_cast<char*>(shape->spheres + count);
}

collision_shape* read_spheres(vfs_file* f, const char* name)
{
    int32_t count = 0;
    // A negative or absurd count would size the block wrongly: refuse it like a short file.
    if (vfs_scanf(f, "%d", &count) != 1 || count < 0 || count > kShapeMaxSpheres)
        return nullptr;
    const size_t name_length = strlen(name);
    auto* shape = static_cast<collision_shape*>(xmalloc(block_size(count, name_length)));
    link_block(shape, count);
    memcpy(shape->name, name, name_length + 1);
    shape->sphere_count = count;
    shape->source = nullptr;
    shape->shared = nullptr;
    float bound = 0;
    for (int32_t i = 0; i < count; ++i) {
        shape_sphere& s = shape->spheres[i];
        if (vfs_scanf(f, "%f", &s.centre[0]) != 1 || vfs_scanf(f, "%f", &s.centre[1]) != 1 ||
            vfs_scanf(f, "%f", &s.centre[2]) != 1 ||
            vfs_scanf(f, "%f %f %f %f", &s.radius, &s.friction, &s.spring, &s.damping) != 4) {
            mem_free(shape);
            return nullptr;
        }
        if (const char* fault = sphere_fault(s)) {
            char line[1200];
            format_string(line, sizeof line, "Shape file %.900s refused: sphere %d has %s", name, int(i), fault);
            console_print(line);
            mem_free(shape);
            return nullptr;
        }
        const float reach = std::sqrt(s.centre[0] * s.centre[0] + s.centre[1] * s.centre[1] +
                                      s.centre[2] * s.centre[2]) + s.radius;
        if (reach > bound)
            bound = reach;
    }
    shape->bound_radius = bound;
    return shape;
}

collision_shape* read_shape(const char* name)
{
    vfs_file* f = nullptr;
    if (vfs_open_bounded(&f, name, kShapeFileMax, "Shape") != 1)
        return nullptr;
    collision_shape* shape = read_spheres(f, name);
    // Numbers read past the bound are no shape's, however they parsed.
    if (vfs_bound_passed(f, name, kShapeFileMax, "Shape")) {
        mem_free(shape);
        shape = nullptr;
    }
    vfs_close(f);
    return shape;
}

collision_shape* copy_of(collision_shape* cached)
{
    const size_t size = block_size(cached->sphere_count, strlen(cached->name));
    auto* copy = static_cast<collision_shape*>(xmalloc(size));
    memcpy(copy, cached, size);
    link_block(copy, cached->sphere_count);
    copy->source = cached;
    copy->shared = nullptr;
    return copy;
}

}  // namespace

float shape_centre_bound()
{
    const float world = track_terrain.world_size;
    return world > kMinCentreBound ? world : kMinCentreBound;
}

collision_shape* shape_load(const char* requested)
{
    // Every spelling of one file is one record, and no name leads out of the data folders.
    std::string normal;
    if (!requested || !data_file_accept(requested, "Shape", &normal))
        return nullptr;
    const char* name = normal.c_str();
    for (int32_t i = 0; i < cache.count; ++i) {
        collision_shape* shape = static_cast<collision_shape**>(cache.items)[i];
        if (strcmp(shape->name, name) == 0)
            return shape;
    }
    collision_shape* shape = read_shape(name);
    if (!shape)
        return nullptr;
    if (!cache.items)
        array_init(&cache, sizeof(collision_shape*));
    array_push(&cache, &shape);   // a cache that cannot grow still hands the shape out
    return shape;
}

collision_shape* shape_instance(const char* name)
{
    collision_shape* cached = shape_load(name);
    return cached ? copy_of(cached) : nullptr;
}

collision_shape* shape_shared_instance(const char* name)
{
    collision_shape* cached = shape_load(name);
    if (cached && !cached->shared)
        cached->shared = copy_of(cached);
    return cached ? cached->shared : nullptr;
}

void shape_place(collision_shape* instance, const float position[3], const float rotation[9])
{
    // Only an instance has body-space centres to place from.
    const collision_shape* source = instance->source;
    if (!source)
        return;
    for (int32_t i = 0; i < instance->sphere_count; ++i) {
        const float* c = source->spheres[i].centre;
        float placed[3];
        for (int r = 0; r < 3; ++r)
            placed[r] = rotation[r * 3] * c[0] + rotation[r * 3 + 1] * c[1] + rotation[r * 3 + 2] * c[2] +
                        position[r];
        memcpy(instance->spheres[i].centre, placed, sizeof placed);
    }
}

const char* shape_name(const collision_shape* shape)
{
    return shape->name;
}

float shape_bound_radius(const collision_shape* shape)
{
    return shape->bound_radius;
}

int shape_get_sphere(const collision_shape* shape, int i, float centre[3], float* radius)
{
    if (i < 0 || i >= shape->sphere_count)
        return 0;
    memcpy(centre, shape->spheres[i].centre, sizeof(float) * 3);
    *radius = shape->spheres[i].radius;
    return 1;
}

void shapes_free_all()
{
    for (int32_t i = 0; i < cache.count; ++i) {
        collision_shape* shape = static_cast<collision_shape**>(cache.items)[i];
        mem_free(shape->shared);
        mem_free(shape);
    }
    array_free(&cache);
    cache = growable_array{};
}

int shape_cache_count()
{
    return cache.count;
}
