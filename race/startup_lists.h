// What start-up builds for the menus to choose from and the drawing to read: the
// demo list and the graphics parameters derived from the settings.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Demos of the file index ("demos/*.bvdemo"), full data names and short names.
extern std::vector<std::string> demo_list_names;
extern std::vector<std::string> demo_list_short;
// The part after the last "/" and before the last "."; empty when that "." does not
// come after the "/".
std::string demo_short_name(const char* name);
// Collects the list from the file index; logs each pair when verbose.
void demo_list_build(int verbose);
void demo_list_free();

// The graphics parameters the settings give (before the command line may override).
struct derived_graphics {
    float terrain_error;
    int32_t ground_texture_drop;
    int32_t model_texture_drop;
    int32_t ground_texture_dim_index;
    float lod_scale;
    float lod_bias;
    int32_t texture_compress;
    int32_t roost_density;
    int32_t reflections;
};
derived_graphics derive_graphics(double ground_detail, double ground_texture_detail,
                                 double model_texture_detail, int32_t dim_index, double model_detail,
                                 int32_t texture_compress, double roost_density, int32_t reflections);
// Stores the derivation of the current settings in the drawing's parameters.
void graphics_parameters_apply();
