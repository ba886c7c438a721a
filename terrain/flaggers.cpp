// The "flaggers" file, read with the data-file scanner (line breaks are spaces):
//   [ x h z ] [ vx vy vz ] size aspect extra  name1 .. name5    sprite 1 and its textures
//   [ x h z ] size aspect                     name1 .. name4    sprite 2 and its textures
//   [ x h z ] size aspect g1 g2 g3 g4         nameA nameB       one per flagger
#include "terrain/flaggers.h"

#include "foundation/text/scan.h"
#include "foundation/vfs/vfs.h"
#include "terrain/billboards.h"
#include "terrain/statues.h"
#include "terrain/timing_gates.h"

#include <algorithm>

growable_array flaggers;
flagger_template flagger_head;

namespace {

// Reads count names; their textures go to textures. The first name is returned in first.
bool read_names(vfs_file* f, int count, uint32_t* textures, char first[1024])
{
    char name[1024];
    for (int i = 0; i < count; ++i) {
        if (vfs_scanf(f, " %1023s ", name) != 1)
            return false;
        if (i == 0)
            std::copy(name, name + 1024, first);
        textures[i] = track_loaders.texture_load(name);
    }
    return true;
}

}  // namespace

void flaggers_free()
{
    array_free(&flaggers);
    flaggers = {};
    flagger_head = {};
    flagger_head.sprite1_billboard = flagger_head.sprite2_billboard = -1;
}

void flaggers_reset()
{
    flaggers_free();
    array_init(&flaggers, sizeof(flagger));
}

void flaggers_read(const char* path)
{
    if (flaggers.element_size == 0)
        flaggers_reset();
    vfs_file* f = vfs_open(path, "rb");
    if (!f)
        return;
    flagger_template& head = flagger_head;
    float p[3], size, aspect;
    char first[1024];
    if (vfs_scanf(f, " [ %f %f %f ] [ %f %f %f ] %f %f %f ", &p[0], &p[1], &p[2], &head.sprite1_vector[0],
                  &head.sprite1_vector[1], &head.sprite1_vector[2], &size, &aspect, &head.sprite1_extra) != 9 ||
        !read_names(f, 5, head.sprite1_textures, first)) {
        vfs_close(f);
        return;
    }
    std::copy(p, p + 3, head.sprite1_from);
    head.sprite1_billboard = create_billboard(p[0], p[1], p[2], size, aspect, first);
    if (vfs_scanf(f, " [ %f %f %f ] %f %f ", &p[0], &p[1], &p[2], &size, &aspect) != 5 ||
        !read_names(f, 4, head.sprite2_textures, first)) {
        vfs_close(f);
        return;
    }
    head.sprite2_billboard = create_billboard(p[0], p[1], p[2], size, aspect, first);
    const int32_t last_gate = timing_gates.checkpoint_count - 1;
    flagger fl{};
    uint32_t textures[2];
    while (vfs_scanf(f, " [ %f %f %f ] %f %f %d %d %d %d", &p[0], &p[1], &p[2], &size, &aspect, &fl.gates[0],
                     &fl.gates[1], &fl.gates[2], &fl.gates[3]) == 9 &&
           read_names(f, 2, textures, first)) {
        for (int32_t& g : fl.gates)
            g = std::clamp(g, -1, std::max(last_gate, -1));
        fl.billboard = create_billboard(p[0], p[1], p[2], size, aspect, first);
        fl.texture_a = textures[0];
        fl.texture_b = textures[1];
        array_push(&flaggers, &fl);
    }
    vfs_close(f);
}
