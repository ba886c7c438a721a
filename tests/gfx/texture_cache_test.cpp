// The texture cache on the fake GL: format dispatch, name rules, LINK aliases and
// their cycles, generations and purge, repeat and compression flags.
#include "image_fixtures.h"
#include "log_capture.h"
#include "texture_fake.h"

#include "gfx/gl_state.h"
#include "gfx/texture_cache.h"
#include "gfx/texture_settings.h"

#include <gtest/gtest.h>

using namespace imgtest;

namespace {

class TextureCache : public ::testing::Test {
protected:
    void SetUp() override
    {
        texfake::install();
        texture_purge(1);
        texfake::install();
        gl_state.gl_major = 3;
        texture_generation = 0;
        texture_detail_drop = 1;
        texture_compress = 1;
        verbose_level = 0;
        put_data("colors/white.png", png_of(1, 1, 3, {255, 255, 255}));
    }
    void TearDown() override
    {
        texture_purge(1);
        verbose_level = 0;
        texture_detail_drop = 1;
        texture_compress = 1;
    }
    static int records_named(const std::string& name)
    {
        int n = 0;
        for (int i = 0; i < texture_record_count(); ++i)
            n += texture_record_at(i)->name == name;
        return n;
    }
    static int first_width(GLuint id)
    {
        auto ups = texfake::uploads_of(id);
        return ups.empty() ? 0 : ups[0].w;
    }
};

TEST_F(TextureCache, TheFirstWordChoosesTheReader)
{
    put_data("f/a.j7", j_file(2, 2, 4, noise(16, 1)));
    put_data("f/a.j6", j_file(2, 2, 3, noise(12, 2)));
    put_data("f/a.ppm", "P6\n2 2\n255\n" + std::string(12, 'x'));
    put_data("f/b.ppm", "P3 1 1 255 1 2 3");
    put_data("f/a.png", png_of(2, 2, 4, noise(16, 3)));
    put_data("f/bad.j7", "J7\n0 0\n");
    put_data("f/empty.png", "");
    put_data("f/text.png", "hello world");

    for (const char* name : {"@f/a.j7", "@f/a.j6", "@f/a.ppm", "@f/b.ppm", "@f/a.png"}) {
        const GLuint id = texture_load(name);
        ASSERT_NE(id, 0u) << name;
        EXPECT_STREQ(texture_name(id), name);
        EXPECT_EQ(texfake::uploads_of(id)[0].format, name == std::string("@f/a.j7") || name == std::string("@f/a.png")
                                                         ? GLenum(GL_RGBA) : GLenum(GL_RGB)) << name;
    }
    for (const char* name : {"@f/bad.j7", "@f/empty.png", "@f/text.png", "@f/missing.png"})
        EXPECT_EQ(texture_load(name), 0u) << name;
    EXPECT_EQ(texture_record_count(), 5);
    EXPECT_EQ(texture_name(999), nullptr);
}

TEST_F(TextureCache, MissingFilesAreReportedOnlyWhenVerbose)
{
    LogCapture quiet;
    EXPECT_EQ(texture_load("@nothing/here.png"), 0u);
    EXPECT_EQ(quiet.text(), "");
    verbose_level = 1;
    LogCapture loud;
    EXPECT_EQ(texture_load("@nothing/here.png"), 0u);
    EXPECT_EQ(loud.text(), "Can't open texture \"@nothing/here.png\"\n");
}

TEST_F(TextureCache, CaseMismatchFindsTheCachedTextureWithAWarning)
{
    put_data("tex/rock.png", png_of(2, 2, 3, noise(12, 4)));
    const GLuint id = texture_load("@tex/rock.png");
    LogCapture log;
    EXPECT_EQ(texture_load("@TEX/Rock.png"), id);
    EXPECT_EQ(texture_find("@tex/ROCK.PNG"), id);
    EXPECT_EQ(log.text(), "Warning: case mismatch on '@TEX/Rock.png'\nWarning: case mismatch on '@tex/ROCK.PNG'\n");
    EXPECT_EQ(texture_find("@tex/rock.pn"), 0u);
    EXPECT_EQ(texture_record_count(), 1);
}

TEST_F(TextureCache, TheBangPrefixSharesOneRecordAndOnlyTheFirstLoadDecides)
{
    put_data("big.png", png_of(512, 512, 3, noise(512 * 512 * 3, 5)));
    put_data("big2.png", png_of(512, 512, 3, noise(512 * 512 * 3, 6)));
    const GLuint exempt = texture_load("!@big.png");
    EXPECT_EQ(first_width(exempt), 512);
    EXPECT_EQ(texture_load("@big.png"), exempt);
    const GLuint reduced = texture_load("@big2.png");
    EXPECT_EQ(first_width(reduced), 256);
    EXPECT_EQ(texture_load("!@big2.png"), reduced);
    EXPECT_EQ(records_named("@big.png") + records_named("@big2.png"), 2);
    EXPECT_EQ(records_named("!@big.png"), 0);
}

TEST_F(TextureCache, LinksAliasTheirTargetAndMakeNoRecordOfTheirOwn)
{
    put_data("target.png", png_of(2, 2, 3, noise(12, 7)));
    put_data("t2.png", png_of(512, 512, 3, noise(512 * 512 * 3, 8)));
    put_data("link.png", "LINK @target.png\n");
    put_data("spaced.png", "LINK   \t!@t2.png  \n\n");
    const GLuint id = texture_load("@link.png");
    ASSERT_NE(id, 0u);
    EXPECT_EQ(texture_load("@target.png"), id);
    EXPECT_EQ(texture_load("@link.png"), id);
    EXPECT_EQ(records_named("@link.png"), 0);
    EXPECT_STREQ(texture_name(id), "@target.png");
    // The target text is trimmed, and a '!' in it applies to the target.
    const GLuint exempt = texture_load("@spaced.png");
    EXPECT_EQ(first_width(exempt), 512);
    EXPECT_STREQ(texture_name(exempt), "@t2.png");
}

TEST_F(TextureCache, LinkCyclesAndFailedTargetsEndOnThePlaceholder)
{
    put_data("self.png", "LINK @self.png");
    put_data("a.png", "LINK @b.png");
    put_data("b.png", "LINK @a.png");
    put_data("broken.png", "LINK @missing.png");
    const GLuint self = texture_load("@self.png");
    ASSERT_NE(self, 0u);
    EXPECT_STREQ(texture_name(self), "@colors/white.png");
    EXPECT_EQ(texture_load("@a.png"), self);
    EXPECT_EQ(texture_load("@b.png"), self);
    EXPECT_EQ(texture_load("@broken.png"), 0u);
    EXPECT_EQ(texture_load("@broken.png"), self);
    EXPECT_EQ(texture_record_count(), 1);

    // Without a placeholder image a cycle simply fails, and still ends.
    texture_purge(1);
    remove_data("colors/white.png");
    EXPECT_EQ(texture_load("@self.png"), 0u);
    EXPECT_EQ(texture_load("@a.png"), 0u);
}

TEST_F(TextureCache, GenerationsKeepStartUpTexturesAndPurgeTheOldTrack)
{
    for (const char* name : {"perm.png", "t1.png", "t2.png", "t3.png"})
        put_data(name, png_of(4, 4, 3, noise(48, name[1])));
    const GLuint perm = texture_load("@perm.png");
    texture_generation = 1;
    texture_memory = 0;
    const GLuint t1 = texture_load("@t1.png");
    const GLuint t2 = texture_load("@t2.png");
    EXPECT_EQ(texture_memory, 2 * (16 + 4 + 1) * 3);

    // The next track asks for t1 again (its memory counts again) and the start-up texture.
    texture_generation = 2;
    texture_memory = 0;
    EXPECT_EQ(texture_load("@t1.png"), t1);
    EXPECT_EQ(texture_memory, (16 + 4 + 1) * 3);
    EXPECT_EQ(texture_find("@perm.png"), perm);
    EXPECT_EQ(texture_memory, (16 + 4 + 1) * 3);
    const GLuint t3 = texture_load("@t3.png");

    verbose_level = 1;
    LogCapture log;
    texture_purge(0);
    EXPECT_EQ(log.text(), "deleting tid " + std::to_string(t2) + " (@t2.png)\n");
    EXPECT_EQ(texture_name(t2), nullptr);
    EXPECT_STREQ(texture_name(t1), "@t1.png");
    EXPECT_STREQ(texture_name(perm), "@perm.png");
    EXPECT_STREQ(texture_name(t3), "@t3.png");
    EXPECT_EQ(texture_memory, 2 * (16 + 4 + 1) * 3);   // a purge leaves the counter alone
    // Order is kept.
    ASSERT_EQ(texture_record_count(), 3);
    EXPECT_STREQ(texture_record_at(0)->name, "@perm.png");
    EXPECT_STREQ(texture_record_at(2)->name, "@t3.png");

    texture_generation = 3;
    texture_purge(0);
    EXPECT_EQ(texture_record_count(), 1);
    texture_purge(1);
    EXPECT_EQ(texture_record_count(), 0);
    EXPECT_EQ(fakegl::count("DeleteTextures"), 4);
    // The tables come back on the next load.
    EXPECT_NE(texture_load("@perm.png"), 0u);
}

TEST_F(TextureCache, RepeatFlagsComeFromTheName)
{
    struct Case {
        const char* name;
        GLint s, t;
    };
    const Case cases[] = {
        {"@w-repeat.png", GL_REPEAT, GL_REPEAT},
        {"@w-hrepeat.png", GL_REPEAT, GL_CLAMP_TO_EDGE},
        {"@w-vrepeat.png", GL_CLAMP_TO_EDGE, GL_REPEAT},
        {"@w-hrepeat.-vrepeat.png", GL_REPEAT, GL_REPEAT},
        {"@w-repeat.x-hrepeat.png", GL_REPEAT, GL_REPEAT},
        {"@w.png", GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE},
        {"@w-repeatpng", GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE},
    };
    for (const Case& c : cases) {
        put_data(c.name + 1, png_of(2, 2, 3, noise(12, 9)));
        const GLuint id = texture_load(c.name);
        EXPECT_EQ(texfake::parameter(id, GL_TEXTURE_WRAP_S), c.s) << c.name;
        EXPECT_EQ(texfake::parameter(id, GL_TEXTURE_WRAP_T), c.t) << c.name;
    }
}

TEST_F(TextureCache, CompressionFollowsTheMarkerAndTheSetting)
{
    put_data("marked.png", png_of(4, 4, 3, noise(48, 10)));
    put_data("marked.png.info", "[compress]");
    put_data("plain.png", png_of(4, 4, 3, noise(48, 11)));
    put_data("own.j6", j_file(4, 4, 3, noise(48, 12)));
    auto compressed = [](const char* name) {
        const GLuint id = texture_load(name);
        const bool result = texfake::uploads_of(id)[0].internal_format == GL_COMPRESSED_RGB;
        texture_purge(1);
        return result;
    };
    texture_compress = 1;
    EXPECT_TRUE(compressed("@marked.png"));
    EXPECT_FALSE(compressed("@plain.png"));
    texture_compress = 0;
    EXPECT_FALSE(compressed("@marked.png"));
    texture_compress = 2;
    EXPECT_TRUE(compressed("@plain.png"));
    EXPECT_FALSE(compressed("@own.j6"));

    // The info text stays with the record.
    const GLuint id = texture_load("@marked.png");
    EXPECT_STREQ(texture_info(id), "[compress]");
    EXPECT_EQ(texture_info(texture_load("@own.j6")), nullptr);
}

TEST_F(TextureCache, NonPowerOfTwoSizesAsReadAreWarned)
{
    put_data("odd.png", png_of(3, 5, 3, noise(45, 13)));
    put_data("even.ppm", "P6 4 8 255\n" + std::string(96, 'a'));
    LogCapture log;
    EXPECT_NE(texture_load("@odd.png"), 0u);
    EXPECT_NE(texture_load("@even.ppm"), 0u);
    EXPECT_EQ(log.text(), "Warning: Non power of 2 texture '@odd.png'\n");
}

TEST_F(TextureCache, ReplacingASuffixLoadsTheCompanionTexture)
{
    put_data("bike_norm.png", png_of(2, 2, 3, noise(12, 14)));
    const GLuint id = texture_load_replacing_suffix("@bike.png", ".png", "_norm.png");
    ASSERT_NE(id, 0u);
    EXPECT_STREQ(texture_name(id), "@bike_norm.png");
    EXPECT_EQ(texture_load_replacing_suffix("@bike.ppm", ".png", "_norm.png"), 0u);
    EXPECT_EQ(texture_load_replacing_suffix("png", "x.png", "_norm.png"), 0u);
    EXPECT_EQ(texture_load_replacing_suffix("@bike.png", ".png", "_spec.png"), 0u);
}

}  // namespace
