// The model cache: lookups by name and letter case, generations and the purge, levels
// of detail found in the data-file index (in a fresh process, since the search folders
// and the index are decided once per process), and the models the build generates.
#include "image_fixtures.h"
#include "model_fixtures.h"

#include "foundation/start/startup_check.h"
#include "foundation/door/search_folders.h"
#include "support/archive_bytes.h"
#include "support/fresh_process.h"

#include <filesystem>

namespace {

using modeltest::owned_model;
using modeltest::triangle_part;
using ModelCache = modeltest::ModelTest;

TEST_F(ModelCache, LookupsStampTheGenerationEvenAcrossLetterCase)
{
    imgtest::put_data("cache/Crate.jm", "JM1\n" + triangle_part("1 1 1 1 1"));
    const std::string path = "@cache/Crate.jm";
    model* crate = model_get(path.c_str());
    ASSERT_TRUE(crate);
    EXPECT_EQ(crate->generation, 0);
    EXPECT_EQ(model_get(path.c_str()), crate);
    model_generation = 7;
    const std::string lowered = "@cache/crate.jm";
    LogCapture log;
    EXPECT_EQ(model_find(lowered.c_str()), crate);
    EXPECT_EQ(crate->generation, 7);
    EXPECT_NE(log.text().find("Warning: case mismatch on '" + lowered + "'"), std::string::npos) << log.text();
    EXPECT_EQ(model_find("nothing.jm"), nullptr);
    // A failed load caches nothing, so a later request tries again.
    const std::string late = "@cache/late.jm";
    EXPECT_EQ(model_get(late.c_str()), nullptr);
    imgtest::put_data("cache/late.jm", "JM1\n" + triangle_part("1 1 1 1 1"));
    EXPECT_NE(model_get(late.c_str()), nullptr);
    EXPECT_EQ(model_cache_count(), 2);
}

TEST_F(ModelCache, PurgeDropsOnlyModelsTheCurrentTrackDidNotAskFor)
{
    const std::string text = "JM1\n" + triangle_part("1 1 1 1 1") + triangle_part("-1 1 1 1 1");
    auto data = [&](const std::string& name) {
        imgtest::put_data("purge/" + name, text);
        return "@purge/" + name;
    };
    const std::string menu = data("menu.jm"), kept = data("kept.jm"), gone = data("gone.jm"),
                      fresh = data("fresh.jm"), old = data("old.jm");
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
    bvtest::in_fresh_process([] {
        bvtest::TempDir root;
        for (const auto& [name, bytes] : {std::pair<std::string, std::string>{"gate.jm", sized(3)},
                                          {"gate_lod2.jm.gz", bvtest::gzip_bytes(sized(7))},
                                          {"gate_lod1.jm", sized(5)}, {"gate_lod1.0.jm", sized(6)},
                                          {"gate_lod0.5.jm", sized(4)}, {"gate_lod.png", "not a number"},
                                          {"gate_lodnan.jm", sized(9)}, {"gate_lod3.jm", "broken"},
                                          {"gates_lod1.jm", sized(10)}})
            bvtest::write_file(root / ("game/props/" + name), bytes);
        bvtest::make_dirs(root / "user");
        bvtest::use_folders(root / "user", root / "game");
        fakegl::install();
        bvtest::Problems p;
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
        // A name leading out of the data folders is refused, and its one spelling is kept.
        p.check(!model_get((std::string(data_search_dir(1)) + "props/gate.jm").c_str()), "an absolute path");
        p.check(!model_get("@props/../game/props/gate.jm"), "a name climbing out");
        p.check(model_get("@props/./gate.jm") == gate, "a spelling with a \".\" component");
        model_purge(1);
        return p.text;
    });
}

TEST_F(ModelCache, GeneratedModelsLoadCleanlyAndFaceOutward)
{
    int files = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(modeltest::staging)) {
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

}  // namespace
