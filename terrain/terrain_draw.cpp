// The terrain draw of a frame: marks, mesh and flush with the detail textures under
// the track's light.
#include "gfx/gl_layer.h"
#include "gfx/shaders.h"
#include "gfx/view_frustum.h"
#include "terrain/grid_index.h"
#include "terrain/lighting.h"
#include "terrain/terrain_lod.h"
#include "terrain/terrain_textures.h"

#include <climits>

using namespace terrain_detail;

void terrain_draw(terrain_state* t)
{
    if (!t->heights || !t->vertex_array || t->size < 3)
        return;
    bvglBindVertexArray(t->vertex_array);
    bvglBindBuffer(GL_ARRAY_BUFFER, t->vertex_buffer);
    bvglActiveTexture(GL_TEXTURE3);
    bvglBindTexture(GL_TEXTURE_2D, t->heights_texture);
    bvglActiveTexture(GL_TEXTURE0);

    const float* d = t->view_direction;
    t->camera_cell_x = floor_index(double(t->camera_position[0]) * t->inv_cell);
    t->camera_cell_z = floor_index(double(t->camera_position[2]) * t->inv_cell);
    t->view_sign_mask = (d[0] >= 0 ? 1 : 0) | (d[1] >= 0 ? 2 : 0) | (d[2] >= 0 ? 4 : 0);
    t->mesh_vertex_count = 0;
    t->draw_segments.count = 0;
    t->polygons_drawn = 0;
    terrain_lod_mark(t);

    bvglDisable(GL_BLEND);
    gl_use_shader(shader_terrain);
    gl_uniform_ambient(lighting.ambient[0], lighting.ambient[1], lighting.ambient[2], 1.0f);
    gl_uniform_diffuse(lighting.sun_color[0], lighting.sun_color[1], lighting.sun_color[2]);
    gl_uniform_specular_color(lighting.sun_color[0], lighting.sun_color[1], lighting.sun_color[2]);

    const view_frustum view = gl_current_frustum();
    terrain_mesh_build(t, &view);
    terrain_mesh_flush(t);

    gl_use_shader(shader_unlit);
    for (GLenum unit : {GL_TEXTURE3, GL_TEXTURE2, GL_TEXTURE1, GL_TEXTURE0}) {
        bvglActiveTexture(unit);
        bvglBindTexture(GL_TEXTURE_2D, 0);
    }
    bvglBindBuffer(GL_ARRAY_BUFFER, 0);
    bvglBindVertexArray(0);
    // Signed overflow is undefined: wrap by hand, skipping 0.
    t->draw_counter = t->draw_counter == INT_MAX ? 1 : t->draw_counter + 1;
}
