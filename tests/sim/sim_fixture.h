// Headless rider-simulation tests: a real physics world, no GL. The graphics calls
// of the bike go to a recording stand-in whose texture and model loads answer 0 and
// null unless a test says otherwise; console and log lines are captured; "@" data
// paths resolve to the generated base data (user folder: a fresh temporary one).
#pragma once
#include "sim/bike_build.h"
#include "sim/bike_graphics.h"
#include "sim/physics_world.h"
#include "sim/rider_slot.h"
#include "sim/shapes.h"
#include "terrain/terrain_state.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace simtest {

// The temporary root of this test program: "user/" is the user data folder, "game/"
// would be a second data folder; the base data is the build's staging folder.
const std::string& root();

// Everything console_print and the log received since the object was made, one line
// per message, without the time prefixes.
class LogCapture {
public:
    LogCapture();
    std::string text() const;
    bool contains(const std::string& part) const { return text().find(part) != std::string::npos; }

private:
    size_t start_;
};

// What the stand-in graphics layer was asked for.
struct GraphicsRecord {
    std::vector<std::string> textures;        // texture_load names, in order
    std::vector<std::string> models;          // model_get names, in order
    std::vector<std::string> plate_texts;     // number_texture_create texts
    std::vector<std::vector<uint8_t>> plate_colours;   // background rgb then foreground rgb
    std::vector<uint32_t> deleted_plates;
    int matrix_pushes = 0;
    std::vector<float> last_matrix;

    // Answers: names that load (texture id / a dummy model), and texture info texts.
    std::map<std::string, uint32_t> texture_ids;
    std::set<std::string> present_models;
    std::map<uint32_t, std::string> texture_infos;
    uint32_t next_plate = 1000;
};

// Installs the recording table for its lifetime (and clears the record).
class NullGraphics {
public:
    NullGraphics();
    ~NullGraphics();
    NullGraphics(const NullGraphics&) = delete;
    NullGraphics& operator=(const NullGraphics&) = delete;
    GraphicsRecord& record();
    // The stand-in model pointer for a present model name.
    static model* dummy_model(const std::string& name);
};

// The physics world for one test, shut down at the end.
class PhysicsWorld {
public:
    PhysicsWorld() { EXPECT_EQ(physics_world_init(), 1); }
    ~PhysicsWorld() { physics_world_shutdown(); }
    PhysicsWorld(const PhysicsWorld&) = delete;
    PhysicsWorld& operator=(const PhysicsWorld&) = delete;
};

// A flat terrain record in memory (no GL): 2^(n+1)+1 points per side, all at height,
// one tile "dirt" with even friction.
class FlatTerrain {
public:
    FlatTerrain(int n = 5, float cell = 4.0f, float height = 0.0f);
    ~FlatTerrain();
    FlatTerrain(const FlatTerrain&) = delete;
    FlatTerrain& operator=(const FlatTerrain&) = delete;
    terrain_state* get() { return record_.get(); }
    terrain_state* operator->() { return record_.get(); }

private:
    std::unique_ptr<terrain_state> record_;
};

// The usual scene: world, stand-in graphics, the slot table cleared; every slot's
// bike destroyed and the shape cache emptied at the end.
class BikeTest : public ::testing::Test {
protected:
    BikeTest() { rider_table_init(); }
    ~BikeTest() override;
    rider_slot* create(const char* bike = "cr125", int slot = 0, const char* number = "7");

    PhysicsWorld world;
    NullGraphics graphics;
};

}  // namespace simtest
