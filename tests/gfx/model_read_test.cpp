// Reading ".jm" files on the fake GL table: every form, headers and counts that must
// be refused without harm, the four-influence bone rule, tangents and the triangle
// clean-up.
#include "model_fixtures.h"

namespace {

using modeltest::triangle_part;
using ModelRead = modeltest::ModelTest;

TEST_F(ModelRead, EveryFormLoadsWithItsPartKinds)
{
    auto legacy = load("3 1\n0 0 0 0 0 1 0 0\n1 0 0 0 0 1 1 0\n0 1 0 0 0 1 0 0.25\n0 1 2\n");
    ASSERT_TRUE(legacy);
    EXPECT_EQ(part_count(legacy.get()), 1);
    EXPECT_EQ((std::vector<float>{legacy->s, legacy->r, legacy->g, legacy->b, legacy->a}),
              (std::vector<float>{32, 1, 1, 1, 1}));
    EXPECT_EQ(legacy->bone_count, 0);
    EXPECT_EQ(legacy->texcoords[5], 0.75f);   // v is stored as 1 - v

    // Lit with a below the cut-off, a reflection layer, then self-lit.
    auto three = load("JM1\n" + triangle_part("0 0.5 1 1 1") + triangle_part("-1 0.5 1 0.8 0.6") +
                      triangle_part("-2 0.25 0.1 0.2 0.3"));
    ASSERT_EQ(part_count(three.get()), 3);
    const model *lit = three.get(), *shine = lit->next_part, *glow = shine->next_part;
    EXPECT_EQ((std::vector<float>{lit->s, lit->a, shine->s, shine->a, shine->g, glow->a}),
              (std::vector<float>{0, 1, -1, 0.5f, 0.8f, 0.25f}));   // a forced to 1 unless s < 0
    EXPECT_EQ((std::vector<int>{lit->has_reflection, shine->has_reflection, glow->has_reflection}),
              (std::vector<int>{1, 1, 0}));   // the first part speaks for the file
    EXPECT_STREQ(model_name(glow), (dir / "m.jm").c_str());

    auto skinned = load("JM2 3 arm\n" + triangle_part("8 1 1 1 1", 3));
    ASSERT_TRUE(skinned);
    EXPECT_EQ(skinned->bone_count, 3);
    EXPECT_NE(skinned->bone_numbers, nullptr);
}

TEST_F(ModelRead, BadHeadersAndImplausibleCountsAreRefusedWithoutHarm)
{
    LogCapture log;
    for (const std::string& text : {"JM3\n" + triangle_part("1 1 1 1 1"), "JM2 two bones\n" + triangle_part("1 1 1 1 1"),
                                    "JM2 33 big\n" + triangle_part("1 1 1 1 1", 33),
                                    "JM2 -1 neg\n" + triangle_part("1 1 1 1 1"), std::string("JMx\n3 1\n"),
                                    std::string(""), std::string("JM1\n"), std::string("-3 1\n"),
                                    std::string("JM1\n1 1 1 1 1 3 1\n0 0 0 0 0 1 0 0\n")})
        EXPECT_FALSE(load(text)) << text;
    EXPECT_FALSE(model_load_file((dir / "missing.jm").c_str()));
    EXPECT_NE(log.text().find("33 bones in"), std::string::npos) << log.text();
    EXPECT_NE(log.text().find("-1 bones in"), std::string::npos) << log.text();

    // A later part with such counts ends the part list.
    const std::string good = triangle_part("1 1 1 1 1");
    for (const char* bad : {"1 1 1 1 1 -5 1\n", "1 1 1 1 1 3 -1\n", "1 1 1 1 1 2147483647 1\n",
                            "1 1 1 1 1 3 2000000000\n", "1 1 1 1 1 99999999999 1\n"}) {
        EXPECT_EQ(part_count(load("JM1\n" + good + bad + "0 0 0 0 0 1 0 0\n").get()), 1) << bad;
        EXPECT_FALSE(load(std::string("JM1\n") + bad)) << bad;
    }
    // So does a part cut off inside a vertex, inside the weights or inside the triangles.
    EXPECT_EQ(part_count(load("JM2 2 s\n" + triangle_part("1 1 1 1 1", 2) + "1 1 1 1 1 1 1\n0 0 0 0 0 1 0 0 0.5\n").get()), 1);
    EXPECT_EQ(part_count(load("JM1\n" + good + "1 1 1 1 1 3 2\n" + good.substr(good.find('\n') + 1) + "0 1").get()), 1);
}

TEST_F(ModelRead, OutOfRangeAndZeroAreaTrianglesAreDroppedAndCounted)
{
    LogCapture log;
    // Five vertices; (4 4 7), (0 1 5), (-1 0 1) and the collinear (0 1 3) go.
    auto m = load("JM1\n1 1 1 1 1 5 6\n"
                  "0 0 0 0 0 1 0 0\n1 0 0 0 0 1 1 0\n0 1 0 0 0 1 0 1\n2 0 0 0 0 1 0 1\n1 1 0 0 0 1 1 1\n"
                  "0 1 2\n4 4 7\n0 1 5\n-1 0 1\n0 1 3\n1 4 2\n",
                  "dirty.jm");
    ASSERT_TRUE(m);
    ASSERT_EQ(m->triangle_count, 2);
    EXPECT_EQ((std::vector<uint32_t>(m->triangles, m->triangles + 6)), (std::vector<uint32_t>{0, 1, 2, 1, 4, 2}));
    EXPECT_NE(log.text().find("4 degenerate triangles deleted in " + (dir / "dirty.jm")), std::string::npos) << log.text();
    // The count starts again with every file.
    LogCapture clean_log;
    ASSERT_TRUE(load("JM1\n" + triangle_part("1 1 1 1 1")));
    EXPECT_EQ(clean_log.text().find("degenerate"), std::string::npos);
}

TEST_F(ModelRead, BoneWeightsPackIntoFourInfluencesWarningOncePerPart)
{
    // One vertex with the given weights, then two with the others (one influence if none given).
    auto weighted = [](int bones, const std::string& weights, std::string others = "") {
        if (others.empty())
            for (int i = 0; i < bones; ++i)
                others += i ? " 0" : "1";
        return "1 1 1 1 1 3 1\n0 0 0 0 0 1 0 0 " + weights + "\n1 0 0 0 0 1 1 0 " + others + "\n0 1 0 0 0 1 0 1 " +
               others + "\n0 1 2\n";
    };
    auto slots = [](const model* m, int v) {
        std::vector<std::pair<int, float>> out;
        for (int k = 0; k < 4; ++k)
            out.emplace_back(m->bone_numbers[4 * v + k], m->bone_weights[4 * v + k]);
        return out;
    };
    using Slots = std::vector<std::pair<int, float>>;
    LogCapture log;
    auto crowded = load("JM2 5 s\n" + weighted(5, "0.5 0.3 0.2 0.1 0.05") + weighted(5, "1 1 1 1 1", "1 1 1 1 1"));
    ASSERT_TRUE(crowded);
    // The smaller fifth weight still replaces the smallest slot.
    const float sum = 1.05f;
    EXPECT_EQ(slots(crowded.get(), 0), (Slots{{0, 0.5f / sum}, {1, 0.3f / sum}, {2, 0.2f / sum}, {4, 0.05f / sum}}));
    EXPECT_EQ(slots(crowded.get(), 1), (Slots{{0, 1}, {0, 0}, {0, 0}, {0, 0}}));
    // Equal weights: the newcomer takes the lowest of the equally small slots.
    EXPECT_EQ(slots(crowded->next_part, 0), (Slots{{4, 0.25f}, {1, 0.25f}, {2, 0.25f}, {3, 0.25f}}));
    const std::string text = log.text();
    const std::string warning = "Warning: vertex with more than 4 bone influences in '";
    EXPECT_NE(text.find(warning), std::string::npos) << text;
    EXPECT_NE(text.find(warning, text.find(warning) + 1), std::string::npos) << text;
    EXPECT_EQ(text.find(warning, text.find(warning, text.find(warning) + 1) + 1), std::string::npos) << text;

    // No positive weight at all: a quarter each, all on bone 0.
    auto nothing = load("JM2 3 s\n" + weighted(3, "0 -1 0"));
    ASSERT_TRUE(nothing);
    EXPECT_EQ(slots(nothing.get(), 0), (Slots{{0, 0.25f}, {0, 0.25f}, {0, 0.25f}, {0, 0.25f}}));
}

TEST_F(ModelRead, TangentsFollowTheTextureAndSurviveTheTriangleCleanUp)
{
    auto tangent = [](const model* m, int v) {
        return std::vector<float>{m->tangents[3 * v], m->tangents[3 * v + 1], m->tangents[3 * v + 2]};
    };
    // u along x: plain and mirrored mappings give the same tangent (the flip rule).
    auto plain = load("JM1\n" + triangle_part("1 1 1 1 1"));
    auto mirrored = load("JM1\n1 1 1 1 1 3 1\n0 0 0 0 0 1 0 0\n1 0 0 0 0 1 -1 0\n0 1 0 0 0 1 0 1\n0 1 2\n");
    ASSERT_TRUE(plain && mirrored);
    EXPECT_EQ(tangent(plain.get(), 0), (std::vector<float>{-1, 0, 0}));
    EXPECT_EQ(tangent(mirrored.get(), 0), tangent(plain.get(), 0));

    // Vertex 3 is touched only by a collinear triangle: it still voted before being
    // dropped. Vertex 4 is touched by nothing. Vertices 5-7 share one texture point,
    // so only the faint vote along the longer edge (5 to 6) is left.
    auto m = load("JM1\n1 1 1 1 1 8 3\n"
                  "0 0 0 0 0 1 0 0\n1 0 0 0 0 1 1 0\n0 1 0 0 0 1 0 1\n2 0 0 0 0 1 0 1\n9 9 9 0 0 1 0 0\n"
                  "0 0 5 0 0 1 0.5 0.5\n0 3 5 0 0 1 0.5 0.5\n1 0 5 0 0 1 0.5 0.5\n"
                  "0 1 2\n0 1 3\n5 6 7\n");
    ASSERT_TRUE(m);
    EXPECT_EQ(m->triangle_count, 2);
    EXPECT_EQ(tangent(m.get(), 3), (std::vector<float>{-1, 0, 0}));
    EXPECT_EQ(tangent(m.get(), 4), (std::vector<float>{1, 0, 0}));
    EXPECT_EQ(tangent(m.get(), 5), (std::vector<float>{0, 1, 0}));
    EXPECT_EQ(tangent(m.get(), 7), (std::vector<float>{0, 1, 0}));
}

}  // namespace
