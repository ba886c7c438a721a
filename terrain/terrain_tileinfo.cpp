// "tileinfo": keyword lines of up to 1023 characters, one working tile at a time.
//
//   name <text>                      texture <data name>
//   friction <f> <speed>             up to 8, sorted by speed when stored
//   slip_function <0|1|2>            roll_resist <a> <b> <key>   up to 8, by key
//   roost <key=value ...>            up to 4 dirt-spray types
//   erode_<param> <f>                erode_limit <depth> <first> <second>  rising depths
//   addtile                          stores the working tile and starts a fresh one
//
// Leading blanks and tabs are skipped; the keyword ends at a blank, tab or line end;
// the value is the rest after blanks and tabs, cut at the first CR or LF.
#include "terrain/terrain_tiles_read.h"

#include "foundation/text/scan.h"
#include "foundation/text/text_util.h"
#include "foundation/vfs/vfs.h"
#include "foundation/front_door.h"
#include "terrain/tile_materials.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace {

constexpr float kMaxSpeed = 1048575.0f;
constexpr float kMinRollKey = 0.0000009536743f;  // 2^-20

struct working_tile {
    std::string name;
    bool named = false;
    std::string texture;
    uint32_t texture_id = 0;
    float friction[kTerrainCurvePoints][2];   // value, speed
    int friction_count = 0;
    int32_t slip = 0;
    float roll[kTerrainCurvePoints][3];       // a, b, key
    int roll_count = 0;
    roost_type roost[kTerrainRoostTypes];
    int roost_count = 0;
    tile_erode_params erode;

    working_tile()
    {
        for (int k = 0; k < kTerrainCurvePoints; ++k) {
            friction[k][0] = 1.0f;
            friction[k][1] = k == 0 ? 1.0f : kTerrainUnusedSpeed;
            roll[k][0] = 5.0f;
            roll[k][1] = 15.0f;
            roll[k][2] = k == 0 ? 1.0f : 0.0f;
        }
        for (roost_type& r : roost)
            roost_type_defaults(&r);
        tile_erode_params_defaults(&erode);
    }
};

void warn(const char* text)
{
    char line[1100];
    format_string(line, sizeof line, "tileinfo warning: %s\n", text);
    console_print(line);
}

// Bounded by cost, not by what a wheel digs (soft ground may want wide ruts): every rut
// point walks the square of the radius in grid points, so a radius of miles would stall
// the race, while 64 ft on a 1 ft grid is about 16,000 points a brush.
constexpr float kMaxErodeRadius = 64.0f;

bool finite_all(std::initializer_list<float> values)
{
    return std::all_of(values.begin(), values.end(), [](float v) { return std::isfinite(v); });
}

struct erode_key {
    const char* keyword;
    size_t offset;
};

#define BV_ERODE(field) {"erode_" #field, offsetof(tile_erode_params, field)}
constexpr erode_key kErodeKeys[] = {
    BV_ERODE(depth),           BV_ERODE(lower),           BV_ERODE(upper),          BV_ERODE(displacement),
    BV_ERODE(radius),          BV_ERODE(inner_depth),     BV_ERODE(inner_radius),   BV_ERODE(min_slope),
    BV_ERODE(max_slope),       BV_ERODE(off_speed),       BV_ERODE(on_speed),       BV_ERODE(slip_lower),
    BV_ERODE(slip_upper),      BV_ERODE(slip_base_scale), BV_ERODE(slip_scale),     BV_ERODE(downhill_scale),
    BV_ERODE(project_to_ground), BV_ERODE(lateral_scale), BV_ERODE(front_scale),
};
#undef BV_ERODE

// Stable sort of the first count rows of a float[][K] table.
template <size_t K, typename Less>
void sort_rows(float (*rows)[K], int count, Less less)
{
    std::vector<std::array<float, K>> copy(count);
    for (int i = 0; i < count; ++i)
        std::copy(rows[i], rows[i] + K, copy[i].begin());
    std::stable_sort(copy.begin(), copy.end(), [&](const auto& a, const auto& b) { return less(a.data(), b.data()); });
    for (int i = 0; i < count; ++i)
        std::copy(copy[i].begin(), copy[i].end(), rows[i]);
}

void store_tile(terrain_state* t, working_tile& w, std::vector<std::string>* names)
{
    const int tile = t->tile_count;
    terrain_tile_defaults(t, tile);
    const std::string& name = w.named ? w.name : w.texture;
    strncpy(t->tile_names[tile], name.c_str(), kTerrainTileNameSize - 1);
    t->tile_names[tile][kTerrainTileNameSize - 1] = '\0';

    sort_rows(w.friction, w.friction_count, [](const float* a, const float* b) { return a[1] < b[1]; });
    for (int k = 0; k < kTerrainCurvePoints; ++k) {
        t->friction_values[tile][k] = w.friction[k][0];
        t->friction_speeds[tile][k] = w.friction[k][1];
    }
    t->slip_function[tile] = w.slip;
    sort_rows(w.roll, w.roll_count, [](const float* a, const float* b) { return a[2] < b[2]; });
    for (int k = 0; k < kTerrainCurvePoints; ++k) {
        t->roll_resist[tile][k][0] = w.roll[k][0];
        t->roll_resist[tile][k][1] = w.roll[k][1];
        t->roll_resist_speeds[tile][k] = w.roll[k][2];
    }
    std::copy(w.roost, w.roost + kTerrainRoostTypes, t->roost_types[tile]);
    t->erode_params[tile] = w.erode;
    if (t->erode_params[tile].limit_count == 0) {
        t->erode_params[tile].limit_depth[0] = 0.0f;
        t->erode_params[tile].limit_first[0] = 1.0f;
        t->erode_params[tile].limit_second[0] = 1.0f;
        t->erode_params[tile].limit_count = 1;
    }
    t->tile_textures[tile] = w.texture_id;
    if (names)
        names->push_back(w.texture);
    ++t->tile_count;
}

