// "texturelist", the older tile list, and the items of a "roost" line.
//
// texturelist: one tile per line, "<friction> <roll a> <roll b> <texture name>\n"; a
// line with fewer than three numbers is a texture name alone (friction 1.0, roll
// resistance 5.0 and 15.0). The name is a data name without its "@". Blank lines
// are skipped; at most 256 tiles.
//
// roost items: key=value, separated by blank, form feed, LF, CR, tab or backspace;
// a double-quoted stretch keeps its separators and loses the quotes.
#include "terrain/terrain_tiles_read.h"

#include "foundation/text/scan.h"
#include "foundation/text/text_util.h"
#include "foundation/vfs/vfs.h"
#include "foundation/front_door.h"
#include "terrain/tile_materials.h"

#include <cmath>
#include <cstring>

namespace {

bool separator(char c)
{
    return c == ' ' || c == '\f' || c == '\n' || c == '\r' || c == '\t' || c == '\b';
}

uint8_t colour_byte(float v)
{
    const float i = std::trunc(v);
    return uint8_t(i < 0.0f ? 0.0f : (i > 255.0f ? 255.0f : i));
}

// Change per second to a whole change per tick (1/128 s), kept in a signed byte.
int8_t fade_per_tick(float v)
{
    const float i = std::trunc(v / 128.0f);
    return int8_t(i < -128.0f ? -128.0f : (i > 127.0f ? 127.0f : i));
}

void roost_item(const std::string& item, roost_type* r, terrain_texture_loader load)
{
    const size_t eq = item.find('=');
    const std::string key = item.substr(0, eq == std::string::npos ? item.size() : eq);
    const char* value = eq == std::string::npos ? "" : item.c_str() + eq + 1;
    if (key == "texture" && eq != std::string::npos) {
        r->texture = load ? load(value) : 0;
        return;
    }
    struct float_key {
        const char* name;
        float* field;
    };
    const float_key floats[] = {
        {"count", &r->count},         {"dig", &r->dig},         {"slip_threshold", &r->slip_threshold},
        {"slow_angle", &r->slow_angle}, {"fast_angle", &r->fast_angle}, {"slow_speed", &r->slow_speed},
        {"fast_speed", &r->fast_speed}, {"size", &r->size},     {"grow", &r->grow},
        {"drag", &r->drag},           {"vscale", &r->vscale},   {"randomize", &r->randomize},
    };
    const char* bytes[] = {"r", "g", "b", "a"};
    const char* fades[] = {"fade_r", "fade_g", "fade_b", "fade_a"};

    bool known = key == "splash";
    for (const float_key& k : floats)
        known = known || key == k.name;
    for (int c = 0; c < 4; ++c)
        known = known || key == bytes[c] || key == fades[c];
    if (!known || eq == std::string::npos) {
        char text[128];
        format_string(text, sizeof text, "tileinfo warning: unknown roost parameter '%.40s'\n", item.c_str());
        console_print(text);
        return;
    }
    float v = 0;
    if (scan_string(value, "%f", &v) != 1 || !std::isfinite(v)) {
        char text[128];
        format_string(text, sizeof text, "tileinfo warning: bad %.40s\n", key.c_str());
        console_print(text);
        return;
    }
    if (key == "splash") {
        if (v != 0.0f)
            r->mode = 2;
        return;
    }
    for (const float_key& k : floats)
        if (key == k.name)
            *k.field = v;
    for (int c = 0; c < 4; ++c) {
        if (key == bytes[c])
            r->colour[c] = colour_byte(v);
        if (key == fades[c])
            r->fade[c] = fade_per_tick(v);
    }
}

}  // namespace

void terrain_parse_roost(const char* items, roost_type* r, terrain_texture_loader load)
{
    const char* p = items;
    for (;;) {
        while (*p && separator(*p))
            ++p;
        if (!*p)
            return;
        std::string item;
        bool quoted = false;
        for (; *p && (quoted || !separator(*p)); ++p) {
            if (*p == '"')
                quoted = !quoted;
            else
                item += *p;
        }
        roost_item(item, r, load);
    }
}

int terrain_read_texturelist(terrain_state* t, vfs_file* f, terrain_texture_loader load,
                             std::vector<std::string>* names)
{
    t->tile_count = 0;
    char line[1024];
    while (t->tile_count < kTerrainMaxTiles && terrain_read_line(f, line, sizeof line)) {
        // Only the line end goes: a last line without one keeps its last letter, and
        // a CRLF file leaves no CR in the name.
        line[strcspn(line, "\r\n")] = '\0';
        if (line[strspn(line, " \t\f\v")] == '\0')
            continue;
        float friction = 1.0f, a = 5.0f, b = 15.0f;
        int name_at = -1;
        const char* name = line;
        if (scan_string(line, "%f %f %f %n", &friction, &a, &b, &name_at) == 3 && name_at >= 0)
            name = line + name_at;
        else {
            friction = 1.0f;
            a = 5.0f;
            b = 15.0f;
        }
        const int tile = t->tile_count;
        // The tile keeps the name and slip function the record held.
        char kept_name[kTerrainTileNameSize];
        memcpy(kept_name, t->tile_names[tile], sizeof kept_name);
        const int32_t kept_slip = t->slip_function[tile];
        terrain_tile_defaults(t, tile);
        memcpy(t->tile_names[tile], kept_name, sizeof kept_name);
        t->slip_function[tile] = kept_slip;
        for (int k = 0; k < kTerrainCurvePoints; ++k) {
            t->friction_values[tile][k] = friction;
            t->roll_resist[tile][k][0] = a;
            t->roll_resist[tile][k][1] = b;
        }
        t->roost_types[tile][0].mode = 1;
        t->roost_types[tile][0].texture = load ? load("@roost.png") : 0;
        const std::string texture = std::string("@") + name;
        t->tile_textures[tile] = load ? load(texture.c_str()) : 0;
        if (names)
            names->push_back(texture);
        ++t->tile_count;
    }
    return t->tile_count;
}
