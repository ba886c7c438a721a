// The texture cache on the fake GL: format dispatch, name rules, LINK aliases and
// their cycles and chains, generations and purge, repeat and compression flags.
#include "fake_gl.h"
#include "image_fixtures.h"
#include "log_capture.h"

#include "gfx/gl_state.h"
#include "gfx/texture_cache.h"
#include "gfx/texture_settings.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <unistd.h>

using namespace imgtest;

namespace {

class TextureCache : public ::testing::Test {
protected:
    void SetUp() override
    {
        fakegl::install();
        texture_purge(1);
        fakegl::install();
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
        texture_compress = 1;
    }
    static int first_width(GLuint id)
    {
        auto ups = fakegl::uploads_of(id);
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
    for (auto [name, format] : {std::pair{"@f/a.j7", GL_RGBA}, {"@f/a.j6", GL_RGB}, {"@f/a.ppm", GL_RGB},
                                {"@f/b.ppm", GL_RGB}, {"@f/a.png", GL_RGBA}}) {
        const GLuint id = texture_load(name);
        ASSERT_NE(id, 0u) << name;
        EXPECT_STREQ(texture_name(id), name);
        EXPECT_EQ(fakegl::uploads_of(id)[0].format, GLenum(format)) << name;
    }
    for (const char* name : {"@f/bad.j7", "@f/empty.png", "@f/text.png", "@f/missing.png"})
        EXPECT_EQ(texture_load(name), 0u) << name;
    EXPECT_EQ(texture_record_count(), 5);

    // A missing file is reported only when verbose.
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

// A picture is decoded once whatever the spelling of its name: "." components are
// dropped before the cache is searched. A name that climbs out of the data folders, or
// starts at the root, is refused before anything is opened.
TEST_F(TextureCache, OneRecordPerFileAndNoNameLeadsOutOfTheDataFolders)
{
    put_data("tracks/x/p.png", png_of(2, 2, 3, noise(12, 9)));
    const GLuint id = texture_load("@tracks/x/p.png");
    ASSERT_NE(id, 0u);
    const int uploads = fakegl::count("TexImage2D");
    // A name written without "@", with "//" or with a trailing "/" is the same file,
    // looked up among the data folders only: the working folder's file of that name is
    // never opened.
    scratch_file("tracks/x/p.png", "not a picture");
    const std::string before = std::filesystem::current_path();
    ASSERT_EQ(chdir(scratch_path("").c_str()), 0);
    for (const char* name : {"@tracks/x/./p.png", "@tracks/x/././p.png", "@./tracks/x/p.png", "!@tracks/./x/./p.png",
                             "tracks/x/p.png", "@tracks//x/p.png", "@tracks/x/p.png/"})
        EXPECT_EQ(texture_load(name), id) << name;
    ASSERT_EQ(chdir(before.c_str()), 0);
    EXPECT_EQ(texture_record_count(), 1);
    EXPECT_EQ(fakegl::count("TexImage2D"), uploads);
    EXPECT_STREQ(texture_name(id), "@tracks/x/p.png");

    // "../scratch" is a real folder beside the game's data folder.
    const std::string outside = scratch_file("outside.png", png_of(2, 2, 3, noise(12, 10)));
    LogCapture log;
    for (const char* name : {"@tracks/x/../../../scratch/outside.png", "@../scratch/outside.png",
                             "@tracks/x\n/p.png", "@tracks/x/p\x7f.png"})
        EXPECT_EQ(texture_load(name), 0u) << name;
    EXPECT_EQ(texture_load(outside.c_str()), 0u);
    EXPECT_EQ(texture_record_count(), 1);
    EXPECT_EQ(fakegl::count("TexImage2D"), uploads);
    EXPECT_NE(log.text().find("Texture: name \"@../scratch/outside.png\" refused: it holds a \"..\" component"),
              std::string::npos)
        << log.text();
    EXPECT_NE(log.text().find("name \"@tracks/x?/p.png\" refused: it holds a control character"), std::string::npos);
}

TEST_F(TextureCache, LinksAndTheBangPrefixShareTheTargetsRecordAndOnlyTheFirstLoadDecides)
{
    for (const char* name : {"big.png", "big2.png"})
        put_data(name, png_of(512, 512, 3, noise(512 * 512 * 3, name[3])));
    put_data("link.png", "LINK @big2.png\n");
    put_data("spaced.png", "LINK   \t!@big.png  \n\n");
    // A '!' turns the reduction off for the first load only; a link's trimmed target
    // text (with its '!') is loaded under the target's name, making no record of its own.
    const GLuint exempt = texture_load("@spaced.png");
    EXPECT_EQ(first_width(exempt), 512);
    EXPECT_STREQ(texture_name(exempt), "@big.png");
    EXPECT_EQ(texture_load("@big.png"), exempt);
    const GLuint reduced = texture_load("@link.png");
    EXPECT_EQ(first_width(reduced), 256);
    EXPECT_EQ(texture_load("!@big2.png"), reduced);
    EXPECT_EQ(texture_load("@link.png"), reduced);
    EXPECT_STREQ(texture_name(reduced), "@big2.png");
    EXPECT_EQ(texture_record_count(), 2);
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

// Each link is a level of recursion: 7000 distinct names used to overflow the stack.
// Sixteen links still reach their target; a longer chain ends on the placeholder
// with one line naming where it was cut.
TEST_F(TextureCache, LinkChainsEndAfterSixteenLinks)
{
    put_data("target.png", png_of(2, 2, 3, noise(12, 4)));
    auto chain = [](const std::string& prefix, int links) {
        for (int i = 0; i < links; ++i)
            put_data(prefix + std::to_string(i) + ".png",
                     "LINK @" + (i + 1 < links ? prefix + std::to_string(i + 1) + ".png" : std::string("target.png")));
    };
    chain("short/", 16);
    chain("long/", 7000);
    LogCapture log;
    const GLuint target = texture_load("@short/0.png");
    ASSERT_NE(target, 0u);
    EXPECT_STREQ(texture_name(target), "@target.png");
    EXPECT_EQ(log.text(), "");
    const GLuint cut = texture_load("@long/0.png");
    ASSERT_NE(cut, 0u);
    EXPECT_STREQ(texture_name(cut), "@colors/white.png");
    EXPECT_EQ(log.text(), "Texture link chain longer than 16 at '@long/16.png'\n");
    // Seventeen links are the shortest chain cut.
    chain("seventeen/", 17);
    LogCapture edge;
    EXPECT_STREQ(texture_name(texture_load("@seventeen/0.png")), "@colors/white.png");
    EXPECT_EQ(edge.text(), "Texture link chain longer than 16 at '@seventeen/16.png'\n");
}

TEST_F(TextureCache, GenerationsKeepStartUpTexturesAndPurgeTheOldTrack)
{
    const int64_t each = (16 + 4 + 1) * 3;
    for (const char* name : {"perm.png", "t1.png", "t2.png", "t3.png"})
        put_data(name, png_of(4, 4, 3, noise(48, name[1])));
    const GLuint perm = texture_load("@perm.png");
    texture_generation = 1;
    const GLuint t1 = texture_load("@t1.png"), t2 = texture_load("@t2.png");
    // The next track asks for t1 again (its memory counts again) and the start-up texture.
    texture_generation = 2;
    texture_memory = 0;
    EXPECT_EQ(texture_load("@t1.png"), t1);
    EXPECT_EQ(texture_find("@perm.png"), perm);
    EXPECT_EQ(texture_memory, each);
    const GLuint t3 = texture_load("@t3.png");

    verbose_level = 1;
    LogCapture log;
    texture_purge(0);
    EXPECT_EQ(log.text(), "deleting tid " + std::to_string(t2) + " (@t2.png)\n");
    EXPECT_EQ(texture_name(t2), nullptr);
    EXPECT_EQ(texture_memory, 2 * each);   // a purge leaves the counter alone
    // The order is kept.
    ASSERT_EQ(texture_record_count(), 3);
    EXPECT_EQ(texture_record_at(0)->tid, perm);
    EXPECT_EQ(texture_record_at(1)->tid, t1);
    EXPECT_EQ(texture_record_at(2)->tid, t3);

    texture_generation = 3;
    texture_purge(0);
    EXPECT_EQ(texture_record_count(), 1);
    texture_purge(1);
    EXPECT_EQ(texture_record_count(), 0);
    EXPECT_EQ(fakegl::count("DeleteTextures"), 4);
    EXPECT_NE(texture_load("@perm.png"), 0u);   // the tables come back on the next load
}

TEST_F(TextureCache, NamesGiveRepeatFlagsAndPngsOfOddSizesAreWarned)
{
    struct Case {
        const char* name;
        GLint s, t;
    };
    for (const Case& c : {Case{"@w-repeat.png", GL_REPEAT, GL_REPEAT}, {"@w-hrepeat.png", GL_REPEAT, GL_CLAMP_TO_EDGE},
                          {"@w-vrepeat.png", GL_CLAMP_TO_EDGE, GL_REPEAT}, {"@w-hrepeat.-vrepeat.png", GL_REPEAT, GL_REPEAT},
                          {"@w-repeat.x-hrepeat.png", GL_REPEAT, GL_REPEAT}, {"@w.png", GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE},
                          {"@w-repeatpng", GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE}}) {
        put_data(c.name + 1, png_of(2, 2, 3, noise(12, 9)));
        const GLuint id = texture_load(c.name);
        EXPECT_EQ(fakegl::parameter(id, GL_TEXTURE_WRAP_S), c.s) << c.name;
        EXPECT_EQ(fakegl::parameter(id, GL_TEXTURE_WRAP_T), c.t) << c.name;
    }

    put_data("odd.png", png_of(3, 5, 3, noise(45, 13)));
    put_data("even.ppm", "P6 4 8 255\n" + std::string(96, 'a'));
    LogCapture log;
    EXPECT_NE(texture_load("@odd.png"), 0u);
    EXPECT_NE(texture_load("@even.ppm"), 0u);
    EXPECT_EQ(log.text(), "Warning: Non power of 2 texture '@odd.png'\n");

    put_data("bike_norm.png", png_of(2, 2, 3, noise(12, 14)));
    EXPECT_STREQ(texture_name(texture_load_replacing_suffix("@bike.png", ".png", "_norm.png")), "@bike_norm.png");
    EXPECT_EQ(texture_load_replacing_suffix("@bike.ppm", ".png", "_norm.png"), 0u);
}

TEST_F(TextureCache, CompressionFollowsTheMarkerAndTheSetting)
{
    put_data("marked.png", png_of(4, 4, 3, noise(48, 10)));
    put_data("marked.png.info", "[compress]");
    put_data("plain.png", png_of(4, 4, 3, noise(48, 11)));
    put_data("own.j6", j_file(4, 4, 3, noise(48, 12)));
    auto compressed = [](int setting, const char* name) {
        texture_compress = setting;
        const bool result = fakegl::uploads_of(texture_load(name))[0].internal_format == GL_COMPRESSED_RGB;
        texture_purge(1);
        return result;
    };
    EXPECT_TRUE(compressed(1, "@marked.png"));
    EXPECT_FALSE(compressed(1, "@plain.png"));
    EXPECT_FALSE(compressed(0, "@marked.png"));
    EXPECT_TRUE(compressed(2, "@plain.png"));
    EXPECT_FALSE(compressed(2, "@own.j6"));
    // The info text stays with the record.
    EXPECT_STREQ(texture_info(texture_load("@marked.png")), "[compress]");
    EXPECT_EQ(texture_info(texture_load("@own.j6")), nullptr);
}

}  // namespace
