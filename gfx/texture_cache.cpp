// The texture table, the alias table and the load dispatch by the file's first word.
// "LINK" alias files:
//   the word "LINK", then the target texture name: the rest of the file (at most 1023
//   bytes) with leading and trailing white space removed; it may begin with '@' or '!'.
#include "gfx/texture_cache.h"

#include "gfx/anim_texture.h"
#include "gfx/gl_layer.h"
#include "gfx/image_chain.h"
#include "gfx/images.h"
#include "gfx/texture_settings.h"

#include "foundation/door/data_name.h"
#include "foundation/growable_array.h"
#include "foundation/intern.h"
#include "foundation/memory.h"
#include "foundation/text/scan.h"
#include "foundation/text/text_util.h"
#include "foundation/vfs/vfs.h"
#include "foundation/front_door.h"

#include <cctype>
#include <cstring>
#include <string>

uint32_t texture_generation = 0;

namespace {

constexpr const char* link_placeholder = "@colors/white.png";

struct texture_alias {
    const char* from;
    const char* to;
};

bool tables_made = false;
growable_array records;   // texture_record*
growable_array aliases;   // texture_alias
growable_array animations;   // anim_texture*

void make_tables()
{
    if (tables_made)
        return;
    array_init(&records, sizeof(texture_record*));
    array_init(&aliases, sizeof(texture_alias));
    array_init(&animations, sizeof(anim_texture*));
    tables_made = true;
}

texture_record*& record_at(int i)
{
    return static_cast<texture_record**>(records.items)[i];
}

texture_alias& alias_at(int i)
{
    return static_cast<texture_alias*>(aliases.items)[i];
}

anim_texture*& animation_at(int i)
{
    return static_cast<anim_texture**>(animations.items)[i];
}

template <typename T>
void remove_at(growable_array& array, int i)
{
    T* items = static_cast<T*>(array.items);
    memmove(items + i, items + i + 1, sizeof(T) * static_cast<size_t>(array.count - i - 1));
    --array.count;
}

bool same_ignoring_case(const char* a, const char* b)
{
    for (;; ++a, ++b) {
        if (tolower(static_cast<unsigned char>(*a)) != tolower(static_cast<unsigned char>(*b)))
            return false;
        if (!*a)
            return true;
    }
}

void print(const char* format, const char* text)
{
    char line[1100];
    format_string(line, sizeof line, format, text);
    console_print(line);
}

int repeat_flags(const char* name)
{
    if (strstr(name, "-repeat."))
        return texture_repeat_h | texture_repeat_v;
    int flags = 0;
    if (strstr(name, "-hrepeat."))
        flags |= texture_repeat_h;
    if (strstr(name, "-vrepeat."))
        flags |= texture_repeat_v;
    return flags;
}

// Links followed inside one another; each one is a level of recursion, so a long
// chain of distinct names must end before the stack does.
constexpr int kMaxLinkDepth = 16;
int link_depth = 0;

// A "LINK" file: the alias goes in first, pointing at the placeholder, so a request
// for this name while its target loads (a cycle) gets the placeholder instead.
uint32_t load_link(const char* name, vfs_file* f)
{
    if (link_depth >= kMaxLinkDepth) {
        vfs_close(f);
        print("Texture link chain longer than 16 at '%.900s'", name);
        return texture_load(link_placeholder);
    }
    texture_alias alias{intern_string(name), link_placeholder};
    const bool recorded = array_push(&aliases, &alias);
    const int alias_index = aliases.count - 1;

    char text[1024];
    const int n = vfs_read(f, text, 1023);
    vfs_close(f);
    text[n > 0 ? n : 0] = '\0';
    char* target = text;
    while (*target && isspace(static_cast<unsigned char>(*target)))
        ++target;
    for (char* end = target + strlen(target); end > target && isspace(static_cast<unsigned char>(end[-1]));)
        *--end = '\0';

    ++link_depth;
    const uint32_t id = texture_load(target);
    --link_depth;
    if (recorded && id) {
        for (int i = 0; i < records.count; ++i)
            if (record_at(i)->tid == id) {
                alias_at(alias_index).to = intern_string(record_at(i)->name);
                break;
            }
    }
    return id;
}

uint32_t load_png(const char* name, int detail_drop, int flags, int* w, int* h, char** info)
{
    uint8_t* pixels = nullptr;
    int channels = 0;
    if (!image_read_png(name, &pixels, w, h, &channels, info))
        return 0;
    if (*info && strstr(*info, "[compress]"))
        flags |= texture_compress_flag;
    if (texture_compress == 0)
        flags &= ~texture_compress_flag;
    else if (texture_compress == 2)
        flags |= texture_compress_flag;
    const uint32_t id = texture_reduce_upload(pixels, *w, *h, channels, detail_drop, flags, name);
    mem_free(pixels);
    if (!id) {
        mem_free(*info);
        *info = nullptr;
    }
    return id;
}

// The J and PPM formats; 0 when the reader or the upload fails.
uint32_t load_simple(const char* word, vfs_file* f, int detail_drop, int flags, const char* name, int* w, int* h)
{
    uint8_t* pixels = nullptr;
    int channels = 0, ok = 0;
    if (strcmp(word, "J7") == 0) {
        ok = image_read_j_rgba(word, f, &pixels, w, h);
        channels = 4;
    } else if (strcmp(word, "J6") == 0) {
        ok = image_read_j_rgb(word, f, &pixels, w, h);
        channels = 3;
    } else {
        ok = image_read_ppm(word, f, &pixels, w, h);
        channels = 3;
    }
    if (!ok) {
        print("Can't read texture \"%.900s\": bad header or data", name);
        return 0;
    }
    const uint32_t id = texture_reduce_upload(pixels, *w, *h, channels, detail_drop, flags, name);
    mem_free(pixels);
    return id;
}

void add_record(uint32_t id, const char* name, int64_t memory_before, char* info)
{
    const size_t length = strlen(name);
    auto* record = static_cast<texture_record*>(xmalloc(sizeof(texture_record) + length + 1));
    record->tid = id;
    record->generation = texture_generation;
    record->memory = static_cast<int32_t>(texture_memory - memory_before);
    record->info = info;
    record->name = reinterpret_cast<char*>(record + 1);
    memcpy(record->name, name, length + 1);
    if (!array_push(&records, &record)) {
        mem_free(info);
        mem_free(record);
    }
}

}  // namespace

