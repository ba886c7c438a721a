#include "race/startup_lists.h"

#include "foundation/file_index.h"
#include "gfx/model_scene.h"
#include "gfx/texture_settings.h"
#include "platform/qorl_log.h"
#include "race/settings_values.h"
#include "sim/wheel_sampling.h"
#include "terrain/terrain_settings.h"

#include <algorithm>
#include <cstring>

std::vector<std::string> demo_list_names;
std::vector<std::string> demo_list_short;

std::string demo_short_name(const char* name)
{
    const char* slash = strrchr(name, '/');
    const char* dot = strrchr(name, '.');
    const char* start = slash ? slash + 1 : name;
    if (!dot || dot < start)
        return "";
    return std::string(start, dot);
}

void demo_list_build(int verbose)
{
    demo_list_free();
    for (int i = 0; const file_index_entry* e = file_index_get(i); ++i) {
        const char* name = e->relative_name;
        const size_t n = strlen(name);
        if (strncmp(name, "demos/", 6) != 0 || n < 7 || strcmp(name + n - 7, ".bvdemo") != 0)
            continue;
        demo_list_names.emplace_back(name);
        demo_list_short.push_back(demo_short_name(name));
        if (verbose)
            qorl_log("%s -> %s\n", name, demo_list_short.back().c_str());
    }
}

void demo_list_free()
{
    demo_list_names.clear();
    demo_list_names.shrink_to_fit();
    demo_list_short.clear();
    demo_list_short.shrink_to_fit();
}

derived_graphics derive_graphics(double ground_detail, double ground_texture_detail,
                                 double model_texture_detail, int32_t dim_index, double model_detail,
                                 int32_t texture_compress, double roost_density, int32_t reflections)
{
    derived_graphics g{};
    g.terrain_error = float(0.125 / ground_detail);
    g.ground_texture_drop = int32_t(std::clamp(10 - ground_texture_detail, 0.0, 10.0));
    g.model_texture_drop = int32_t(std::clamp(10 - model_texture_detail, 0.0, 10.0));
    g.ground_texture_dim_index = dim_index;
    double s = std::clamp(100 - model_detail, 0.0, 100.0) * 0.02;
    if (s > 1)
        s = s * s * s;
    g.lod_scale = float(s);
    g.lod_bias = float(50 - 50 * std::clamp((model_detail - 10) * 0.05, 0.0, 1.0));
    g.texture_compress = texture_compress;
    g.roost_density = int32_t(roost_density);
    g.reflections = reflections;
    return g;
}

void graphics_parameters_apply()
{
    const graphics_values& v = graphics_settings;
    const derived_graphics g =
        derive_graphics(v.ground_detail, v.ground_texture_detail, v.model_texture_detail,
                        v.ground_texture_dim_new, v.model_detail, v.texture_compress, v.roost_density,
                        v.reflections);
    terrain_error_scale = g.terrain_error;
    texture_detail_drop = g.model_texture_drop;
    terrain_texture_dim_index = g.ground_texture_dim_index;
    lod_scale = g.lod_scale;
    lod_bias = g.lod_bias;
    texture_compress = g.texture_compress;
    roost_density = g.roost_density;
    reflections = g.reflections;
    terrain_ground_mipmaps = v.ground_mipmaps;
}
