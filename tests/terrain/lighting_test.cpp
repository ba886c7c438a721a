// The lighting file: the keywords, the plane clamps, flares and their element limit,
// the end of reading at an unknown keyword, default skies, a missing file, and the fog
// handed to the three fogged programs.
#include "gl_recorder.h"
#include "track_files.h"

#include "terrain/lighting.h"

#include "gfx/model_scene.h"
#include "gfx/shaders.h"
#include "gfx/texture_cache.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

class Lighting : public ::testing::Test {
protected:
    void SetUp() override { glrec::install(); }
    void TearDown() override { texture_purge(1); }

    static void read(const std::string& text)
    {
        bvtest::write_file(trackfiles::root() + "/lighting", text);
        glrec::calls().clear();
        lighting_read((trackfiles::root() + "/lighting").c_str());
    }
    // A 1 x 1 picture in the installation folder.
    static void picture(const std::string& name)
    {
        bvtest::write_file(trackfiles::root() + "/game/" + name, "P6 1 1 255\nabc");
    }
    // "use <id>" and "<uniform> <values>" for the program switches and fog uniforms.
    static std::vector<std::string> fog_calls()
    {
        std::vector<std::string> out;
        for (const glrec::Call& c : glrec::calls())
            if (c.name == "UseProgram" || c.name.starts_with("u_fog")) {
                std::ostringstream line;
                line << (c.name == "UseProgram" ? "use" : c.name);
                for (int64_t a : c.args)
                    line << ' ' << a;
                for (float v : c.floats)
                    line << ' ' << v;
                out.push_back(line.str());
            }
        return out;
    }
};

TEST_F(Lighting, EveryKeywordIsStoredAndTheFogReachesTheFoggedPrograms)
{
    picture("tex/sky-north.ppm");
    picture("sky-e.ppm");
    read("sun_vector [ 0 3 4 ]\n"
         "\tsun_color [ 0.9 0.8 0.7 ]\n"
         "ambient [ 0.1 0.2 0.3 ]   \n"
         "global_ambient [0.4 0.5 0.6]\r\n"
         "   \n"
         "fog [ 0.7 0.8 0.9 ] 0.0005\n"
         "near_plane 0.5\n"
         "far_plane 4000\n"
         "dynamic_lighting 2\n"
         "sky_n @tex/sky-north.ppm\n");
    EXPECT_FLOAT_EQ(lighting.sun_vector[2], 0.8f) << "normalised";
    EXPECT_FLOAT_EQ(lighting.ambient[0], 0.1f);
    EXPECT_FLOAT_EQ(lighting.near_plane, 0.5f);
    EXPECT_FLOAT_EQ(lighting.far_plane, 4000);
    EXPECT_EQ(lighting.dynamic_lighting, 1);
    // The models are lit by the same light.
    EXPECT_FLOAT_EQ(model_lighting.sun_color[1], 0.8f);
    EXPECT_FLOAT_EQ(model_lighting.global_ambient[2], 0.6f);
    // A named sky, a default one that exists, and one that does not.
    EXPECT_EQ(lighting.sky[sky_n], texture_find("@tex/sky-north.ppm"));
    EXPECT_EQ(lighting.sky[sky_e], texture_find("@sky-e.ppm"));
    EXPECT_NE(lighting.sky[sky_e], 0u);
    EXPECT_EQ(lighting.sky[sky_s], 0u);
    const std::string density = "u_fog_density 0.0005", colour = "u_fog_color 0.7 0.8 0.9";
    const std::vector<std::string> want = {"use " + std::to_string(shader_norm_spec_lit), density, colour,
                                           "use " + std::to_string(shader_terrain), density, colour,
                                           "use " + std::to_string(shader_unlit), density, colour};
    EXPECT_EQ(fog_calls(), want);
}

TEST_F(Lighting, PlanesAreClampedAndOddValuesLeaveTheDefaults)
{
    const struct {
        const char* text;
        float near, far;
    } planes[] = {{"near_plane 0\n", 1.0f / 1024, 5000},        {"near_plane 2\n", 0.875f, 5000},
                  {"far_plane 0.1\n", 0.25f, 0.25f},            {"far_plane 3000000\n", 0.25f, 1048576},
                  {"near_plane 0.5\nfar_plane 0.1\n", 0.5f, 0.5f},
                  {"near_plane nan\nfar_plane inf\nnear_plane\nfar_plane x\n", 0.25f, 5000}};
    for (const auto& p : planes) {
        read(p.text);
        EXPECT_FLOAT_EQ(lighting.near_plane, p.near) << p.text;
        EXPECT_FLOAT_EQ(lighting.far_plane, p.far) << p.text;
    }
    read("dynamic_lighting -3\n");
    EXPECT_EQ(lighting.dynamic_lighting, 0);
    // Values that parse before a mismatch are kept; fog needs all four numbers and a
    // finite density; a sun with no direction keeps the default one.
    read("sun_color [ 0.5 x 0.5 ]\nfog [ 0.4 0.5 0.6 ]\nfog [ 0.4 0.5 0.6 ] inf\nsun_vector [ 0 0 0 ]\n");
    EXPECT_FLOAT_EQ(lighting.sun_color[0], 0.5f);
    EXPECT_FLOAT_EQ(lighting.sun_color[1], 1);
    EXPECT_FLOAT_EQ(lighting.fog_density, 0);
    EXPECT_NEAR(lighting.sun_vector[0], 0.57735f, 1e-5);
}