uint32_t texture_load(const char* requested)
{
    make_tables();
    const int64_t memory_before = texture_memory;
    int detail_drop = texture_detail_drop;
    const char* name = requested;
    if (name[0] == '!') {
        detail_drop = 0;
        ++name;
    }
    // One record per file, under the name's one spelling; and a name from a track file
    // only leads down from the data folders.
    std::string normal;
    if (!data_file_accept(name, "Texture", &normal))
        return 0;
    name = normal.c_str();
    for (int i = 0; i < aliases.count; ++i)
        if (strcmp(alias_at(i).from, name) == 0) {
            if (alias_at(i).to)
                name = alias_at(i).to;
            break;
        }
    if (const uint32_t cached = texture_find(name))
        return cached;

    vfs_file* f = vfs_open(name, "rb");
    if (!f) {
        if (verbose_level)
            print("Can't open texture \"%.900s\"", name);
        return 0;
    }
    char word[16] = "";
    if (vfs_scanf(f, "%15s", word) != 1) {
        vfs_close(f);
        return 0;
    }
    const int flags = repeat_flags(name);

    uint32_t id = 0;
    int w = 0, h = 0;
    bool animated = false;
    char* info = nullptr;
    if (strcmp(word, "LINK") == 0)
        return load_link(name, f);
    if (strcmp(word, "J7") == 0 || strcmp(word, "J6") == 0 || strcmp(word, "P3") == 0 || strcmp(word, "P6") == 0) {
        // These formats are never compressed.
        id = load_simple(word, f, detail_drop, flags & ~texture_compress_flag, name, &w, &h);
    } else if (strcmp(word, "ANIM1") == 0) {
        id = anim_texture_load(f, flags);
        animated = id != 0;
    }
    vfs_close(f);
    // Whatever failed above ends on the PNG reader, which refuses such a file.
    if (!id)
        id = load_png(name, detail_drop, flags, &w, &h, &info);
    if (!id)
        return 0;

    if (!animated && (!is_power_of_two(w) || !is_power_of_two(h)))
        print("Warning: Non power of 2 texture '%.950s'", name);
    add_record(id, name, memory_before, info);
    return id;
}

uint32_t texture_find(const char* name)
{
    for (int i = 0; i < records.count; ++i) {
        texture_record* r = record_at(i);
        if (strcmp(r->name, name) != 0) {
            if (!same_ignoring_case(r->name, name))
                continue;
            print("Warning: case mismatch on '%.900s'", name);
        }
        if (r->generation != 0 && r->generation != texture_generation) {
            texture_memory += r->memory;
            r->generation = texture_generation;
        }
        return r->tid;
    }
    return 0;
}

const char* texture_name(uint32_t id)
{
    for (int i = 0; i < records.count; ++i)
        if (record_at(i)->tid == id)
            return record_at(i)->name;
    return nullptr;
}

const char* texture_info(uint32_t id)
{
    for (int i = 0; i < records.count; ++i)
        if (record_at(i)->tid == id)
            return record_at(i)->info;
    return nullptr;
}

void texture_purge(int all)
{
    for (int i = records.count - 1; i >= 0; --i) {
        texture_record* r = record_at(i);
        if (!all && (r->generation == 0 || r->generation == texture_generation))
            continue;
        if (verbose_level) {
            char line[1100];
            format_string(line, sizeof line, "deleting tid %d (%.900s)", static_cast<int>(r->tid), r->name);
            console_print(line);
        }
        bvglDeleteTextures(1, &r->tid);
        mem_free(r->info);
        mem_free(r);
        remove_at<texture_record*>(records, i);
    }
    for (int i = animations.count - 1; i >= 0; --i) {
        anim_texture* a = animation_at(i);
        if (texture_name(a->tid))
            continue;
        if (verbose_level) {
            char line[64];
            format_string(line, sizeof line, "deleting anim %d for tid %d", i, static_cast<int>(a->tid));
            console_print(line);
        }
        anim_texture_free(a);
        remove_at<anim_texture*>(animations, i);
    }
    if (all && tables_made) {
        array_free(&records);
        array_free(&aliases);
        array_free(&animations);
        records = aliases = animations = growable_array{};
        tables_made = false;
    }
}

uint32_t texture_load_replacing_suffix(const char* name, const char* suffix, const char* new_suffix)
{
    const size_t n = strlen(name), s = strlen(suffix);
    if (s > n || strcmp(name + n - s, suffix) != 0)
        return 0;
    const std::string replaced = std::string(name, n - s) + new_suffix;
    return texture_load(replaced.c_str());
}

int texture_record_count()
{
    return records.count;
}

const texture_record* texture_record_at(int i)
{
    return i >= 0 && i < records.count ? record_at(i) : nullptr;
}

growable_array* texture_animation_table()
{
    return tables_made ? &animations : nullptr;
}
