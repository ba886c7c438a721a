// The models the build generates into the base data: they load cleanly, face the way
// their normals say (so they light correctly with back faces culled), the rider is
// authored to the 9-bone layout the bike drawing poses, the bike parts meet where the
// physics bodies join, and the archive offers their levels of detail.
#include "model_fixtures.h"

#include "foundation/file_index.h"
#include "support/fresh_process.h"

#include <cmath>
#include <filesystem>
#include <functional>

namespace {

using modeltest::owned_model;

const std::string staging = BV_BUILD_DIR "/base_staging/";

class GeneratedModels : public modeltest::ModelTest {
protected:
    owned_model open(const std::string& name)
    {
        owned_model m(model_load_file((staging + name).c_str()));
        EXPECT_TRUE(m) << name;
        return m;
    }
};

struct vec3 {
    float x, y, z;
};

vec3 position(const model* p, int v) { return {p->positions[3 * v], p->positions[3 * v + 1], p->positions[3 * v + 2]}; }
vec3 normal(const model* p, int v) { return {p->normals[3 * v], p->normals[3 * v + 1], p->normals[3 * v + 2]}; }

TEST_F(GeneratedModels, EveryModelLoadsCleanlyAndFacesOutward)
{
    int files = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(staging)) {
        const std::string name = std::filesystem::relative(entry.path(), staging).generic_string();
        if (entry.path().extension() != ".jm")
            continue;
        ++files;
        LogCapture log;
        owned_model m = open(name);
        if (!m)
            continue;
        EXPECT_EQ(log.text().find("degenerate"), std::string::npos) << name << ": " << log.text();
        EXPECT_EQ(log.text().find("Warning"), std::string::npos) << name << ": " << log.text();
        int faced_wrong = 0;
        for (const model* p = m.get(); p; p = p->next_part) {
            EXPECT_GT(p->triangle_count, 0) << name;
            for (int t = 0; t < p->triangle_count; ++t) {
                const uint32_t* tri = p->triangles + 3 * t;
                const vec3 a = position(p, tri[0]), b = position(p, tri[1]), c = position(p, tri[2]);
                const vec3 e1{b.x - a.x, b.y - a.y, b.z - a.z}, e2{c.x - a.x, c.y - a.y, c.z - a.z};
                const vec3 face{e1.y * e2.z - e1.z * e2.y, e1.z * e2.x - e1.x * e2.z, e1.x * e2.y - e1.y * e2.x};
                float agree = 0;
                for (int k = 0; k < 3; ++k) {
                    const vec3 n = normal(p, tri[k]);
                    agree += n.x * face.x + n.y * face.y + n.z * face.z;
                }
                faced_wrong += agree <= 0;
            }
        }
        EXPECT_EQ(faced_wrong, 0) << name;
    }
    EXPECT_GE(files, 20);
}

// Where each bone's vertices may lie in the rest pose (arms out sideways, legs down).
bool inside_bone(int bone, vec3 p)
{
    constexpr float e = 0.01f;
    switch (bone) {
    case 0: return p.x <= -1.456f + e;                                  // left forearm
    case 1: return p.x >= 1.456f - e;                                   // right forearm
    case 2: return p.x >= -1.456f - e && p.x <= -0.49f;                 // left upper arm
    case 3: return p.x <= 1.456f + e && p.x >= 0.49f;                   // right upper arm
    case 4: return p.x < 0 && p.y <= -2.208f + e;                       // left shin
    case 5: return p.x > 0 && p.y <= -2.208f + e;                       // right shin
    case 6: return p.x < 0 && p.y >= -2.208f - e && p.y <= -0.7f;       // left thigh
    case 7: return p.x > 0 && p.y >= -2.208f - e && p.y <= -0.7f;       // right thigh
    case 8: return std::fabs(p.x) <= 0.56f && p.y >= -1.06f;            // torso
    }
    return false;
}

