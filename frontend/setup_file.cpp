#include "frontend/setup_file.h"

#include "foundation/door/data_name.h"
#include "foundation/text/scan.h"
#include "foundation/vfs/vfs.h"
#include "foundation/door/whole_file.h"
#include "platform/qorl_log.h"
#include "frontend/settings.h"
#include "frontend/texture_choices.h"
#include "race/bike_setup.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace
{

enum class setup_kind { bike, text, graphics, stability, real, choice };

struct setup_key {
    const char* key;
    setup_kind kind;
    void* record; // the ui_choice, ui_slider or ui_text_field; null for graphics
    int index;    // graphics: which of the four
};

setup_key real(const char* key, ui_slider& s)
{
    return {key, setup_kind::real, &s, 0};
}
setup_key pick(const char* key, ui_choice& c)
{
    return {key, setup_kind::choice, &c, 0};
}
setup_key looks(const char* key, int i)
{
    return {key, setup_kind::graphics, nullptr, i};
}
ui_slider& adv(int i)
{
    return *advanced_stability_sliders[i];
}
ui_slider& susp(int i)
{
    return suspension_sliders[i];
}

// In the order setup_write writes them.
const setup_key setup_keys[kSetupKeys] = {
    {"bike", setup_kind::bike, &bike_choice, 0},
    {"name", setup_kind::text, &rider_name_field, 0},
    {"number", setup_kind::text, &rider_number_field, 0},
    looks("rider_texture", 0),
    looks("head_texture", 1),
    looks("bike_texture", 2),
    looks("wheel_texture", 3),
    {"stability", setup_kind::stability, &stability_slider, 0},
    real("leveling", adv(0)),
    real("roll_damping", adv(1)),
    real("roll_limit_angle", adv(2)),
    real("roll_limit_factor", adv(3)),
    real("steering_damping", adv(4)),
    real("steering_strength", adv(5)),
    real("max_steering_force", adv(6)),
    real("direct_steering", adv(7)),
    real("slow_damping_speed", adv(8)),
    real("slow_damping_factor", adv(9)),
    real("land_damping_rampup", adv(10)),
    real("land_damping_falloff", adv(11)),
    real("land_damping_factor", adv(12)),
    real("full_lock_speed", adv(13)),
    real("restricted_lock_speed", adv(14)),
    real("restricted_lock", adv(15)),
    pick("arcade", assist_choices[0]),
    pick("front_brake", assist_choices[1]),
    pick("rear_brake", assist_choices[2]),
    pick("stop_wheelies", assist_choices[3]),
    pick("auto_shift", assist_choices[4]),
    pick("auto_dab", assist_choices[5]),
    pick("auto_align", assist_choices[7]),
    pick("sticky_dab", assist_choices[6]),
    pick("reverse_steering", assist_choices[8]),
    pick("lean_indicator", assist_choices[9]),
    real("auto_clutch_rpms", bike_setup_sliders[0]),
    real("brake_torque", bike_setup_sliders[1]),
    real("rear_brake_torque", bike_setup_sliders[2]),
    real("max_dab_speed", bike_setup_sliders[3]),
    real("front_sprocket_adjustment", susp(13)),
    real("rear_sprocket_adjustment", susp(14)),
    real("fork_compression_adjustment", susp(0)),
    real("fork_slow_compression_adjustment", susp(1)),
    real("fork_rebound_adjustment", susp(2)),
    real("fork_slow_rebound_adjustment", susp(3)),
    real("fork_spring_rate_adjustment", susp(4)),
    real("fork_preload_adjustment", susp(5)),
    real("fork_oil_level_adjustment", susp(6)),
    real("shock_compression_adjustment", susp(7)),
    real("shock_slow_compression_adjustment", susp(8)),
    real("shock_rebound_adjustment", susp(9)),
    real("shock_slow_rebound_adjustment", susp(10)),
    real("shock_spring_rate_adjustment", susp(11)),
    real("shock_preload_adjustment", susp(12)),
    real("rider_yspring", susp(15)),
    real("rider_ydamping", susp(16)),
    real("rider_zspring", susp(17)),
    real("rider_zdamping", susp(18)),
    real("rider_mass_distribution", susp(19)),
};

// Setups written before the model years were added name the 2008 bikes.
constexpr const char* legacy_bikes[][2] = {
    {"crf250", "crf250(2008)"}, {"kx250f", "kx250f(2008)"}, {"rmz250", "rmz250(2008)"}, {"yz250f", "yz250f(2008)"},
};

void copy_cut(char* out, size_t capacity, const char* text)
{
    const size_t n = strnlen(text, capacity);
    memcpy(out, text, n);
    out[n] = '\0';
}

bool setup_name_ok(const char* name)
{
    return data_file_name_accept(name, "Setup");
}

int write_setup_file(vfs_file* f, void*)
{
    return setup_write(f);
}

void apply_setup_line(const char* key, const char* value)
{
    setup_parse(key, value);
}

}  // namespace

int setting_real(ui_slider* slider, const char* text)
{
    float v = 0;
    if (scan_string(text, "%f", &v) != 1 || v != v)
        return 0;
    double d = v;
    if (d < slider->min)
        d = slider->min;
    if (d > slider->max)
        d = slider->max;
    slider->value = d;
    return 1;
}

