#include "editor/pov_export.h"

#include "editor/editor_state.h"
#include "foundation/vfs/vfs.h"
#include "gfx/model.h"
#include "gfx/texture_cache.h"
#include "terrain/billboards.h"
#include "terrain/statues.h"
#include "terrain/terrain_state.h"
#include "terrain/track_list.h"

#include <cctype>
#include <cstring>
#include <vector>

std::string pov_identifier(const char* name)
{
    if (!name)
        return "_";
    if (*name == '@')
        ++name;
    const char* from = strrchr(name, '/');
    if (!from)
        from = name;
    const char* to = strrchr(from, '.');
    if (!to)
        to = from + strlen(from);
    std::string id;
    if (from < to && isdigit(static_cast<unsigned char>(*from)))
        id += '_';
    for (const char* p = from; p < to; ++p)
        id += isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
    return id;
}

namespace {

bool ends_ppm(const char* name)
{
    const size_t n = strlen(name);
    return n >= 5 && strcmp(name + n - 4, ".ppm") == 0;
}

int write_scene(vfs_file* f, void*)
{
    int ok = 1;
    auto put = [&](int written) { ok = written < 0 ? 0 : ok; };
    const int count = statue_count();
    if (count > 0) {
        std::vector<bool> covered(size_t(count), false);
        for (int m = 0; m < count; ++m) {
            const statue* s = statue_at(m);
            if (covered[size_t(m)] || !s->mesh || !s->model_file)
                continue;
            for (int k = m; k < count; ++k) {
                const statue* o = statue_at(k);
                if (o->mesh && o->model_file && strcmp(o->model_file, s->model_file) == 0)
                    covered[size_t(k)] = true;
            }
            put(vfs_printf(f, "#declare %s = ", pov_identifier(s->model_file).c_str()));
            model_write_pov(s->mesh, f);
        }
        put(vfs_printf(f, "#declare statues = union {\n"));
        for (int i = 0; i < count; ++i) {
            const statue* s = statue_at(i);
            if (!s->mesh)
                continue;
            put(vfs_printf(f, "\tobject {\n\t\t%s\n", pov_identifier(s->model_file).c_str()));
            if (s->texture && s->texture_file) {
                const char* t = s->texture_file[0] == '@' ? s->texture_file + 1 : s->texture_file;
                put(vfs_printf(f, "\t\ttexture { uv_mapping pigment { image_map { %s \"%s\"} } scale <1,-1,1> }\n",
                               ends_ppm(s->texture_file) ? "ppm" : "png", t));
            }
            const float* r = s->rotation;
            put(vfs_printf(f, "\t\tmatrix <%f,%f,%f,%f,%f,%f,%f,%f,%f,0,0,0>\n", double(r[0]), double(r[3]),
                           double(r[6]), double(r[1]), double(r[4]), double(r[7]), double(r[2]), double(r[5]),
                           double(r[8])));
            put(vfs_printf(f, "\t\ttranslate <%f,%f,%f>\n", double(s->x), double(s->y), double(s->z)));
            put(vfs_printf(f, "\t}\n"));
        }
        put(vfs_printf(f, "}\n"));
    }
    put(vfs_printf(f, "#declare billboards = union {\n"));
    for (int i = 0; i < billboard_count(); ++i) {
        const billboard* b = billboard_at(i);
        const char* name = b->texture ? texture_name(b->texture) : nullptr;
        if (!name || !*name)
            continue;
        put(vfs_printf(f, "object {\n\t%s()\n\ttranslate <%f,%f,%f>\n}\n", pov_identifier(name).c_str(),
                       double(b->x), double(b->y), double(b->z)));
    }
    put(vfs_printf(f, "}\n"));
    const terrain_state* t = editor_state.terrain;
    put(vfs_printf(f,
                   "#declare ground = height_field {\n\tpng \"terrain.png\"\n\tscale <1, 1, -1>\n"
                   "\ttranslate <0, 0, 1>\n\tscale <%f,%f,%f>\n\ttranslate <0,%f,0>\n}\n",
                   double(t->world_size), double(t->max_height - t->min_height), double(t->world_size),
                   double(t->min_height)));
    return ok;
}

}  // namespace

void pov_export()
{
    if (!editor_state.initialised)
        return;
    editor_state.status_text = track_file_write("track.pov", write_scene) ? "Pov!" : "Pov failed!";
}
