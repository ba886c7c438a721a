// A model as POV-Ray "mesh2" text, one block per part ("union { ... }" around them
// when there is more than one). A block, numbers in "%f":
//
//   mesh2 {
//   \tvertex_vectors {\n\t\t<n>\n   then n lines "\t\t<x,y,z>," (no comma on the last), "\t}"
//   \tnormal_vectors { ... }       the normals, the same way
//   \tuv_vectors { ... }           "\t\t<u,v>" with the stored (flipped) v
//   \tface_indices { ... }         t lines "\t\t<i0,i1,i2>"
//   }
#include "gfx/model.h"

#include "foundation/vfs/vfs.h"

namespace {

const char* separator(int i, int count)
{
    return i + 1 < count ? "," : "";
}

void write_vectors(vfs_file* f, const char* title, const float* v, int n)
{
    vfs_printf(f, "\t%s {\n\t\t%d\n", title, n);
    for (int i = 0; i < n; ++i)
        vfs_printf(f, "\t\t<%f,%f,%f>%s\n", v[3 * i], v[3 * i + 1], v[3 * i + 2], separator(i, n));
    vfs_printf(f, "\t}\n");
}

void write_block(vfs_file* f, const model* part)
{
    const int n = part->vertex_count;
    const int t = part->triangle_count;
    vfs_printf(f, "mesh2 {\n");
    write_vectors(f, "vertex_vectors", part->positions, n);
    write_vectors(f, "normal_vectors", part->normals, n);
    vfs_printf(f, "\tuv_vectors {\n\t\t%d\n", n);
    for (int i = 0; i < n; ++i)
        vfs_printf(f, "\t\t<%f,%f>%s\n", part->texcoords[2 * i], part->texcoords[2 * i + 1], separator(i, n));
    vfs_printf(f, "\t}\n");
    vfs_printf(f, "\tface_indices {\n\t\t%d\n", t);
    for (int i = 0; i < t; ++i) {
        const uint32_t* tri = part->triangles + 3 * i;
        vfs_printf(f, "\t\t<%d,%d,%d>%s\n", static_cast<int>(tri[0]), static_cast<int>(tri[1]),
                   static_cast<int>(tri[2]), separator(i, t));
    }
    vfs_printf(f, "\t}\n");
    vfs_printf(f, "}\n");
}

}  // namespace

void model_write_pov(const model* m, vfs_file* f)
{
    if (!m || !f)
        return;
    if (!m->next_part) {
        write_block(f, m);
        return;
    }
    vfs_printf(f, "union {\n");
    for (const model* part = m; part; part = part->next_part)
        write_block(f, part);
    vfs_printf(f, "}\n");
}
