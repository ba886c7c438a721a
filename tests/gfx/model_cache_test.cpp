// The model cache: lookups by name and letter case, generations and the purge, and
// levels of detail found in the data-file index (run in a fresh process each, since
// the search folders and the index are decided once per process).
#include "model_fixtures.h"

#include "foundation/data_paths.h"
#include "support/fresh_process.h"
#include "support/archive_bytes.h"

#include <functional>

namespace {

using modeltest::triangle_part;

class ModelCache : public modeltest::ModelTest {};

TEST_F(ModelCache, LookupsStampTheGenerationEvenAcrossLetterCase)
{
    const std::string path = file("Crate.jm", "JM1\n" + triangle_part("1 1 1 1 1"));
    model* crate = model_get(path.c_str());
    ASSERT_TRUE(crate);
    EXPECT_EQ(crate->generation, 0);
    EXPECT_EQ(model_get(path.c_str()), crate);
    EXPECT_EQ(model_cache_count(), 1);

    model_generation = 7;
    std::string lowered = path;
    lowered.replace(lowered.size() - 8, 5, "crate");
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
    ASSERT_TRUE(model_get(menu.c_str()));    // before any track: permanent
    model_generation = 1;
    ASSERT_TRUE(model_get(old.c_str()));
    ASSERT_TRUE(model_get(kept.c_str()));
    ASSERT_TRUE(model_get(gone.c_str()));
    model_generation = 2;
    ASSERT_TRUE(model_get(kept.c_str()));
    ASSERT_TRUE(model_get(fresh.c_str()));

    verbose_level = 1;
    fakegl::clear_calls();
    LogCapture log;
    model_purge(0);
    std::vector<std::string> left;
    for (int i = 0; i < model_cache_count(); ++i)
        left.push_back(model_name(model_cache_entry(i)));
    EXPECT_EQ(left, (std::vector<std::string>{menu, kept, fresh}));
    // Last to first; each part's vertex array, then its two buffers.
    const std::string text_log = log.text();
    EXPECT_LT(text_log.find("deleting model " + gone), text_log.find("deleting model " + old)) << text_log;
    EXPECT_EQ(fakegl::trace(), (std::vector<std::string>{"DeleteVertexArrays(1)", "DeleteBuffers(2)",
                                                          "DeleteVertexArrays(1)", "DeleteBuffers(2)",
                                                          "DeleteVertexArrays(1)", "DeleteBuffers(2)",
                                                          "DeleteVertexArrays(1)", "DeleteBuffers(2)"}));

    model_purge(1);
    EXPECT_EQ(model_cache_count(), 0);
    EXPECT_EQ(model_cache_entry(0), nullptr);
    EXPECT_TRUE(model_get(menu.c_str()));   // the cache starts again after a full purge
}

// Data folders for the scenarios below: the game folder holds the files given.
void with_data(const std::vector<std::pair<std::string, std::string>>& files,
               const std::function<void(bvtest::Problems&)>& scenario)
{
    bvtest::in_fresh_process([&] {
        bvtest::TempDir root;
        for (const auto& [name, bytes] : files)
            bvtest::write_file(root / ("game/" + name), bytes);
        bvtest::make_dirs(root / "user");
        bvtest::use_folders(root / "user", root / "game");
        fakegl::install();
        bvtest::Problems problems;
        scenario(problems);
        return problems.text;
    });
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
    with_data({{"props/gate.jm", sized(3)},
               {"props/gate_lod2.jm.gz", bvtest::gzip_bytes(sized(7))},
               {"props/gate_lod1.jm", sized(5)},
               {"props/gate_lod1.0.jm", sized(6)},
               {"props/gate_lod0.5.jm", sized(4)},
               {"props/gate_lod.png", "not a number"},
               {"props/gate_lodnan.jm", sized(9)},
               {"props/gate_lod3.jm", "broken"},
               {"props/gates_lod1.jm", sized(10)}},
              [](bvtest::Problems& p) {
                  model* gate = model_get("@props/gate.jm");
                  p.check(gate != nullptr, "no model");
                  if (!gate)
                      return;
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
              });
}

}  // namespace
