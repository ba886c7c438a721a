// Reading ".jm" files on the fake GL table: every form, headers and counts that must
// be refused without harm, the four-influence bone rule, tangents, the triangle
// clean-up and the buffer layout handed to GL.
#include "model_fixtures.h"

#include <cmath>

namespace {

using modeltest::ModelTest;
using modeltest::triangle_part;

class ModelRead : public ModelTest {};

TEST_F(ModelRead, EveryFormLoadsWithItsPartKinds)
{
    auto legacy = load("3 1\n0 0 0 0 0 1 0 0\n1 0 0 0 0 1 1 0\n0 1 0 0 0 1 0 0.25\n0 1 2\n");
    ASSERT_TRUE(legacy);
    EXPECT_EQ(part_count(legacy.get()), 1);
    EXPECT_EQ(legacy->s, 32.0f);
    EXPECT_EQ((std::vector<float>{legacy->r, legacy->g, legacy->b, legacy->a}), (std::vector<float>{1, 1, 1, 1}));
    EXPECT_EQ(legacy->bone_count, 0);
    EXPECT_EQ(legacy->bone_weights, nullptr);
    EXPECT_EQ(legacy->texcoords[5], 0.75f);   // v is stored as 1 - v
    EXPECT_EQ(legacy->has_reflection, 0);

    // Lit with a below the cut-off, a reflection layer, then self-lit.
    auto three = load("JM1\n" + triangle_part("0 0.5 1 1 1") + triangle_part("-1 0.5 1 0.8 0.6") +
                      triangle_part("-2 0.25 0.1 0.2 0.3"));
    ASSERT_TRUE(three);
    ASSERT_EQ(part_count(three.get()), 3);
    const model* lit = three.get();
    const model* shine = lit->next_part;
    const model* glow = shine->next_part;
    EXPECT_EQ(lit->a, 1.0f);          // forced unless s < 0
    EXPECT_EQ(lit->s, 0.0f);
    EXPECT_EQ(shine->s, -1.0f);
    EXPECT_EQ(shine->a, 0.5f);
    EXPECT_EQ(shine->g, 0.8f);
    EXPECT_EQ(glow->a, 0.25f);
    EXPECT_EQ(lit->has_reflection, 1);   // the first part speaks for the file
    EXPECT_EQ(shine->has_reflection, 1);
    EXPECT_EQ(glow->has_reflection, 0);
    EXPECT_STREQ(model_name(glow), (dir / "m.jm").c_str());

    auto skinned = load("JM2 3 arm\n" + triangle_part("8 1 1 1 1", 3));
    ASSERT_TRUE(skinned);
    EXPECT_EQ(skinned->bone_count, 3);
    ASSERT_NE(skinned->bone_weights, nullptr);
    ASSERT_NE(skinned->bone_numbers, nullptr);
}

TEST_F(ModelRead, BadHeadersGiveNoModel)
{
    LogCapture log;
    EXPECT_FALSE(load("JM3\n" + triangle_part("1 1 1 1 1")));
    EXPECT_FALSE(load("JM2 two bones\n" + triangle_part("1 1 1 1 1")));
    EXPECT_FALSE(load("JM2 33 big\n" + triangle_part("1 1 1 1 1", 33)));
    EXPECT_FALSE(load("JM2 -1 neg\n" + triangle_part("1 1 1 1 1")));
    EXPECT_FALSE(load("JMx\n3 1\n"));
    EXPECT_FALSE(load(""));
    EXPECT_FALSE(load("JM1\n"));                                      // no part at all
    EXPECT_FALSE(load("JM1\n1 1 1 1 1 3 1\n0 0 0 0 0 1 0 0\n"));     // first part short
    EXPECT_FALSE(model_load_file((dir / "missing.jm").c_str()));
    EXPECT_NE(log.text().find("33 bones in"), std::string::npos) << log.text();
    EXPECT_NE(log.text().find("-1 bones in"), std::string::npos) << log.text();
}

TEST_F(ModelRead, ImplausibleCountsEndThePartListWithoutHarm)
{
    const std::string good = triangle_part("1 1 1 1 1");
    for (const char* bad : {"1 1 1 1 1 -5 1\n", "1 1 1 1 1 3 -1\n", "1 1 1 1 1 2147483647 1\n",
                            "1 1 1 1 1 3 2000000000\n", "1 1 1 1 1 99999999999 1\n"}) {
        auto m = load("JM1\n" + good + bad + "0 0 0 0 0 1 0 0\n");
        ASSERT_TRUE(m) << bad;
        EXPECT_EQ(part_count(m.get()), 1) << bad;
        EXPECT_FALSE(load(std::string("JM1\n") + bad)) << bad;
    }
    EXPECT_FALSE(load("-3 1\n"));   // a legacy header too

    // Cut off inside a vertex, inside the weights and inside the triangles.
    auto cut = load("JM2 2 s\n" + triangle_part("1 1 1 1 1", 2) + "1 1 1 1 1 1 1\n0 0 0 0 0 1 0 0 0.5\n");
    ASSERT_TRUE(cut);
    EXPECT_EQ(part_count(cut.get()), 1);
    auto cut_triangle = load("JM1\n" + good + "1 1 1 1 1 3 2\n" + good.substr(good.find('\n') + 1) + "0 1");
    ASSERT_TRUE(cut_triangle);
    EXPECT_EQ(part_count(cut_triangle.get()), 1);
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
    EXPECT_NE(log.text().find("4 degenerate triangles deleted in " + (dir / "dirty.jm")), std::string::npos)
        << log.text();

    // The count starts again with every file.
    LogCapture clean_log;
    ASSERT_TRUE(load("JM1\n" + triangle_part("1 1 1 1 1")));
    EXPECT_EQ(clean_log.text().find("degenerate"), std::string::npos);
}

// One vertex with the given weights on `bones` bones, followed by a second that
// needs no more than one influence.
std::string weighted(int bones, const std::string& weights)
{
    std::string one = " 1";
    for (int i = 1; i < bones; ++i)
        one += " 0";
    return "JM2 " + std::to_string(bones) + " s\n1 1 1 1 1 3 1\n0 0 0 0 0 1 0 0 " + weights +
           "\n1 0 0 0 0 1 1 0" + one + "\n0 1 0 0 0 1 0 1" + one + "\n0 1 2\n";
}

TEST_F(ModelRead, BoneWeightsPackIntoFourInfluences)
{
    auto slots = [](const model* m, int v) {
        std::vector<std::pair<int, float>> out;
        for (int k = 0; k < 4; ++k)
            out.emplace_back(m->bone_numbers[4 * v + k], m->bone_weights[4 * v + k]);
        return out;
    };
    LogCapture log;
    auto crowded = load(weighted(5, "0.5 0.3 0.2 0.1 0.05"));
    ASSERT_TRUE(crowded);
    const float sum = 1.05f;
    // The smaller fifth weight still replaces the smallest slot.
    EXPECT_EQ(slots(crowded.get(), 0), (std::vector<std::pair<int, float>>{
                                           {0, 0.5f / sum}, {1, 0.3f / sum}, {2, 0.2f / sum}, {4, 0.05f / sum}}));
    EXPECT_EQ(slots(crowded.get(), 1), (std::vector<std::pair<int, float>>{{0, 1}, {0, 0}, {0, 0}, {0, 0}}));
    EXPECT_NE(log.text().find("Warning: vertex with more than 4 bone influences in '"), std::string::npos);

    auto nothing = load(weighted(3, "0 -1 0"));
    ASSERT_TRUE(nothing);
    EXPECT_EQ(slots(nothing.get(), 0), (std::vector<std::pair<int, float>>{{0, 0.25f}, {0, 0.25f}, {0, 0.25f}, {0, 0.25f}}));

    // Equal weights: the newcomer takes the lowest of the equally small slots.
    auto ties = load(weighted(5, "2 2 2 2 2"));
    ASSERT_TRUE(ties);
    EXPECT_EQ(slots(ties.get(), 0), (std::vector<std::pair<int, float>>{{4, 0.25f}, {1, 0.25f}, {2, 0.25f}, {3, 0.25f}}));
}

TEST_F(ModelRead, CrowdedVerticesWarnOncePerPart)
{
    const std::string crowded_vertex = "0 0 0 0 0 1 0 0 1 1 1 1 1\n";
    std::string part = "1 1 1 1 1 3 1\n" + crowded_vertex + "1 0 0 0 0 1 1 0 1 1 1 1 1\n" +
                       "0 1 0 0 0 1 0 1 1 1 1 1 1\n0 1 2\n";
    LogCapture log;
    ASSERT_TRUE(load("JM2 5 s\n" + part + part));
    const std::string text = log.text();
    size_t warnings = 0;
    for (size_t at = text.find("more than 4"); at != std::string::npos; at = text.find("more than 4", at + 1))
        ++warnings;
    EXPECT_EQ(warnings, 2u) << text;
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
    for (int v = 0; v < 8; ++v) {
        auto t = tangent(m.get(), v);
        EXPECT_NEAR(t[0] * t[0] + t[1] * t[1] + t[2] * t[2], 1.0f, 1e-6f) << v;
    }
}

TEST_F(ModelRead, PartsUploadInTheSharedBufferLayout)
{
    auto attributes = [] {
        std::vector<std::vector<int64_t>> out;
        for (const auto& c : fakegl::calls_named("VertexAttribPointer"))
            out.push_back(c.args);
        return out;
    };
    auto m = load("JM1\n1 1 1 1 1 4 3\n0 0 0 0 0 1 0 0\n1 0 0 0 0 1 1 0\n0 1 0 0 0 1 0 1\n2 0 0 0 0 1 0 0\n"
                  "0 1 2\n0 1 3\n1 3 2\n");
    ASSERT_TRUE(m);
    const int64_t n = 4;
    EXPECT_EQ(attributes(), (std::vector<std::vector<int64_t>>{{0, 3, GL_FLOAT, 0, 0, 0},
                                                                {2, 3, GL_FLOAT, 0, 0, 12 * n},
                                                                {9, 3, GL_FLOAT, 0, 0, 24 * n},
                                                                {8, 2, GL_FLOAT, 0, 0, 36 * n}}));
    auto data = fakegl::calls_named("BufferData");
    ASSERT_EQ(data.size(), 2u);
    EXPECT_EQ(data[0].args, (std::vector<int64_t>{GL_ARRAY_BUFFER, 44 * n, 1, GL_STATIC_DRAW}));
    EXPECT_EQ(data[1].args, (std::vector<int64_t>{GL_ELEMENT_ARRAY_BUFFER, 2 * 12, 1, GL_STATIC_DRAW}));  // one dropped
    EXPECT_EQ(fakegl::trace().back(), "BindVertexArray(0)");
    EXPECT_NE(m->vertex_array, 0u);
    EXPECT_NE(m->vertex_buffer, 0u);
    EXPECT_NE(m->index_buffer, 0u);
    // The arrays lie in one run, in the buffer's order.
    EXPECT_EQ(m->normals, m->positions + 3 * n);
    EXPECT_EQ(m->texcoords, m->positions + 9 * n);

    fakegl::clear_calls();
    auto skinned = load("JM2 2 s\n" + triangle_part("1 1 1 1 1", 2));
    ASSERT_TRUE(skinned);
    auto with_bones = attributes();
    ASSERT_EQ(with_bones.size(), 6u);
    EXPECT_EQ(with_bones[4], (std::vector<int64_t>{10, 4, GL_FLOAT, 0, 0, 44 * 3}));
    EXPECT_EQ(with_bones[5], (std::vector<int64_t>{11, 4, GL_INT, 0, 0, 60 * 3}));
    EXPECT_EQ(fakegl::calls_named("BufferData")[0].args[1], 76 * 3);
    EXPECT_EQ(reinterpret_cast<float*>(skinned->bone_numbers), skinned->positions + 15 * 3);
}

}  // namespace