TEST_F(GeneratedModels, RiderFollowsTheNineBoneLayout)
{
    for (const char* name : {"rider_body.jm", "rider_plate.jm"}) {
        owned_model rider = open(name);
        ASSERT_TRUE(rider);
        std::vector<int> used(9, 0);
        for (const model* p = rider.get(); p; p = p->next_part) {
            ASSERT_EQ(p->bone_count, 9) << name;
            for (int v = 0; v < p->vertex_count; ++v) {
                float sum = 0;
                for (int k = 0; k < 4; ++k) {
                    const float w = p->bone_weights[4 * v + k];
                    const int bone = p->bone_numbers[4 * v + k];
                    sum += w;
                    if (w > 0) {
                        ++used[bone];
                        EXPECT_TRUE(inside_bone(bone, position(p, v)))
                            << name << " vertex " << v << " on bone " << bone << " at " << position(p, v).x << ", "
                            << position(p, v).y;
                    }
                }
                EXPECT_NEAR(sum, 1.0f, 1e-5f);
            }
        }
        if (std::string(name) == "rider_body.jm") {
            for (int b = 0; b < 9; ++b)
                EXPECT_GT(used[b], 0) << "bone " << b;
        }
    }
}

// Largest |x| and largest distance from the x axis among a part's vertices.
std::pair<float, float> extent_about_axle(const model* p)
{
    float width = 0, radius = 0;
    for (int v = 0; v < p->vertex_count; ++v) {
        const vec3 q = position(p, v);
        width = std::max(width, std::fabs(q.x));
        radius = std::max(radius, std::sqrt(q.y * q.y + q.z * q.z));
    }
    return {width, radius};
}

float nearest_vertex(const model* m, vec3 point)
{
    float best = 1e9f;
    for (const model* p = m; p; p = p->next_part)
        for (int v = 0; v < p->vertex_count; ++v) {
            const vec3 q = position(p, v);
            best = std::min(best, std::hypot(q.x - point.x, q.y - point.y, q.z - point.z));
        }
    return best;
}

TEST_F(GeneratedModels, BikePartsMeetWhereTheBodiesJoin)
{
    owned_model front = open("front_wheel.jm"), rear = open("rear_wheel.jm");
    owned_model frame = open("cr125_frame.jm"), fork = open("cr125_fork_upper.jm");
    ASSERT_TRUE(front && rear && frame && fork);
    // Tyres reach the ground under their axles (1.09 and 1.04 above it) ...
    EXPECT_NEAR(extent_about_axle(front.get()).second, 1.09f, 0.05f);
    EXPECT_NEAR(extent_about_axle(rear.get()).second, 1.04f, 0.05f);
    // ... and pass between the fork legs and the swingarm arms.
    EXPECT_LT(extent_about_axle(front.get()).first, 0.4167f - 0.13f);
    EXPECT_LT(extent_about_axle(rear.get()).first, 0.42f - 0.06f);
    // Foot pegs on the frame, grips on the handlebar, where the rider takes hold.
    for (float side : {-1.0f, 1.0f}) {
        EXPECT_LT(nearest_vertex(frame.get(), {side * 0.6f, -0.557f, 0.584f}), 0.2f);
        EXPECT_LT(nearest_vertex(fork.get(), {side * 1.097f, 1.145f, 0.753f}), 0.2f);
    }
}

TEST(GeneratedArchive, OffersTheModelsWithTheirLevelsOfDetail)
{
    bvtest::in_fresh_process([] {
        bvtest::TempDir root;
        bvtest::write_file(root / "game/zzzz.saf", bvtest::read_file(BV_BUILD_DIR "/zzzz.saf"));
        bvtest::make_dirs(root / "user");
        bvtest::use_folders(root / "user", root / "game");
        fakegl::install();
        file_index_list();   // start-up builds the index before anything is loaded
        bvtest::Problems problems;
        for (const char* name : {"@startgate.jm", "@front_wheel.jm", "@rear_wheel.jm", "@models/ball.jm"}) {
            const model* m = model_get(name);
            problems.check(m && m->next_lod && std::fabs(m->next_lod->lod_key - 2.0f) < 1e-5f && !m->next_lod->next_lod,
                           std::string(name) + ": one variant of key 2 expected");
            if (m && m->next_lod)
                problems.check(m->next_lod->triangle_count < m->triangle_count, std::string(name) + ": coarser variant");
        }
        for (const char* name : {"@cr125_frame.jm", "@cr125_fork_upper.jm", "@cr125_fork_lower.jm",
                                 "@cr125_swingarm.jm", "@rider_body.jm", "@rider_head.jm", "@rider_plate.jm",
                                 "@cr125_side_plates.jm", "@cr125_front_plate.jm", "@models/strip.jm"}) {
            const model* m = model_get(name);
            problems.check(m && !m->next_lod, std::string(name) + ": expected, without variants");
        }
        model_purge(1);
        return problems.text;
    });
}

}  // namespace
