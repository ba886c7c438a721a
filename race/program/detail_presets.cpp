#include "race/program/detail_presets.h"

#include "gfx/texture_settings.h"
#include "race/program/settings_values.h"

#include <type_traits>
#include <variant>

namespace {

// A slider (double) or a choice (item index) of the graphics settings, or the texture
// code's compression choice.
using setting = std::variant<double graphics_values::*, int32_t graphics_values::*, int*>;

template <typename M>
auto& value_of(M member)
{
    if constexpr (std::is_pointer_v<M>)
        return *member;
    else
        return graphics_settings.*member;
}

struct preset_row {
    setting value;
    double columns[kDetailPresets];
};

const preset_row preset_table[] = {
    {&graphics_values::terrain_resync_rate, {0, 0, 4, 8}},          // "Terrain Sync Rate"
    {&graphics_values::roost_density, {1000, 0, 1000, 1000}},      // "Roost Density"
    {&graphics_values::model_detail, {50, 25, 50, 75}},            // "Model Geometric Detail"
    {&graphics_values::use_shader, {1, 0, 1, 1}},                  // "Use Shader Programs"
    {&graphics_values::lens_flare, {1, 0, 1, 1}},                  // "Enable Lens Flares"
    {&graphics_values::reflections, {1, 0, 1, 1}},                 // "Enable Reflections"
    {&graphics_values::render_texture, {0, 2, 4, 4}},              // "Terrain Rendering Method"
    {&texture_compress, {0, 1, 1, 0}},                             // "Compress Textures"
    {&graphics_values::ground_mipmaps, {1, 1, 1, 1}},              // "Enable Ground Mipmaps"
    {&graphics_values::ground_texture_dim_new, {3, 3, 4, 5}},      // "Ground Texture Resolution"
    {&graphics_values::ground_texture_detail, {9, 7, 9, 10}},      // "Ground Texture Levels"
    {&graphics_values::model_texture_detail, {9, 7, 9, 10}},       // "Model Texture Detail"
    {&graphics_values::ground_detail, {70, 50, 70, 90}},           // "Ground Geometric Detail"
};

}  // namespace

void detail_preset_apply(int n)
{
    if (n < 0 || n >= kDetailPresets)
        return;
    for (const preset_row& row : preset_table)
        std::visit(
            [&](auto member) {
                auto& target = value_of(member);
                target = std::remove_reference_t<decltype(target)>(row.columns[n]);
            },
            row.value);
}

int detail_preset_matches(int n)
{
    if (n < 0 || n >= kDetailPresets)
        return 0;
    for (const preset_row& row : preset_table) {
        const bool same = std::visit([&](auto member) { return double(value_of(member)) == row.columns[n]; },
                                     row.value);
        if (!same)
            return 0;
    }
    return 1;
}