// Numbers past the float range scan as infinity: a colour keeps its value instead, and
// a fog line with one is refused whole.
TEST_F(Lighting, OverflowingColoursKeepTheirValues)
{
    read("fog [ 0.3 0.2 0.1 ] 0.25\n");
    read("sun_color [ 1e39 0.5 0.5 ]\n"
         "ambient [ 0.1 -1e39 0.3 ]\n"
         "global_ambient [ 0.4 0.5 1e39 ]\n"
         "fog [ 1e39 0 0 ] 0.5\n");
    const float want[3][3] = {{1, 0.5f, 0.5f}, {0.1f, 0.5f, 0.3f}, {0.4f, 0.5f, 0.2f}};
    const float* got[3] = {lighting.sun_color, lighting.ambient, lighting.global_ambient};
    for (int k = 0; k < 3; ++k)
        for (int i = 0; i < 3; ++i)
            EXPECT_FLOAT_EQ(got[k][i], want[k][i]) << "keyword " << k << " value " << i;
    EXPECT_FLOAT_EQ(lighting.fog_color[0], 0.3f);
    EXPECT_FLOAT_EQ(lighting.fog_density, 0);
    EXPECT_FLOAT_EQ(model_lighting.sun_color[0], 1);
}

// Without a file the default sun still has unit length, as it has after a file.
TEST_F(Lighting, TheSunIsAUnitVectorWithOrWithoutAFile)
{
    for (bool with_file : {true, false}) {
        if (with_file)
            read("ambient [ 1 1 1 ]\n");
        else
            lighting_read((trackfiles::root() + "/no-such-lighting").c_str());
        const float* v = lighting.sun_vector;
        EXPECT_NEAR(v[0] * v[0] + v[1] * v[1] + v[2] * v[2], 1.0f, 1e-6) << (with_file ? "file" : "no file");
        EXPECT_NEAR(v[1], 0.57735f, 1e-5);
    }
}

TEST_F(Lighting, FlaresTakeAtMostEightElementsBeforeTheirAnchor)
{
    picture("flare.ppm");
    std::string text;
    for (int i = 0; i < 9; ++i)
        text += "flare_element [ " + std::to_string(i) + " 0.5 ] [ 1 0.5 0.25 ] 2 @flare.ppm\n";
    read(text + "flare_point [ 10 20 30 ]\nflare_element [ 1 2 ] [ 3 4 5 ] @flare.ppm\nflare_vector [ 0 1 ]\n");
    ASSERT_EQ(lighting.flares.count, 2);
    const flare* f = static_cast<const flare*>(lighting.flares.items);
    EXPECT_EQ(f[0].kind, 0);
    EXPECT_EQ(f[0].element_count, 8);
    EXPECT_FLOAT_EQ(f[0].offset[7][0], 7);
    EXPECT_FLOAT_EQ(f[0].anchor[2], 30);
    EXPECT_EQ(f[0].texture[3], texture_find("@flare.ppm"));
    EXPECT_EQ(f[1].kind, 1);
    EXPECT_EQ(f[1].element_count, 0) << "an element without its size is ignored";
    read("ambient [ 1 1 1 ]\n");
    EXPECT_EQ(lighting.flares.count, 0) << "a new file starts with no flares";
}

TEST_F(Lighting, AnUnknownKeywordEndsTheReadingAMissingFileKeepsTheFogColour)
{
    ConsoleCapture console;
    read("fog [ 0.3 0.2 0.1 ] 0.25\nnear_plane 0.5\nfoo bar baz\nfar_plane 10\n");
    EXPECT_NE(console.text().find("Error reading lighting: Unknown identifier 'foo'"), std::string::npos);
    EXPECT_FLOAT_EQ(lighting.near_plane, 0.5f);
    EXPECT_FLOAT_EQ(lighting.far_plane, 5000);
    EXPECT_EQ(fog_calls().size(), 9u) << "the clamps, skies and fog still ran";
    // The tail of an overlong line is no line of its own.
    read("near_plane 0.5" + std::string(2000, ' ') + "far_plane 7\n" + "far_plane 9\n");
    EXPECT_FLOAT_EQ(lighting.far_plane, 9);

    glrec::calls().clear();
    lighting_read((trackfiles::root() + "/no-such-lighting").c_str());
    EXPECT_FLOAT_EQ(lighting.near_plane, 0.25f);
    EXPECT_FLOAT_EQ(lighting.fog_density, 0);
    EXPECT_FLOAT_EQ(lighting.fog_color[0], 0.3f);
    EXPECT_TRUE(fog_calls().empty());
}

}  // namespace
