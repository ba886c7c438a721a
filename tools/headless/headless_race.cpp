#include "tools/headless/headless_race.h"

#include "gfx/gl_state.h"
#include "gfx/gl_table.h"
#include "race/demo/demo.h"
#include "race/race_rules.h"
#include "race/track_load.h"
#include "sim/ai_lines_learning.h"
#include "sim/physics_world.h"
#include "foundation/vfs/vfs.h"
#include "terrain/terrain_files.h"
#include "terrain/terrain_tiles_read.h"
#include "terrain/track_list.h"
#include "tools/headless/quiet_call.h"

#include <string>
#include <vector>

namespace headless {
namespace {

GLuint next_name = 1;
void APIENTRY names(GLsizei n, GLuint* out)
{
    for (GLsizei i = 0; i < n; ++i)
        out[i] = next_name++;
}

void quiet_gl()
{
#define BV_QUIET(type, name) gl.name = headless::quiet_call<type>::call;
    BV_GL_FUNCTIONS(BV_QUIET)
#undef BV_QUIET
    gl.GenTextures = names;
    gl.GenBuffers = names;
    gl.GenVertexArrays = names;
    gl.GenFramebuffers = names;
    gl_state_reset();
    for (int slot = 1; slot < gl_program_slots; ++slot)
        gl_state.program[slot] = GLuint(slot);
}

int heights_only(const char* folder)
{
    terrain_init(&track_terrain);
    uint8_t digest[20];
    if (!terrain_read_heights(&track_terrain, folder, digest)) {
        terrain_free(&track_terrain);
        return 0;
    }
    return 1;
}

}  // namespace

int ground_only(const char* folder)
{
    terrain_init(&track_terrain);
    uint8_t digest[20];
    if (!terrain_read_heights(&track_terrain, folder, digest) || !terrain_read_tilemap(&track_terrain, folder))
        return 0;
    vfs_file* f = vfs_open((std::string("@") + folder + "/tileinfo").c_str(), "rb");
    if (!f)
        return 0;
    std::vector<std::string> names;
    terrain_read_tileinfo(&track_terrain, f, [](const char*) { return uint32_t(0); }, &names);
    vfs_close(f);
    return 1;
}

void start()
{
    quiet_gl();
    physics_world_init();
    track_terrain_loader = heights_only;
}

void race_start()
{
    start();
    track_terrain_loader = ground_only;
    scan_tracks();
    race_rules_install();
    demo_install_hooks();
    ai_lines_learning_install();
}

}  // namespace headless
