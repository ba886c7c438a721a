// Texture, model and shape loaders that record what a track object asks for and load
// only the names a test lists, so billboards, statues and start gates can be made
// without GL. Installed for the life of the object; the tables are emptied around it.
#pragma once
#include "terrain/billboards.h"
#include "terrain/flaggers.h"
#include "terrain/statues.h"

#include <set>
#include <string>
#include <vector>

struct TrackObjectStubs {
    static inline std::vector<std::string> asked;     // every texture name tried, in order
    static inline std::set<std::string> textures;     // the textures that "load"
    static inline std::set<std::string> models;
    static inline std::set<std::string> shapes;
    static inline int shapes_freed = 0;

    track_object_loaders saved = track_loaders;

    TrackObjectStubs()
    {
        asked.clear();
        textures.clear();
        models.clear();
        shapes.clear();
        shapes_freed = 0;
        track_loaders = {texture, model_of, shape_of, shape_free};
        billboards_reset();
        statues_reset();
        flaggers_reset();
    }
    ~TrackObjectStubs()
    {
        billboards_free();
        statues_free();
        flaggers_free();
        track_loaders = saved;
    }

    // Texture ids are 1 + the place of the name in the sorted set.
    static uint32_t texture(const char* name)
    {
        asked.push_back(name);
        auto it = textures.find(name);
        return it == textures.end() ? 0 : uint32_t(1 + std::distance(textures.begin(), it));
    }
    static model* model_of(const char* name)
    {
        static char fake_model[64];
        return models.count(name) ? reinterpret_cast<model*>(fake_model) : nullptr;
    }
    static collision_shape* shape_of(const char* name)
    {
        static char fake_shape[64];
        return shapes.count(name) ? reinterpret_cast<collision_shape*>(fake_shape) : nullptr;
    }
    static void shape_free(collision_shape*) { ++shapes_freed; }
};
