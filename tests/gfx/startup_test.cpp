// GL start-up: the version parse, the table filled by name, and what gl_init makes.
#include "fake_gl.h"
#include "log_capture.h"

#include "gfx/gl_startup.h"
#include "gfx/gl_state.h"
#include "gfx/gl_table.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

struct Parsed {
    int major, minor, es;
    bool operator==(const Parsed&) const = default;
};

Parsed parse(const char* text)
{
    Parsed p{-1, -1, -1};
    gl_parse_version(text, &p.major, &p.minor, &p.es);
    return p;
}

TEST(GlVersion, ParsesDesktopAndEsTextsAndTheMinimumIsThreeOne)
{
    EXPECT_EQ(parse("OpenGL ES 3.0 Mesa 22.3.6"), (Parsed{3, 0, 1}));
    EXPECT_EQ(parse("OpenGL ES 3.2 Mesa 22.3.6"), (Parsed{3, 2, 1}));
    EXPECT_EQ(parse("3.3.0 NVIDIA 535.54"), (Parsed{3, 3, 0}));
    EXPECT_EQ(parse("4.5 (Core Profile) Mesa 22.3.6"), (Parsed{4, 5, 0}));
    EXPECT_EQ(parse("NULL"), (Parsed{0, 0, 0}));
    EXPECT_EQ(parse("OpenGL ES-CM 1.1"), (Parsed{0, 0, 0}));
    EXPECT_EQ(parse("4"), (Parsed{0, 0, 0}));   // no minor: not a version text
    EXPECT_EQ(parse(""), (Parsed{0, 0, 0}));

    EXPECT_FALSE(gl_version_supported(3, 0));
    EXPECT_FALSE(gl_version_supported(2, 1));
    EXPECT_FALSE(gl_version_supported(0, 0));
    EXPECT_TRUE(gl_version_supported(3, 1));
    EXPECT_TRUE(gl_version_supported(3, 2));
    EXPECT_TRUE(gl_version_supported(4, 0));
}

// Answers by name from a copy of the fake table, optionally missing one name.
struct FakeLoader {
    gl_table functions;
    const char* missing = nullptr;

    static void* load(void* context, const char* name)
    {
        auto* self = static_cast<FakeLoader*>(context);
        if (self->missing && strcmp(name, self->missing) == 0)
            return nullptr;
        for (int i = 0; i < gl_table_size; ++i)
            if (strcmp(gl_table_name(i), name) == 0)
                return reinterpret_cast<void**>(&self->functions)[i];
        return nullptr;
    }
};

class GlInit : public ::testing::Test {
protected:
    void SetUp() override
    {
        fakegl::install();
        loader.functions = gl;
        gl = gl_table{};
    }

    FakeLoader loader;
};

TEST_F(GlInit, FillsTheTableByNameAndLogsWhatIsMissing)
{
    EXPECT_STREQ(gl_table_name(0), "glBindTexture");
    EXPECT_STREQ(gl_table_name(26), "glDrawRangeElements");
    EXPECT_STREQ(gl_table_name(gl_table_size - 1), "glVertexAttribPointer");
    EXPECT_EQ(gl_table_name(gl_table_size), nullptr);

    LogCapture log;
    gl_table filled{};
    loader.missing = "glGenerateMipmap";
    EXPECT_EQ(gl_table_load(&filled, FakeLoader::load, &loader), 1);
    EXPECT_EQ(filled.GenerateMipmap, nullptr);
    EXPECT_EQ(filled.VertexAttribPointer, loader.functions.VertexAttribPointer);
    EXPECT_EQ(filled.BindTexture, loader.functions.BindTexture);
    EXPECT_EQ(log.text(), "GL entry point glGenerateMipmap not found\n");
}

TEST_F(GlInit, RecordsTheDriverAndMakesBuffersTexturesAndIdentities)
{
    fakegl::settings().strings = {{GL_VENDOR, "Fake"}, {GL_VERSION, "3.3.0 Fake driver"}};
    gl_state.stacks[4][0][3] = 9;   // left over: start-up puts the identity back
    gl_init(FakeLoader::load, &loader);

    EXPECT_STREQ(gl_state.gl_vendor, "Fake");
    EXPECT_STREQ(gl_state.gl_renderer, "NULL");
    EXPECT_STREQ(gl_state.gl_extensions, "NULL");
    EXPECT_EQ(gl_state.gl_major, 3);
    EXPECT_EQ(gl_state.gl_minor, 3);
    EXPECT_EQ(gl_state.gl_es, 0);
    EXPECT_EQ(gl_state.imm_batch.buffers_made, 1);
    EXPECT_EQ(fakegl::count("GenVertexArrays"), 1);

    // The two 1x1 textures, repeating, with their colours.
    auto images = fakegl::calls_named("TexImage2D");
    ASSERT_EQ(images.size(), 2u);
    EXPECT_EQ(images[0].data, std::string("\xff\xff\xff", 3));
    EXPECT_EQ(images[1].data, std::string("\x80\x80\xff", 3));
    EXPECT_EQ(images[0].args[6], GL_RGB);
    EXPECT_NE(gl_state.gl_white_texture, 0u);
    EXPECT_NE(gl_state.gl_normal_texture, 0u);
    EXPECT_NE(gl_state.gl_white_texture, gl_state.gl_normal_texture);
    for (const auto& p : fakegl::calls_named("TexParameterf"))
        EXPECT_EQ(p.floats[0], float(GL_REPEAT));
    EXPECT_EQ(fakegl::count("TexParameterf"), 4);
    EXPECT_EQ(fakegl::trace().back(), "BindTexture(3553,0)");

    for (int s = 0; s < gl_stack_count; ++s) {
        EXPECT_EQ(gl_state.depth[s], 0);
        for (int i = 0; i < 16; ++i)
            EXPECT_EQ(gl_state.stacks[s][0][i], i % 5 == 0 ? 1.0f : 0.0f);
    }
}

TEST_F(GlInit, OldContextsLeaveTheBatchBuffersToTheFirstPrimitive)
{
    fakegl::settings().strings = {{GL_VERSION, "2.1 Fake"}};
    gl_init(FakeLoader::load, &loader);
    EXPECT_EQ(gl_state.gl_major, 2);
    EXPECT_EQ(gl_state.imm_batch.buffers_made, 0);
    EXPECT_EQ(fakegl::count("GenVertexArrays"), 0);
}

}  // namespace
