// The model cache: lookups by name and letter case, generations and the purge, levels
// of detail found in the data-file index (each run in a fresh process, since the
// search folders and the index are decided once per process), and the models the
// build generates into the base data.
#include "model_fixtures.h"

#include "foundation/data_paths.h"
#include "foundation/file_index.h"
#include "foundation/vfs_fixtures.h"

#include <cmath>
#include <filesystem>

namespace {

using modeltest::owned_model;
using modeltest::triangle_part;
using ModelCache = modeltest::ModelTest;

TEST_F(ModelCache, LookupsStampTheGenerationEvenAcrossLetterCase)
{
    const std::string path = file("Crate.jm", "JM1\n" + triangle_part("1 1 1 1 1"));
    model* crate = model_get(path.c_str());
    ASSERT_TRUE(crate);
    EXPECT_EQ(crate->generation, 0);
    EXPECT_EQ(model_get(path.c_str()), crate);
    model_generation = 7;
    const std::string lowered = dir / "crate.jm";
    LogCapture log;
    EXPECT_EQ(model_find(lowered.c_str()), crate);
    EXPECT_EQ(crate->generation, 7);
    EXPECT_NE(log.text().find("Warning: case mismatch on '" + lowered + "'"), std::string::npos) << log.text();
    EXPECT_EQ(model_find("nothing.jm"), nullptr);
    // A failed load caches nothing, so a later request tries again.
    const std::string late = dir / "late.jm";
    EXPECT_EQ(model_get(late.c_str()), nullptr);
    file("late.jm", "JM1\n" + triangle_part("1 1 1 1 1"));
    EXPECT_NE(model_get(late.c_str()), nullptr);
    EXPECT_EQ(model_cache_count(), 2);
}

TEST_F(ModelCache, PurgeDropsOnlyModelsTheCurrentTrackDidNotAskFor)
{
    const std::string text = "JM1\n" + triangle_part("1 1 1 1 1") + triangle_part("-1 1 1 1 1");
    const std::string menu = file("menu.jm", text), kept = file("kept.jm", text), gone = file("gone.jm", text),
                      fresh = file("fresh.jm", text), old = file("old.jm", text);
    for (auto [generation, name] : {std::pair{0, menu}, {1, old}, {1, kept}, {1, gone}, {2, kept}, {2, fresh}}) {
        model_generation = generation;
        ASSERT_TRUE(model_get(name.c_str())) << name;
    }
    verbose_level = 1;
    fakegl::clear_calls();
    LogCapture log;
    model_purge(0);
    std::vector<std::string> left;
    for (int i = 0; i < model_cache_count(); ++i)
        left.push_back(model_name(model_cache_entry(i)));
    EXPECT_EQ(left, (std::vector<std::string>{menu, kept, fresh}));
    // Last to first; each part's vertex array, then its two buffers.
    EXPECT_LT(log.text().find("deleting model " + gone), log.text().find("deleting model " + old)) << log.text();
    EXPECT_EQ(fakegl::count("DeleteVertexArrays"), 4);
    EXPECT_EQ(fakegl::trace()[1], "DeleteBuffers(2)");

    model_purge(1);
    EXPECT_EQ(model_cache_count(), 0);
    EXPECT_TRUE(model_get(menu.c_str()));   // the cache starts again after a full purge
}

std::string sized(int vertices)
{
    std::string text = "JM1\n1 1 1 1 1 " + std::to_string(vertices) + " 1\n";
    for (int i = 0; i < vertices; ++i)
        text += std::to_string(i % 2) + " " + std::to_string(i / 2) + " 0 0 0 1 0 0\n";
    return text + "0 1 2\n";
}

TEST(ModelVariants, IndexNamesBecomeVariantsInKeyOrder)
{
    vfstest::expect_in_fresh_process([] {
        bvtest::TempDir root;
        for (const auto& [name, bytes] : {std::pair<std::string, std::string>{"gate.jm", sized(3)},
                                          {"gate_lod2.jm.gz", vfstest::gzip_bytes(sized(7))},
                                          {"gate_lod1.jm", sized(5)}, {"gate_lod1.0.jm", sized(6)},
                                          {"gate_lod0.5.jm", sized(4)}, {"gate_lod.png", "not a number"},
                                          {"gate_lodnan.jm", sized(9)}, {"gate_lod3.jm", "broken"},
                                          {"gates_lod1.jm", sized(10)}})
            bvtest::write_file(root / ("game/props/" + name), bytes);
        bvtest::make_dirs(root / "user");
        vfstest::use_folders(root / "user", root / "game");
        fakegl::install();
        vfstest::Problems p;
        model* gate = model_get("@props/gate.jm");
        p.check(gate != nullptr, "no model");
        if (!gate)
            return p.text;
        std::string chain;
        for (const model* v = gate; v; v = v->next_lod)
            chain += std::to_string(v->vertex_count) + "@" + std::to_string(v->lod_key) + " ";
        // An equal key goes ahead of the one already there.
        p.same(chain, "3@0.000000 4@1.414214 5@2.000000 6@2.000000 7@4.000000 ", "chain");
        p.same(model_name(gate->next_lod->next_lod), "@props/gate_lod1.jm", "variant name");
        p.check(model_cache_count() == 1, "variants must stay out of the cache list");
        // Without '@' the name is not looked up in the index.
        model* direct = model_get((std::string(data_search_dir(1)) + "props/gate.jm").c_str());
        p.check(direct && !direct->next_lod, "a plain path gets no variants");
        model_purge(1);
        return p.text;
    });
}

const std::string staging = BV_BUILD_DIR "/base_staging/";

TEST_F(ModelCache, GeneratedModelsLoadCleanlyAndFaceOutward)
{
    int files = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(staging)) {
        if (entry.path().extension() != ".jm")
            continue;
        ++files;
        LogCapture log;
        owned_model m(model_load_file(entry.path().c_str()));
        ASSERT_TRUE(m) << entry.path();
        EXPECT_EQ(log.text(), "") << entry.path();
        // Each triangle's winding agrees with its vertex normals, so it lights with back faces culled.
        int faced_wrong = 0;
        for (const model* p = m.get(); p; p = p->next_part) {
            EXPECT_GT(p->triangle_count, 0) << entry.path();
            for (int t = 0; t < p->triangle_count; ++t) {
                const float* v[3];
                for (int k = 0; k < 3; ++k)
                    v[k] = p->positions + 3 * p->triangles[3 * t + k];
                float e1[3], e2[3], agree = 0;
                for (int i = 0; i < 3; ++i)
                    e1[i] = v[1][i] - v[0][i], e2[i] = v[2][i] - v[0][i];
                const float face[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                                       e1[0] * e2[1] - e1[1] * e2[0]};
                for (int k = 0; k < 3; ++k)
                    for (int i = 0; i < 3; ++i)
                        agree += p->normals[3 * p->triangles[3 * t + k] + i] * face[i];
                faced_wrong += agree <= 0;
            }
        }
        EXPECT_EQ(faced_wrong, 0) << entry.path();
    }
    EXPECT_GE(files, 20);
}

