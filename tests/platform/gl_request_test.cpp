// What the request and the options make of a context: ES only where the driver offers it,
// and "core" below 3.2 (where profiles do not exist) as the forward-compatible context.
#include "platform/gl_context.h"

#include <gtest/gtest.h>

TEST(GlRequest, EsOnlyWhenAskedAndAvailable)
{
    qorl_gl_request r = qorl_gl_resolve_request({1, 0, 3, 0}, 1);
    EXPECT_EQ(r.es, 1);
    EXPECT_EQ(r.major, 3);
    EXPECT_EQ(r.minor, 0);

    // No ES extension: the desktop attributes, compatibility unless glcore is on.
    r = qorl_gl_resolve_request({1, 0, 3, 0}, 0);
    EXPECT_EQ(r.es, 0);
    EXPECT_EQ(r.core, 0);
    r = qorl_gl_resolve_request({1, 1, 3, 3}, 0);
    EXPECT_EQ(r.es, 0);
    EXPECT_EQ(r.core, 1);
}

TEST(GlRequest, CoreBelow32IsForwardCompatibleOnly)
{
    EXPECT_EQ(qorl_gl_resolve_request({0, 1, 3, 1}, 1).forward_compatible, 1);
    EXPECT_EQ(qorl_gl_resolve_request({0, 1, 3, 0}, 1).forward_compatible, 1);
    EXPECT_EQ(qorl_gl_resolve_request({0, 1, 3, 2}, 1).forward_compatible, 0);
    EXPECT_EQ(qorl_gl_resolve_request({0, 1, 4, 1}, 1).forward_compatible, 0);
    EXPECT_EQ(qorl_gl_resolve_request({0, 1, 2, 1}, 1).forward_compatible, 0);  // no such flag before 3.0
    EXPECT_EQ(qorl_gl_resolve_request({0, 0, 3, 1}, 1).forward_compatible, 0);
    EXPECT_EQ(qorl_gl_resolve_request({1, 1, 3, 1}, 1).forward_compatible, 0);  // ES
}

TEST(GlRequest, ExtensionNamesMatchWholeWordsOnly)
{
    const char* list = "GLX_ARB_create_context_profile GLX_EXT_create_context_es2_profile GLX_X";
    EXPECT_TRUE(qorl_has_extension(list, "GLX_EXT_create_context_es2_profile"));
    EXPECT_TRUE(qorl_has_extension(list, "GLX_X"));
    EXPECT_FALSE(qorl_has_extension(list, "GLX_ARB_create_context"));  // a prefix of a longer name
    EXPECT_FALSE(qorl_has_extension(list, "create_context_profile"));  // a suffix
    EXPECT_FALSE(qorl_has_extension(list, ""));
    EXPECT_FALSE(qorl_has_extension(nullptr, "GLX_X"));
}
