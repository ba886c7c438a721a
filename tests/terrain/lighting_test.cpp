// The lighting file: every keyword, the plane clamps, flares and their element limit,
// the end of reading at an unknown keyword, default skies, a missing file, and the fog
// handed to the three fogged programs.
#include "lighting_gl_stub.h"
#include "track_files.h"

#include "terrain/lighting.h"

#include "gfx/model_scene.h"
#include "gfx/texture_cache.h"

#include "platform/qorl_log.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>

namespace {

// The test program's folders and log (track_files.h): root/game is the installation
// folder, root/log.txt the log.
struct Folders {
    struct Root {
        std::string operator/(const std::string& name) const { return trackfiles::root() + "/" + name; }
    } root;
};

Folders& folders()
{
    static Folders f;
    return f;
}

class Lighting : public ::testing::Test {
protected:
    void SetUp() override
    {
        lightgl::install();
        texture_purge(1);
    }
    void TearDown() override { texture_purge(1); }

    static void read(const std::string& text)
    {
        const std::string path = folders().root / "lighting";
        bvtest::write_file(path, text);
        lightgl::calls().clear();
        lighting_read(path.c_str());
    }
    static void put(const std::string& name, const std::string& bytes)
    {
        bvtest::write_file(folders().root / ("game/" + name), bytes);
    }
    static std::string ppm() { return "P6 1 1 255\nabc"; }
};

TEST_F(Lighting, EveryKeywordIsStored)
{
    put("tex/sky-north.ppm", ppm());
    put("sky-e.ppm", ppm());
    read("sun_vector [ 0.3 1 0.2 ]\n"
         "\tsun_color [ 0.9 0.8 0.7 ]\n"
         "ambient [ 0.1 0.2 0.3 ]   \n"
         "global_ambient [0.4 0.5 0.6]\r\n"
         "   \n"
         "\n"
         "fog [ 0.7 0.8 0.9 ] 0.0005\n"
         "near_plane 0.5\n"
         "far_plane 4000\n"
         "dynamic_lighting 2\n"
         "sky_n @tex/sky-north.ppm\n");
    const float length = std::sqrt(0.3f * 0.3f + 1 + 0.2f * 0.2f);
    EXPECT_NEAR(lighting.sun_vector[0], 0.3f / length, 1e-6);
    EXPECT_NEAR(lighting.sun_vector[1], 1 / length, 1e-6);
    EXPECT_FLOAT_EQ(lighting.sun_color[2], 0.7f);
    EXPECT_FLOAT_EQ(lighting.ambient[0], 0.1f);
    EXPECT_FLOAT_EQ(lighting.global_ambient[2], 0.6f);
    EXPECT_FLOAT_EQ(lighting.fog_color[1], 0.8f);
    EXPECT_FLOAT_EQ(lighting.fog_density, 0.0005f);
    EXPECT_FLOAT_EQ(lighting.near_plane, 0.5f);
    EXPECT_FLOAT_EQ(lighting.far_plane, 4000);
    EXPECT_EQ(lighting.dynamic_lighting, 1);
    // The models are lit by the same light.
    EXPECT_FLOAT_EQ(model_lighting.sun_color[1], 0.8f);
    EXPECT_FLOAT_EQ(model_lighting.ambient[2], 0.3f);
    EXPECT_FLOAT_EQ(model_lighting.global_ambient[0], 0.4f);
    EXPECT_EQ(lighting.sky[sky_n], texture_find("@tex/sky-north.ppm"));
    EXPECT_NE(lighting.sky[sky_n], 0u);
    // The missing skies take their defaults where those exist.
    EXPECT_EQ(lighting.sky[sky_e], texture_find("@sky-e.ppm"));
    EXPECT_NE(lighting.sky[sky_e], 0u);
    EXPECT_EQ(lighting.sky[sky_s], 0u);
    // The fog reaches norm_spec_lit, terrain and unlit, in that order.
    const std::vector<std::string> want = {
        "use 103", "u_fog_density 0.0005", "u_fog_color 0.7 0.8 0.9",
        "use 105", "u_fog_density 0.0005", "u_fog_color 0.7 0.8 0.9",
        "use 101", "u_fog_density 0.0005", "u_fog_color 0.7 0.8 0.9",
    };
    EXPECT_EQ(lightgl::calls(), want);
}

TEST_F(Lighting, PlanesAreClamped)
{
    read("near_plane 0\n");
    EXPECT_FLOAT_EQ(lighting.near_plane, 1.0f / 1024);
    read("near_plane 2\n");
    EXPECT_FLOAT_EQ(lighting.near_plane, 0.875f);
    EXPECT_FLOAT_EQ(lighting.far_plane, 5000);
    read("far_plane 0.1\n");
    EXPECT_FLOAT_EQ(lighting.far_plane, 0.25f);
    read("far_plane 3000000\n");
    EXPECT_FLOAT_EQ(lighting.far_plane, 1048576);
    read("near_plane 0.5\nfar_plane 0.1\n");
    EXPECT_FLOAT_EQ(lighting.far_plane, 0.5f);
    // Numbers that are no numbers leave the defaults.
    read("near_plane nan\nfar_plane inf\nnear_plane\nfar_plane x\n");
    EXPECT_FLOAT_EQ(lighting.near_plane, 0.25f);
    EXPECT_FLOAT_EQ(lighting.far_plane, 5000);
}

TEST_F(Lighting, FlaresTakeAtMostEightElementsBeforeTheirAnchor)
{
    put("flare.ppm", ppm());
    std::string text;
    for (int i = 0; i < 9; ++i)
        text += "flare_element [ " + std::to_string(i) + " 0.5 ] [ 1 0.5 0.25 ] 2 @flare.ppm\n";
    text += "flare_point [ 10 20 30 ]\n"
            "flare_element [ 1 2 ] [ 3 4 5 ] 6 @flare.ppm\n"
            "flare_element [ 1 2 ] [ 3 4 5 ] @flare.ppm\n"
            "flare_vector [ 0 1 ]\n"
            "flare_point\n";
    read(text);
    ASSERT_EQ(lighting.flares.count, 3);
    const flare* f = static_cast<const flare*>(lighting.flares.items);
    EXPECT_EQ(f[0].kind, 0);
    EXPECT_EQ(f[0].element_count, 8);
    EXPECT_FLOAT_EQ(f[0].offset[7][0], 7);
    EXPECT_FLOAT_EQ(f[0].anchor[2], 30);
    EXPECT_FLOAT_EQ(f[0].size[0], 2);
    EXPECT_EQ(f[0].texture[3], texture_find("@flare.ppm"));
    EXPECT_NE(f[0].texture[3], 0u);
    // The pending flare starts afresh: one element (the six-number line is ignored).
    EXPECT_EQ(f[1].kind, 1);
    EXPECT_EQ(f[1].element_count, 1);
    EXPECT_FLOAT_EQ(f[1].color[0][2], 5);
    EXPECT_FLOAT_EQ(f[1].anchor[1], 1);
    EXPECT_FLOAT_EQ(f[1].anchor[2], 0);
    EXPECT_EQ(f[2].element_count, 0);
    EXPECT_FLOAT_EQ(f[2].size[0], 1);
    // A new file starts with no flares.
    read("ambient [ 1 1 1 ]\n");
    EXPECT_EQ(lighting.flares.count, 0);
}

TEST_F(Lighting, PartialAndOddValues)
{
    read("dynamic_lighting -3\n");
    EXPECT_EQ(lighting.dynamic_lighting, 0);
    read("dynamic_lighting 1\ndynamic_lighting\n");
    EXPECT_EQ(lighting.dynamic_lighting, 1);
    // Values that parse before a mismatch are kept, the rest stay.
    read("sun_color [ 0.5 x 0.5 ]\nambient 0.9\n");
    EXPECT_FLOAT_EQ(lighting.sun_color[0], 0.5f);
    EXPECT_FLOAT_EQ(lighting.sun_color[1], 1);
    EXPECT_FLOAT_EQ(lighting.ambient[0], 0.5f);
    // Fog needs all four numbers, and a finite density.
    read("fog [ 0.1 0.2 0.3 ] 0.5\n");
    read("fog [ 0.4 0.5 0.6 ]\nfog [ 0.4 0.5 0.6 ] inf\n");
    EXPECT_FLOAT_EQ(lighting.fog_color[0], 0.1f);
    EXPECT_FLOAT_EQ(lighting.fog_density, 0);
    // A sun with no direction keeps the default one.
    read("sun_vector [ 0 0 0 ]\n");
    EXPECT_NEAR(lighting.sun_vector[0], 0.57735f, 1e-5);
    EXPECT_TRUE(std::isfinite(lighting.sun_vector[1]));
}

TEST_F(Lighting, AnUnknownKeywordEndsTheReadingButNotTheRest)
{
    read("near_plane 0.5\nfoo bar baz\nfar_plane 10\n");
    if (!getenv("QORL_LOGFILE")) {
        const std::string log = bvtest::read_file(folders().root / "log.txt");
        EXPECT_NE(log.find("Error reading lighting: Unknown identifier 'foo'"), std::string::npos);
    }
    EXPECT_FLOAT_EQ(lighting.near_plane, 0.5f);
    EXPECT_FLOAT_EQ(lighting.far_plane, 5000);
    // The clamps, skies and fog still ran.
    EXPECT_EQ(lightgl::calls().size(), 9u);
}

TEST_F(Lighting, AMissingFileLeavesTheDefaultsAndTheFogColour)
{
    read("fog [ 0.3 0.2 0.1 ] 0.25\nnear_plane 0.5\n");
    lightgl::calls().clear();
    lighting_read((folders().root / "no-such-lighting").c_str());
    EXPECT_FLOAT_EQ(lighting.near_plane, 0.25f);
    EXPECT_FLOAT_EQ(lighting.fog_density, 0);
    EXPECT_FLOAT_EQ(lighting.fog_color[0], 0.3f);
    EXPECT_EQ(lighting.sky[sky_n], 0u);
    EXPECT_FLOAT_EQ(model_lighting.ambient[0], 0.5f);
    EXPECT_TRUE(lightgl::calls().empty());
    // A file without a fog line: no fog, the colour of the last track stays.
    read("near_plane 0.5\n");
    EXPECT_FLOAT_EQ(lighting.fog_density, 0);
    EXPECT_FLOAT_EQ(lighting.fog_color[2], 0.1f);
}

TEST_F(Lighting, OverlongLinesAreDroppedWhole)
{
    read("near_plane 0.5" + std::string(2000, ' ') + "far_plane 7\n" + "far_plane 9\n");
    EXPECT_FLOAT_EQ(lighting.near_plane, 0.5f);
    EXPECT_FLOAT_EQ(lighting.far_plane, 9);
}

}  // namespace
