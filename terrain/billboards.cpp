// The "billboards" file, one sprite per line, read with the data-file scanner:
//   [ x h z ] size aspect name
// h = height above the ground. "#rrggbb#name" colours the sprite (alpha 255).
// Reading stops at the first line without all six values. The writer puts back
// the billboards from the first track billboard on, the colour prefix only when
// the colour is not white (alpha is not written), and then what the load left out.
#include "terrain/billboards.h"

#include "foundation/front_door.h"
#include "foundation/text/scan.h"
#include "foundation/text/text_util.h"
#include "foundation/vfs/vfs.h"
#include "gfx/texture_cache.h"
#include "terrain/refused_tail.h"
#include "terrain/statues.h"
#include "terrain/terrain_files.h"
#include "terrain/terrain_queries.h"
#include "terrain/track_list.h"

#include <cctype>
#include <cstring>

growable_array billboards;
growable_array billboard_work;
int32_t first_track_billboard;

namespace {

refused_tail file_refused;   // what the track's billboards file was refused at its load
const char* reading_path = nullptr;   // the billboards file being read, for the refusal line
int32_t reading_line = 0;
bool refusal_logged = false;

// Logs the first refusal since the reset.
void refuse()
{
    if (refusal_logged)
        return;
    refusal_logged = true;
    char line[1200];
    if (reading_path)
        format_string(line, sizeof line, "Billboards file %.900s: line %d and later refused, more than 65536 billboards",
                      reading_path, int(reading_line));
    else
        format_string(line, sizeof line, "Billboard refused: more than 65536 billboards");
    console_print(line);
}

}  // namespace

void billboard_release(billboard* b)
{
    track_object_name_free(b->name, b->from_script);
    b->name = nullptr;
}

void billboards_free()
{
    for (int32_t i = 0; i < billboard_count(); ++i)
        billboard_release(billboard_at(i));
    array_free(&billboards);
    array_free(&billboard_work);
    billboards = {};
    billboard_work = {};
    first_track_billboard = 0;
    refusal_logged = false;
    refused_tail_clear(&file_refused);
}

void billboards_reset()
{
    billboards_free();
    array_init(&billboards, sizeof(billboard));
    array_init(&billboard_work, 4);
}

const char* billboard_colour_prefix(const char* name, uint8_t rgba[4])
{
    rgba[0] = rgba[1] = rgba[2] = rgba[3] = 255;
    if (!name || strlen(name) <= 7 || name[0] != '#' || name[7] != '#')
        return name;
    for (int i = 1; i < 7; ++i)
        if (!isxdigit(static_cast<unsigned char>(name[i])))
            return name;
    unsigned int rgb = 0;
    if (scan_string(name, "#%x#", &rgb) != 1)
        return name;
    rgba[0] = static_cast<uint8_t>(rgb >> 16);
    rgba[1] = static_cast<uint8_t>(rgb >> 8);
    rgba[2] = static_cast<uint8_t>(rgb);
    return name + 8;
}

int create_billboard(float x, float height_above_ground, float z, float size, float aspect, const char* name)
{
    if (billboards.element_size == 0)
        billboards_reset();
    if (billboards.count >= kMaxBillboards) {
        refuse();
        return -1;
    }
    billboard b{};
    b.from_script = track_objects_from_script != 0;
    name = billboard_colour_prefix(name, b.colour);
    b.texture = name ? track_loaders.texture_load(name) : 0;
    b.name = track_object_name(name, b.from_script);
    b.x = x;
    b.y = terrain_height_at(&track_terrain, x, z) + height_above_ground;
    b.z = z;
    b.size = size;
    b.height_above_ground = height_above_ground;
    b.aspect = aspect;
    const uint32_t zero = 0;
    if (!array_push(&billboard_work, &zero) || !array_push(&billboard_work, &zero))
        return -1;
    if (!array_push(&billboards, &b)) {
        billboard_work.count -= 2;
        return -1;
    }
    return billboards.count - 1;
}

void billboards_read(const char* path)
{
    vfs_file* f = vfs_open(path, "rb");
    if (!f)
        return;
    float x, h, z, size, aspect;
    char name[1024];
    reading_path = path;
    reading_line = 0;
    refused_tail_clear(&file_refused);
    uint32_t line_start = 0;
    for (;;) {
        line_start = refused_tail_mark(f);
        if (vfs_scanf(f, " [ %f %f %f ] %f %f %1023s ", &x, &h, &z, &size, &aspect, name) != 6)
            break;
        ++reading_line;
        if (billboards.count >= kMaxBillboards) {
            refuse();
            break;
        }
        if (create_billboard(x, h, z, size, aspect, name) < 0)
            refused_tail_drop(&file_refused, f, line_start);
    }
    // The bound, a line that does not parse or the end: the rest goes back at a save.
    refused_tail_take(&file_refused, f, path, line_start);
    reading_path = nullptr;
    vfs_close(f);
}

int billboards_write_to(vfs_file* f)
{
    for (int32_t i = first_track_billboard; i < billboard_count(); ++i) {
        const billboard* b = billboard_at(i);
        if (b->from_script)
            continue;
        // The name as given survives a texture that failed to load.
        const char* name = b->name ? b->name : texture_name(b->texture);
        if (!name)
            continue;
        vfs_printf(f, "[%f %f %f] %f %f ", b->x, b->height_above_ground, b->z, b->size, b->aspect);
        if (b->colour[0] == 255 && b->colour[1] == 255 && b->colour[2] == 255)
            vfs_printf(f, "%s\n", name);
        else
            vfs_printf(f, "#%02x%02x%02x#%s\n", b->colour[0], b->colour[1], b->colour[2], name);
    }
    return refused_tail_put(&file_refused, f);
}

int billboards_file_kept()
{
    return file_refused.too_long ? 1 : 0;
}

int write_billboards()
{
    if (refused_tail_keeps_file(&file_refused, "billboards"))
        return 1;
    return track_file_write("billboards", [](vfs_file* f, void*) { return billboards_write_to(f); });
}