// The two radii are held to what a rut point can afford, saying so with the file's name.
float erode_value(const erode_key& e, float v, const char* file_name)
{
    if ((e.offset != offsetof(tile_erode_params, radius) && e.offset != offsetof(tile_erode_params, inner_radius)) ||
        (v >= 0.0f && v <= kMaxErodeRadius))
        return v;
    const float held = v < 0.0f ? 0.0f : kMaxErodeRadius;
    char text[1100];
    format_string(text, sizeof text, "%s %g in %.900s held to %g", e.keyword, double(v), file_name, double(held));
    warn(text);
    return held;
}

void keyword_line(terrain_state* t, working_tile& w, const char* key, const char* value,
                  terrain_texture_loader load, std::vector<std::string>* names, const char* file_name)
{
    if (!strcmp(key, "name")) {
        w.name.assign(value, strnlen(value, kTerrainTileNameSize - 1));
        w.named = true;
    } else if (!strcmp(key, "texture")) {
        w.texture = value;
        w.texture_id = load ? load(value) : 0;
    } else if (!strcmp(key, "friction")) {
        float f = 0, speed = 0;
        if (scan_string(value, "%f %f", &f, &speed) != 2 || !finite_all({f, speed}))
            warn("bad friction parameters");
        else if (w.friction_count == kTerrainCurvePoints)
            warn("too many friction points");
        else {
            w.friction[w.friction_count][0] = f < 0.0f ? 0.0f : f;
            w.friction[w.friction_count][1] = speed > kMaxSpeed ? kMaxSpeed : speed;
            ++w.friction_count;
        }
    } else if (!strcmp(key, "slip_function")) {
        int slip = -1;
        if (scan_string(value, "%d", &slip) != 1 || slip < 0 || slip > 2)
            warn("bad slip_function");
        else
            w.slip = slip;
    } else if (!strcmp(key, "roll_resist")) {
        float a = 0, b = 0, k = 0;
        if (scan_string(value, "%f %f %f", &a, &b, &k) != 3 || !finite_all({a, b, k}))
            warn("bad roll_resist parameters");
        else if (w.roll_count == kTerrainCurvePoints)
            warn("too many roll_resist points");
        else {
            float* p = w.roll[w.roll_count++];
            p[0] = a < 0.0f ? 0.0f : a;
            p[1] = b < 0.0f ? 0.0f : b;
            p[2] = k < kMinRollKey ? kMinRollKey : k;
        }
    } else if (!strcmp(key, "roost")) {
        if (w.roost_count == kTerrainRoostTypes) {
            warn("too many roost types");
        } else {
            roost_type* r = &w.roost[w.roost_count++];
            roost_type_defaults(r);
            r->mode = 1;
            r->texture = load ? load("@roost.png") : 0;
            terrain_parse_roost(value, r, load);
        }
    } else if (!strcmp(key, "erode_limit")) {
        float depth = 0, first = 0, second = 0;
        tile_erode_params& e = w.erode;
        if (scan_string(value, "%f %f %f", &depth, &first, &second) != 3 || !finite_all({depth, first, second}))
            warn("bad erode_limit");
        else if (e.limit_count == kTerrainCurvePoints)
            warn("too many erode limits");
        else if (e.limit_count > 0 && !(depth > e.limit_depth[e.limit_count - 1]))
            warn("erode_limit depth <= prev depth");
        else {
            e.limit_depth[e.limit_count] = depth;
            e.limit_first[e.limit_count] = first;
            e.limit_second[e.limit_count] = second;
            ++e.limit_count;
        }
    } else if (!strcmp(key, "addtile")) {
        store_tile(t, w, names);
        w = working_tile();
    } else {
        for (const erode_key& e : kErodeKeys)
            if (!strcmp(key, e.keyword)) {
                float v = 0;
                // A value that reads as infinity would make the rut brushes loop for ever.
                if (scan_string(value, "%f", &v) != 1 || !std::isfinite(v)) {
                    char text[64];
                    format_string(text, sizeof text, "bad %s", e.keyword);
                    warn(text);
                } else {
                    v = erode_value(e, v, file_name);
                    memcpy(reinterpret_cast<char*>(&w.erode) + e.offset, &v, sizeof v);
                }
                return;
            }
        char text[1000];
        format_string(text, sizeof text, "Unknown identifier '%.950s'", key);
        warn(text);
    }
}

}  // namespace

char* terrain_read_line(vfs_file* f, char* line, int size)
{
    if (!vfs_gets(f, line, size))
        return nullptr;
    const size_t length = strlen(line);
    if (length + 1 == size_t(size) && line[length - 1] != '\n') {
        int c;
        do
            c = vfs_getc(f);
        while (c >= 0 && c != '\n');
    }
    return line;
}

int terrain_read_tileinfo(terrain_state* t, vfs_file* f, terrain_texture_loader load,
                          std::vector<std::string>* names, const char* file_name)
{
    t->tile_count = 0;
    working_tile w;
    char line[1024];
    while (t->tile_count < kTerrainMaxTiles && terrain_read_line(f, line, sizeof line)) {
        char* p = line;
        while (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n')
            ++p;
        if (!*p)
            continue;
        char* key_end = p;
        while (*key_end && *key_end != ' ' && *key_end != '\t' && *key_end != '\r' && *key_end != '\n')
            ++key_end;
        char* value = key_end;
        while (*value == ' ' || *value == '\t')
            ++value;
        value[strcspn(value, "\r\n")] = '\0';
        *key_end = '\0';
        keyword_line(t, w, p, value, load, names, file_name);
    }
    return t->tile_count;
}