int setup_parse(const char* key, const char* value)
{
    const setup_key* k = nullptr;
    for (const setup_key& candidate : setup_keys)
        if (strcmp(candidate.key, key) == 0)
            k = &candidate;
    if (!k)
        return 0;
    switch (k->kind) {
    case setup_kind::bike:
        for (const auto& pair : legacy_bikes)
            if (strcmp(value, pair[0]) == 0)
                value = pair[1];
        ui_choice_select(&bike_choice, value);
        break;
    case setup_kind::text: {
        auto* field = static_cast<ui_text_field*>(k->record);
        ui_text_set(field, value);
        break;
    }
    case setup_kind::graphics:
        copy_cut(kept_graphics_names[k->index], kKeptNameSize - 1, value);
        break;
    case setup_kind::stability:
        setting_real(&stability_slider, value);
        stability_derive(int32_t(stability_slider.value));
        break;
    case setup_kind::real:
        setting_real(static_cast<ui_slider*>(k->record), value);
        break;
    case setup_kind::choice:
        ui_choice_select(static_cast<ui_choice*>(k->record), value);
        break;
    }
    return 1;
}

const char* graphics_name(int i)
{
    const ui_choice& c = *graphics_choices[i];
    if (!texture_lists_built() || c.selected < 0 || c.selected >= c.count)
        return kept_graphics_names[i];
    return c.items[c.selected];
}

int setup_write(vfs_file* f)
{
    bool ok = true;
    for (const setup_key& k : setup_keys) {
        int n = 0;
        switch (k.kind) {
        case setup_kind::text:
            n = setting_line_write(f, k.key, static_cast<ui_text_field*>(k.record)->buffer);
            break;
        case setup_kind::graphics:
            n = setting_line_write(f, k.key, graphics_name(k.index));
            break;
        case setup_kind::stability:
        case setup_kind::real:
            n = vfs_printf(f, "%s=%f\n", k.key, static_cast<ui_slider*>(k.record)->value);
            break;
        case setup_kind::bike:
        case setup_kind::choice: {
            const auto* c = static_cast<ui_choice*>(k.record);
            const bool valid = c->selected >= 0 && c->selected < c->count;
            n = setting_line_write(f, k.key, valid ? c->items[c->selected] : "");
            break;
        }
        }
        ok = ok && n >= 0;
    }
    return ok ? 1 : 0;
}

int setting_line_write(vfs_file* f, const char* key, const char* value)
{
    if (strpbrk(value, "\r\n")) {
        qorl_log("Setting %s not written: its value holds a line break or a carriage return\n", key);
        return 1;
    }
    if (strlen(key) + 1 + strlen(value) > size_t(kSettingLineMax)) {
        qorl_log("Setting %s not written: its line would be longer than %d characters\n", key, kSettingLineMax);
        return 1;
    }
    return vfs_printf(f, "%s=%s\n", key, value);
}

int setting_line_split(char* line, const char** key, const char** value)
{
    char* equals = strchr(line, '=');
    if (!equals)
        return 0;
    *equals = '\0';
    char* end = equals + 1 + strlen(equals + 1);
    while (end > equals + 1 && (end[-1] == '\r' || end[-1] == '\n'))
        *--end = '\0';
    *key = line;
    *value = equals + 1;
    return 1;
}

void setting_lines_read(vfs_file* f, const char* name, void (*apply)(const char* key, const char* value))
{
    // Each line is taken up to its line break. One longer than the buffer is read on
    // to its end and dropped, so that no part of it is ever taken as a line. A hand-
    // edited file's carriage return before the line break does not count.
    char line[kSettingLineMax + 2];
    long long number = 0;
    long long skipped = 0;
    for (int c = vfs_getc(f); c >= 0; c = vfs_getc(f)) {
        ++number;
        int stored = 0;
        bool whole = true;
        for (; c >= 0 && c != '\n'; c = vfs_getc(f)) {
            if (stored <= kSettingLineMax)
                line[stored++] = static_cast<char>(c);
            else
                whole = false;
        }
        if (stored > kSettingLineMax && line[kSettingLineMax] != '\r')
            whole = false;
        line[stored] = '\0';
        const char* key = nullptr;
        const char* value = nullptr;
        if (!whole) {
            if (++skipped == 1)
                qorl_log("'%s' line %lld skipped: longer than %d characters\n", name, number, kSettingLineMax);
        } else if (setting_line_split(line, &key, &value)) {
            apply(key, value);
        }
        if (c < 0)
            break;
    }
    if (skipped > 1)
        qorl_log("'%s': %lld more lines longer than %d characters skipped\n", name, skipped - 1, kSettingLineMax);
}

int setup_file_write(const char* name)
{
    if (!setup_name_ok(name))
        return 0;
    const std::string path = std::string("@setups/") + name;
    return whole_file_write(path.c_str(), write_setup_file, nullptr);
}

int setup_file_read(const char* name)
{
    if (!setup_name_ok(name))
        return 0;
    const std::string path = std::string("@setups/") + name;
    vfs_file* f = vfs_open(path.c_str(), "rb");
    if (!f)
        return 0;
    setting_lines_read(f, path.c_str(), apply_setup_line);
    vfs_close(f);
    return 1;
}
