// Drawing models on the fake GL table: which level of detail is drawn from where, the
// material uniforms each kind of part receives in each pass, edge lines, and the
// POV-Ray text of the export.
#include "model_fixtures.h"

#include "foundation/vfs/vfs.h"
#include "gfx/gl_layer.h"
#include "gfx/gl_state.h"
#include "gfx/shaders.h"

#include <cstdio>

namespace {

using modeltest::owned_model;
using modeltest::triangle_part;

class ModelDraw : public modeltest::ModelTest {
protected:
    // A base model with variants of the given keys, the k-th variant with 3 + k
    // vertices so the drawn one can be told apart.
    owned_model with_variants(std::initializer_list<float> keys)
    {
        owned_model base = load("JM1\n" + triangle_part("1 1 1 1 1"));
        model* last = base.get();
        int extra = 1;
        for (float key : keys) {
            std::string text = "JM1\n1 1 1 1 1 " + std::to_string(3 + extra) + " 1\n";
            for (int i = 0; i < 3 + extra; ++i)
                text += std::to_string(i % 2) + " " + std::to_string(i / 2) + " 0 0 0 1 0 0\n";
            last->next_lod = model_load_file(file("v" + std::to_string(extra++) + ".jm", text + "0 1 2\n").c_str());
            last = last->next_lod;
            last->lod_key = key;
        }
        return base;
    }
    static int drawn_from(const model* base, float distance)
    {
        const float position[3] = {0, 0, distance};
        return model_choose_lod(base, position)->vertex_count - 3;   // 0 = the model itself
    }
    // The material and draw calls since the last clear, one readable line each.
    static std::vector<std::string> material_log()
    {
        auto name_of = [](int64_t location) -> std::string {
            for (const char* u : {"u_ambient", "u_diffuse", "u_specular_color", "u_shininess", "u_nbones"})
                if (fakegl::location_of(gl_state.program[shader_norm_spec_lit], u) == location)
                    return u + 2;
            return "?";
        };
        std::vector<std::string> lines;
        for (const auto& c : fakegl::calls()) {
            if (c.name == "DrawElements")
                lines.push_back("draw " + std::to_string(c.args[1]));
            else if (c.name == "Uniform1i")
                lines.push_back(name_of(c.args[0]) + " " + std::to_string(c.args[1]));
            if (c.name != "Uniform4fv" && c.name != "Uniform3fv" && c.name != "Uniform1f")
                continue;
            std::string line = name_of(c.args[0]);
            for (float f : c.floats) {
                char number[32];
                snprintf(number, sizeof number, " %.4g", f);
                line += number;
            }
            lines.push_back(line);
        }
        return lines;
    }
    void use_lit_program()
    {
        ASSERT_EQ(gl_create_shaders(), 1);
        gl_use_shader(shader_norm_spec_lit);
        fakegl::clear_calls();
    }
    const float origin[3] = {0, 0, 0};
};

TEST_F(ModelDraw, LevelOfDetailFollowsScaledDistanceAndBias)
{
    owned_model gate = with_variants({2, 4});
    for (auto [distance, variant] : {std::pair{0.0f, 0}, {1.5f, 0}, {3.0f, 1}, {4.0f, 2}, {400.0f, 2}})
        EXPECT_EQ(drawn_from(gate.get(), distance), variant) << distance;
    // The distance counts from the camera, scaled.
    camera_position[2] = 2.5f;
    EXPECT_EQ(drawn_from(gate.get(), 4), 0);
    lod_scale = 2;
    EXPECT_EQ(drawn_from(gate.get(), 4), 1);
    camera_position[2] = 0;
    lod_scale = 1;
    // A bias at or above every key makes the coarsest win everywhere; a negative one
    // pushes each switch further out.
    lod_bias = 4;
    EXPECT_EQ(drawn_from(gate.get(), 0), 2);
    lod_bias = -1;
    for (auto [distance, variant] : {std::pair{2.9f, 0}, {3.0f, 1}, {4.9f, 1}, {5.0f, 2}})
        EXPECT_EQ(drawn_from(gate.get(), distance), variant) << distance;
}

TEST_F(ModelDraw, EachPartKindGetsItsMaterialInEachPass)
{
    model_lighting = {{0.9f, 0.8f, 0.7f}, {0.1f, 0.2f, 0.3f}, {0.05f, 0.05f, 0.05f}};
    model_alpha = 0.5f;
    owned_model m = load("JM1\n" + triangle_part("10 1 0.5 0.25 1") + triangle_part("-2 1 1 0.5 0") +
                         triangle_part("0.05 1 1 1 1") + triangle_part("-1 0.5 1 1 0.5") +
                         triangle_part("5 1 1 1 1") + triangle_part("-1 2 0.25 0.5 1"));
    ASSERT_TRUE(m);
    use_lit_program();
    // Lit: ambient + global ambient at model_alpha, the sun's diffuse, specular tinted;
    // self-lit: its colour, no diffuse or specular. The first reflection layer ends the pass.
    model_draw(m.get(), origin);
    const std::string lit = "ambient 0.15 0.25 0.35 0.5|diffuse 0.9 0.8 0.7|";
    std::string drawn;
    for (const std::string& line : material_log())
        drawn += line + "|";
    EXPECT_EQ(drawn, "nbones 0|" + lit + "specular_color 0.45 0.2 0.7|shininess 10|draw 3|"
                     "ambient 1 0.5 0 0.5|diffuse 0 0 0|specular_color 0 0 0|shininess 1|draw 3|" +
                     lit + "specular_color 0.9 0.8 0.7|shininess 0.125|draw 3|");
    EXPECT_EQ(model_triangles_drawn * 100 + model_vertices_drawn, 309);

    // A specular map of the caller's own replaces the part's tint.
    fakegl::clear_calls();
    model_has_specular_map = 1;
    model_draw(m.get(), origin);
    EXPECT_EQ(material_log()[3], "specular_color 0.9 0.8 0.7");

    // The second pass visits every part and draws only the reflection layers.
    fakegl::clear_calls();
    model_draw_reflection(m.get(), origin);
    EXPECT_EQ(material_log(), (std::vector<std::string>{"nbones 0", "specular_color 0.5 0.5 0.25", "draw 3",
                                                         "specular_color 0.5 1 2", "draw 3"}));
    EXPECT_EQ(fakegl::calls_named("DrawElements")[0].args, (std::vector<int64_t>{GL_TRIANGLES, 3, GL_UNSIGNED_INT, 0}));
    EXPECT_EQ(fakegl::trace().back(), "BindVertexArray(0)");

    // Bones go to the shader ahead of the part's own uniforms.
    owned_model skinned = load("JM2 2 s\n" + triangle_part("8 1 1 1 1", 2));
    std::vector<float> centres(2 * 3, 0.5f), translations(2 * 3, 1), rotations(2 * 9, 0);
    fakegl::clear_calls();
    model_draw_skinned(skinned.get(), origin, centres.data(), translations.data(), rotations.data(), 2);
    EXPECT_EQ(material_log()[0], "nbones 2");
    EXPECT_EQ(fakegl::calls_named("UniformMatrix3fv").at(0).args[1], 2);
}

// The fake table keeps identity matrices: the view is the cube from -1 to 1. A
// skinned part is bounded where its bones carry it, not where it rests; one whose
// weights do not add up to 1 is always drawn.
TEST_F(ModelDraw, PartsOutOfTheViewAreLeftOutWhereverTheirBonesCarryThem)
{
    use_lit_program();
    auto draws = [&](const model* m, float bone_x) {
        const float centre[3] = {0, 0, 0}, translation[3] = {bone_x, 0, 0};
        const float rotation[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
        fakegl::clear_calls();
        model_draw_skinned(m, origin, centre, translation, rotation, 1);
        return fakegl::calls_named("DrawElements").size();
    };
    owned_model weighted = load("JM2 1 s\n8 1 1 1 1 3 1\n0 0 0  0 0 1  0 0 1\n1 0 0  0 0 1  1 0 1\n"
                                "0 1 0  0 0 1  0 1 1\n0 1 2\n");
    ASSERT_TRUE(weighted);
    EXPECT_EQ(draws(weighted.get(), 0), 1u);
    EXPECT_EQ(draws(weighted.get(), -1.5f), 1u);   // its far corner still reaches in
    EXPECT_EQ(draws(weighted.get(), 5), 0u);
    fakegl::clear_calls();
    model_draw(weighted.get(), origin);   // without bones, where it rests
    EXPECT_EQ(fakegl::calls_named("DrawElements").size(), 1u);
    // Files are normalised as they are read; weights changed since are no blend.
    weighted->bone_weights[0] = 0.5f;
    model_bounds(weighted.get());
    EXPECT_EQ(draws(weighted.get(), 5), 1u);
}

TEST_F(ModelDraw, ReflectionsNeedTheSettingAndALayerAndEdgesComeFromTheCoarsestVariant)
{
    owned_model shiny = load("JM1\n" + triangle_part("8 1 1 1 1") + triangle_part("-1 1 1 1 1"));
    EXPECT_EQ(model_has_reflection(shiny.get()), 1);
    reflections = 0;
    EXPECT_EQ(model_has_reflection(shiny.get()), 0);
    // A model that begins with its reflection layer draws nothing in the first pass.
    owned_model only = load("JM1\n" + triangle_part("-1 1 1 1 1") + triangle_part("8 1 1 1 1"));
    use_lit_program();
    model_draw(only.get(), origin);
    EXPECT_EQ(fakegl::count("DrawElements"), 0);

    // Edge lines: the first part of the coarsest variant, triangle (0 1 2) at (0,0), (1,0), (0,1).
    owned_model m = with_variants({2});
    m->next_lod->next_part = model_load_file(file("p.jm", "JM1\n" + triangle_part("1 1 1 1 1")).c_str());
    const int base = gl_state.imm_batch.vertex_base + gl_state.imm_batch.vertex_count;
    model_draw_edges(m.get());
    ASSERT_EQ(gl_state.imm_batch.vertex_base + gl_state.imm_batch.vertex_count, base + 6);
    std::vector<float> xy;
    for (int v = 0; v < 6; ++v)
        xy.insert(xy.end(), gl_state.imm_batch.vertices + (base + v) * imm_vertex_floats,
                  gl_state.imm_batch.vertices + (base + v) * imm_vertex_floats + 2);
    EXPECT_EQ(xy, (std::vector<float>{0, 0, 1, 0, 1, 0, 0, 1, 0, 1, 0, 0}));
}

TEST_F(ModelDraw, ExportWritesPovMeshesWithoutTrailingCommas)
{
    owned_model one = load("JM1\n" + triangle_part("1 1 1 1 1"));
    owned_model two = load("JM1\n" + triangle_part("1 1 1 1 1") + triangle_part("-1 1 1 1 1"));
    auto exported = [&](const model* m) {
        const std::string path = dir / "out.pov";
        vfs_file* f = vfs_open(path.c_str(), "wb");
        EXPECT_NE(f, nullptr);
        model_write_pov(m, f);
        vfs_close(f);
        return bvtest::read_file(path);
    };
    const std::string block =
        "mesh2 {\n"
        "\tvertex_vectors {\n\t\t3\n"
        "\t\t<0.000000,0.000000,0.000000>,\n\t\t<1.000000,0.000000,0.000000>,\n\t\t<0.000000,1.000000,0.000000>\n"
        "\t}\n"
        "\tnormal_vectors {\n\t\t3\n"
        "\t\t<0.000000,0.000000,1.000000>,\n\t\t<0.000000,0.000000,1.000000>,\n\t\t<0.000000,0.000000,1.000000>\n"
        "\t}\n"
        "\tuv_vectors {\n\t\t3\n"
        "\t\t<0.000000,1.000000>,\n\t\t<1.000000,1.000000>,\n\t\t<0.000000,0.000000>\n"
        "\t}\n"
        "\tface_indices {\n\t\t1\n"
        "\t\t<0,1,2>\n"
        "\t}\n"
        "}\n";
    EXPECT_EQ(exported(one.get()), block);
    EXPECT_EQ(exported(two.get()), "union {\n" + block + block + "}\n");
}

}  // namespace
