#include "sim_fixture.h"

#include "platform/qorl_log.h"
#include "support/test_support.h"
#include "terrain/terrain_state.h"

#include <xmmintrin.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace simtest {
namespace {

// Made before any test: the data folders are decided at the first data path and the
// log file at the first message. Floating point runs as in the program: denormals
// flushed to zero.
struct Tree {
    bvtest::TempDir dir;
    Tree()
    {
        _mm_setcsr(_mm_getcsr() | 0x8040);
        bvtest::make_dirs(dir / "user/Brovanta");
        setenv("XDG_DATA_HOME", (dir / "user").c_str(), 1);
        setenv("BV_HOME", BV_BUILD_DIR "/base_staging", 1);
        qorl_log("QORL_LOGFILE=%s", (dir / "log.txt").c_str());
    }
};

const Tree& tree()
{
    static const Tree made;
    return made;
}

const bool made_at_start = (tree(), true);

std::string log_file()
{
    return tree().dir / "log.txt";
}

GraphicsRecord recorded;

uint32_t record_texture(const char* name)
{
    recorded.textures.push_back(name);
    auto found = recorded.texture_ids.find(name);
    return found == recorded.texture_ids.end() ? 0 : found->second;
}

const char* record_texture_name(uint32_t id)
{
    for (const auto& [name, tid] : recorded.texture_ids)
        if (tid == id)
            return name.c_str();
    return nullptr;
}

const char* record_texture_info(uint32_t id)
{
    auto found = recorded.texture_infos.find(id);
    return found == recorded.texture_infos.end() ? nullptr : found->second.c_str();
}

model* record_model(const char* name)
{
    recorded.models.push_back(name);
    return recorded.present_models.count(name) ? NullGraphics::dummy_model(name) : nullptr;
}

uint32_t record_plate(const char* text, int w, int h, const uint8_t background[3], const uint8_t foreground[3])
{
    EXPECT_EQ(w, 128);
    EXPECT_EQ(h, 128);
    recorded.plate_texts.push_back(text);
    recorded.plate_colours.push_back({background[0], background[1], background[2], foreground[0], foreground[1],
                                      foreground[2]});
    return recorded.next_plate++;
}

void record_delete(uint32_t id)
{
    recorded.deleted_plates.push_back(id);
}

void record_push(const float m[16])
{
    ++recorded.matrix_pushes;
    recorded.last_matrix.assign(m, m + 16);
}

const bike_graphics recording_table = {
    record_texture, record_texture_name, record_texture_info, record_model, record_plate, record_delete, record_push,
};

}  // namespace

const std::string& root()
{
    return tree().dir.path();
}

LogCapture::LogCapture() : start_(bvtest::read_file(log_file()).size()) {}

std::string LogCapture::text() const
{
    const std::string all = bvtest::read_file(log_file());
    std::string out;
    for (size_t at = start_; at < all.size();) {
        size_t end = all.find('\n', at);
        end = end == std::string::npos ? all.size() : end + 1;
        const std::string line = all.substr(at, end - at);
        const size_t prefix = line.find("] ");
        out += !line.empty() && line[0] == '[' && prefix != std::string::npos ? line.substr(prefix + 2) : line;
        at = end;
    }
    return out;
}

NullGraphics::NullGraphics()
{
    recorded = GraphicsRecord{};
    bike_graphics_install(&recording_table);
}

NullGraphics::~NullGraphics()
{
    bike_graphics_install(nullptr);
}

GraphicsRecord& NullGraphics::record()
{
    return recorded;
}

model* NullGraphics::dummy_model(const std::string& name)
{
    // Distinct, never dereferenced: the address of the name's entry in the set.
    auto found = recorded.present_models.find(name);
    return reinterpret_cast<model*>(const_cast<std::string*>(&*found));
}

FlatTerrain::FlatTerrain(int n, float cell, float height) : record_(std::make_unique<terrain_state>())
{
    terrain_init(record_.get());
    EXPECT_EQ(terrain_alloc(record_.get(), n, cell, height, height), 1);
    const int points = record_->size * record_->size;
    for (int i = 0; i < points; ++i)
        record_->heights[i] = record_->heights_copy[i] = height;
    record_->tile_count = 1;
    strcpy(record_->tile_names[0], "dirt");
    for (int k = 0; k < kTerrainCurvePoints; ++k) {
        record_->friction_values[0][k] = 1.0f;
        record_->friction_speeds[0][k] = k == 0 ? 0.0f : kTerrainUnusedSpeed;
    }
}

FlatTerrain::~FlatTerrain()
{
    terrain_free(record_.get());
}

BikeTest::~BikeTest()
{
    for (rider_slot& slot : rider_slots)
        if (slot.bodies[body_frame])
            bike_destroy(&slot);
    shapes_free_all();
}

rider_slot* BikeTest::create(const char* bike, int slot, const char* number)
{
    return rider_create(bike, slot, 1, number, nullptr, nullptr, nullptr, nullptr);
}

}  // namespace simtest
