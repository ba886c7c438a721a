#include "editor/edinfo.h"

#include "editor/editor_state.h"
#include "editor/gradients.h"
#include "foundation/vfs/vfs.h"
#include "terrain/track_list.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

// The text after the keyword when the line's first word is exactly it; null otherwise.
const char* after_keyword(const char* line, const char* keyword)
{
    const size_t n = strlen(keyword);
    if (strncmp(line, keyword, n) != 0)
        return nullptr;
    const char c = line[n];
    if (c != '\0' && !isspace(static_cast<unsigned char>(c)))
        return nullptr;
    return line + n;
}

bool finite(float a, float b, float c = 0.0f, float d = 0.0f)
{
    return std::isfinite(a) && std::isfinite(b) && std::isfinite(c) && std::isfinite(d);
}

}  // namespace

void edinfo_read()
{
    const std::string path = std::string("@") + (track_folder ? track_folder : "") + "/edinfo";
    vfs_file* f = vfs_open(path.c_str(), "rb");
    if (!f)
        return;
    char line[1000];
    while (vfs_gets(f, line, sizeof line)) {
        const char* p = line;
        while (*p && isspace(static_cast<unsigned char>(*p)))
            ++p;
        if (const char* rest = after_keyword(p, "add_gradient")) {
            float sx, sz, ex, ez;
            if (sscanf(rest, "%f %f %f %f", &sx, &sz, &ex, &ez) != 4 || !finite(sx, sz, ex, ez))
                continue;
            const int before = editor_state.selected_gradient;
            const int count = gradient_count();
            gradient_new();
            if (gradient_count() == count) {
                editor_state.selected_gradient = before;
                continue;
            }
            gradient* g = selected_gradient_record();
            g->start_x = sx;
            g->start_z = sz;
            g->end_x = ex;
            g->end_z = ez;
            g->points.count = 0;
            g->kinds.count = 0;
        } else if (const char* rest = after_keyword(p, "add_point")) {
            int kind;
            float d, height;
            if (sscanf(rest, "%d %f %f", &kind, &d, &height) != 3 || !finite(d, height))
                continue;
            if (gradient* g = selected_gradient_record())
                gradient_push_point(g, d, height, kind);
        }
    }
    vfs_close(f);
}

int edinfo_write(vfs_file* f, void*)
{
    int ok = 1;
    for (int i = 0; i < gradient_count(); ++i) {
        const gradient* g = gradient_at(i);
        if (vfs_printf(f, "add_gradient %f %f %f %f\n", g->start_x, g->start_z, g->end_x, g->end_z) < 0)
            ok = 0;
        const auto* points = static_cast<const gradient_point*>(g->points.items);
        const auto* kinds = static_cast<const uint8_t*>(g->kinds.items);
        for (int j = 0; j < g->points.count && j < g->kinds.count; ++j)
            if (vfs_printf(f, "add_point %d %f %f\n", kinds[j] == 1 ? 1 : 0, points[j].distance,
                           points[j].height) < 0)
                ok = 0;
    }
    return ok;
}