TEST_F(ModelCache, GeneratedRiderFollowsTheNineBoneLayout)
{
    // Where each bone's vertices may lie in the rest pose (arms out sideways, legs down):
    // forearms, upper arms, shins, thighs (left, right), torso.
    auto inside = [](int bone, float x, float y) {
        constexpr float e = 0.01f;
        const float side = bone % 2 ? x : -x;
        switch (bone) {
        case 0: case 1: return side >= 1.456f - e;
        case 2: case 3: return side <= 1.456f + e && side >= 0.49f;
        case 4: case 5: return side > 0 && y <= -2.208f + e;
        case 6: case 7: return side > 0 && y >= -2.208f - e && y <= -0.7f;
        }
        return std::fabs(x) <= 0.56f && y >= -1.06f;
    };
    for (const char* name : {"rider_body.jm", "rider_plate.jm"}) {
        owned_model rider(model_load_file((staging + name).c_str()));
        ASSERT_TRUE(rider) << name;
        std::vector<int> used(9, 0);
        for (const model* p = rider.get(); p; p = p->next_part) {
            ASSERT_EQ(p->bone_count, 9) << name;
            for (int v = 0; v < p->vertex_count; ++v) {
                float sum = 0;
                for (int k = 0; k < 4; ++k) {
                    const float w = p->bone_weights[4 * v + k];
                    const int bone = p->bone_numbers[4 * v + k];
                    sum += w;
                    used[bone] += w > 0;
                    EXPECT_TRUE(w <= 0 || inside(bone, p->positions[3 * v], p->positions[3 * v + 1]))
                        << name << " vertex " << v << " on bone " << bone;
                }
                EXPECT_NEAR(sum, 1.0f, 1e-5f);
            }
        }
        for (int b = 0; std::string(name) == "rider_body.jm" && b < 9; ++b)
            EXPECT_GT(used[b], 0) << "bone " << b;
    }
}

TEST(GeneratedArchive, OffersTheModelsWithTheirLevelsOfDetail)
{
    vfstest::expect_in_fresh_process([] {
        bvtest::TempDir root;
        bvtest::write_file(root / "game/zzzz.saf", bvtest::read_file(BV_BUILD_DIR "/zzzz.saf"));
        bvtest::make_dirs(root / "user");
        vfstest::use_folders(root / "user", root / "game");
        fakegl::install();
        file_index_list();   // start-up builds the index before anything is loaded
        vfstest::Problems p;
        for (const char* name : {"@startgate.jm", "@front_wheel.jm", "@rear_wheel.jm", "@models/ball.jm"}) {
            const model* m = model_get(name);
            p.check(m && m->next_lod && std::fabs(m->next_lod->lod_key - 2.0f) < 1e-5f && !m->next_lod->next_lod &&
                        m->next_lod->triangle_count < m->triangle_count,
                    std::string(name) + ": one coarser variant of key 2 expected");
        }
        for (const char* name : {"@cr125_frame.jm", "@cr125_fork_upper.jm", "@cr125_fork_lower.jm",
                                 "@cr125_swingarm.jm", "@rider_body.jm", "@rider_head.jm", "@rider_plate.jm",
                                 "@cr125_side_plates.jm", "@cr125_front_plate.jm", "@models/strip.jm"}) {
            const model* m = model_get(name);
            p.check(m && !m->next_lod, std::string(name) + ": expected, without variants");
        }
        model_purge(1);
        return p.text;
    });
}

}  // namespace
