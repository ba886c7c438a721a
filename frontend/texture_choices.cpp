#include "frontend/texture_choices.h"

#include "foundation/index/file_index.h"
#include "foundation/intern.h"
#include "frontend/settings.h"

#include <cstring>
#include <string>

namespace
{

constexpr const char* fixed_prefixes[4] = {"rider_body-", "rider_head-", nullptr, "wheels-"};
bool lists_built = false;

const char* item(const growable_array& a, int i)
{
    return static_cast<const char* const*>(a.items)[i];
}

// Appends to both lists or to neither.
void push_pair(growable_array* files, growable_array* names, const char* file, const char* name)
{
    if (!array_push(files, &file))
        return;
    if (!array_push(names, &name))
        --files->count;
}

bool ends_with(const char* text, size_t length, const char* suffix)
{
    const size_t n = strlen(suffix);
    return length >= n && memcmp(text + length - n, suffix, n) == 0;
}

void point_choice(int i)
{
    ui_choice& c = *graphics_choices[i];
    c.items = static_cast<const char* const*>(texture_names[i].items);
    c.count = texture_names[i].count;
    c.selected = 0;
}

const char* bike_prefix()
{
    const int b = bike_choice.selected;
    return b >= 0 && b < kBikeModels ? bike_graphics_prefixes[b] : "";
}

void scan_one(int i)
{
    texture_choices_scan(&texture_files[i], &texture_names[i], i == 2 ? bike_prefix() : fixed_prefixes[i]);
    point_choice(i);
}

}  // namespace

const char* const bike_graphics_prefixes[80] = {
    "450sxfv2016-", "crf450v2017-", "fc450v2016-",  "kx450fv2016-", "rmz450v2018-", "yz450fv2014-", "450sxfv2016-",
    "crf450v2017-", "fc450v2016-",  "kx450fv2016-", "rmz450-",      "yz450fv2014-", "450sxfv2016-", "crf450v2013-",
    "kx450fv2016-", "rmz450-",      "yz450fv2014-", "450sxfv2013-", "crf450v2013-", "kx450f-",      "rmz450-",
    "yz450f-",      "450sxf-",      "crf450-",      "kx450f-",      "rmz450-",      "yz450f-",      "350sxfv2016-",
    "350sxfv2013-", "350sxf-",      "250sx-",       "cr250-",       "kx250-",       "rm250-",       "yz250-",
    "250sxfv2016-", "crf250v2018-", "fc250v2016-",  "kx250fv2017-", "rmz250v2010-", "yz250fv2014-", "250sxfv2016-",
    "crf250v2014-", "fc250v2016-",  "kx250fv2017-", "rmz250v2010-", "yz250fv2014-", "250sxfv2016-", "crf250v2014-",
    "kx250fv2013-", "rmz250v2010-", "yz250fv2014-", "250sxfv2013-", "crf250v2010-", "kx250fv2013-", "rmz250v2010-",
    "yz250fv2010-", "250sxf-",      "crf250-",      "kx250f-",      "rmz250-",      "yz250f-",      "crf250-",
    "kx250f-",      "rmz250-",      "yz250f-",      "crf250-",      "kx250f-",      "rmz250-",      "yz250f-",
    "yz250f_se-",   "125sx-",       "cr125-",       "kx125-",       "rm125-",       "yz125-",       "cr125-",
    "kx125-",       "rm125-",       "yz125-",
};

growable_array texture_files[4];
growable_array texture_names[4];

void texture_choices_scan(growable_array* files, growable_array* names, const char* prefix)
{
    if (!files->items)
        array_init(files, sizeof(const char*));
    if (!names->items)
        array_init(names, sizeof(const char*));
    files->count = names->count = 0;
    push_pair(files, names, "", "default");
    const size_t prefix_length = strlen(prefix);
    for (char** entry = file_index_list(); entry && *entry; ++entry) {
        const char* name = *entry;
        const size_t length = strlen(name);
        if (!ends_with(name, length, ".png") || ends_with(name, length, "_norm.png") ||
            ends_with(name, length, "_spec.png"))
            continue;
        const char* slash = strrchr(name, '/');
        const char* base = slash ? slash + 1 : name;
        if (strncmp(base, prefix, prefix_length) != 0)
            continue;
        const std::string file = std::string("@") + name;
        const char* shown_end = name + length - 4; // before ".png"
        const char* shown_begin = base + prefix_length;
        const std::string shown(shown_begin, shown_end > shown_begin ? size_t(shown_end - shown_begin) : 0);
        push_pair(files, names, intern_string(file.c_str()), intern_string(shown.c_str()));
    }
}

void texture_lists_build()
{
    for (int i = 0; i < 4; ++i) {
        scan_one(i);
        ui_choice_select(graphics_choices[i], kept_graphics_names[i]);
    }
    lists_built = true;
}

void bike_graphics_rebuild()
{
    scan_one(2);
}

int texture_lists_built()
{
    return lists_built ? 1 : 0;
}

const char* texture_choice_file(int i)
{
    const ui_choice& c = *graphics_choices[i];
    if (!lists_built || c.selected <= 0 || c.selected >= texture_files[i].count)
        return nullptr;
    return item(texture_files[i], c.selected);
}

void texture_lists_free()
{
    static const char* const default_only[] = {"default"};
    for (int i = 0; i < 4; ++i) {
        array_free(&texture_files[i]);
        array_free(&texture_names[i]);
        ui_choice& c = *graphics_choices[i];
        c.items = default_only;
        c.count = 1;
        c.selected = 0;
    }
    lists_built = false;
}
