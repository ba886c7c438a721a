// The model cache: one entry per requested name, in request order, each with its
// chain of level-of-detail variants "<base>_lod<k>" found in the data-file index.
// Entries carry the generation of the track that last asked for them, so a track
// load can drop what the new track no longer uses.
#include "gfx/model.h"
#include "gfx/model_parts.h"
#include "gfx/model_scene.h"

#include "foundation/door/data_name.h"
#include "foundation/index/file_index.h"
#include "foundation/growable_array.h"
#include "foundation/text/text_util.h"
#include "foundation/front_door.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

int32_t model_generation = 0;

namespace {

growable_array cache{};

model** entries() { return static_cast<model**>(cache.items); }

bool same_ignoring_case(const char* a, const char* b)
{
    for (;; ++a, ++b) {
        if (tolower(static_cast<unsigned char>(*a)) != tolower(static_cast<unsigned char>(*b)))
            return false;
        if (!*a)
            return true;
    }
}

// After every variant with a smaller key, so ahead of an equal one.
void link_variant(model* m, model* variant)
{
    model* before = m;
    while (before->next_lod && before->next_lod->lod_key < variant->lod_key)
        before = before->next_lod;
    variant->next_lod = before->next_lod;
    before->next_lod = variant;
}

// "@dir/name.ext" collects every index name "dir/name_lod<k>..." as a variant of key 2^k.
void load_variants(model* m, const char* name)
{
    const char* dot = strrchr(name, '.');
    if (name[0] != '@' || !dot)
        return;
    const std::string prefix = std::string(name + 1, dot) + "_lod";
    char** names = file_index_list();
    for (int i = 0; names && names[i]; ++i) {
        const char* candidate = names[i];
        if (strncmp(candidate, prefix.c_str(), prefix.size()) != 0)
            continue;
        const char* number = candidate + prefix.size();
        char* end = nullptr;
        const double k = strtod(number, &end);
        // strtod also takes "nan" and "inf", which name no level.
        if (end == number || !std::isfinite(k))
            continue;
        std::string file = std::string("@") + candidate;
        if (file.size() > 3 && file.compare(file.size() - 3, 3, ".gz") == 0)
            file.resize(file.size() - 3);
        model* variant = model_load_file(file.c_str());
        if (!variant)
            continue;
        variant->lod_key = std::exp(static_cast<float>(k) * 0.693147182f);
        link_variant(m, variant);
    }
}

}  // namespace

model* model_find(const char* name)
{
    for (int i = 0; i < cache.count; ++i) {
        model* m = entries()[i];
        if (strcmp(m->name, name) != 0) {
            if (!same_ignoring_case(m->name, name))
                continue;
            char line[1024];
            format_string(line, sizeof line, "Warning: case mismatch on '%.900s'", name);
            console_print(line);
        }
        m->generation = model_generation;
        return m;
    }
    return nullptr;
}

model* model_get(const char* requested)
{
    // A name from a track file only leads down from the data folders.
    std::string normal;
    if (!data_file_accept(requested, "Model", &normal))
        return nullptr;
    const char* name = normal.c_str();
    if (model* cached = model_find(name))
        return cached;
    model* m = model_load_file(name);
    if (!m)
        return nullptr;
    m->lod_key = 0;
    m->next_lod = nullptr;
    m->generation = model_generation;
    if (!cache.items)
        array_init(&cache, sizeof(model*));
    // A list that cannot grow leaves the model uncached; it still draws.
    array_push(&cache, &m);
    load_variants(m, name);
    return m;
}

const char* model_name(const model* m)
{
    return m ? m->name : nullptr;
}

model* model_cache_entry(int i)
{
    return i >= 0 && i < cache.count ? entries()[i] : nullptr;
}

int model_cache_count()
{
    return cache.count;
}

void model_purge(int all)
{
    for (int i = cache.count - 1; i >= 0; --i) {
        model* m = entries()[i];
        if (!all && (m->generation == 0 || m->generation == model_generation))
            continue;
        if (verbose_level) {
            char line[1024];
            format_string(line, sizeof line, "deleting model %.900s", m->name);
            console_print(line);
        }
        model_free_with_variants(m);
        memmove(entries() + i, entries() + i + 1, sizeof(model*) * static_cast<size_t>(cache.count - 1 - i));
        --cache.count;
    }
    if (all)
        array_free(&cache);
}
