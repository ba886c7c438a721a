// What the request and the options make of a context: ES only where the driver offers it,
// and "core" below 3.2 (where profiles do not exist) as the forward-compatible context.
#include "platform/gl_context.h"

#include <gtest/gtest.h>

TEST(GlRequest, EsWhenAskedAndAvailableAndCoreBelow32IsForwardCompatible)
{
    struct row {
        qorl_gl_options asked;
        int es_available, es, core, forward_compatible;
    };
    // Options: gles, glcore, major, minor.
    for (row r : {row{{1, 0, 3, 0}, 1, 1, 0, 0}, row{{1, 1, 3, 1}, 1, 1, 0, 0},
                  row{{1, 0, 3, 0}, 0, 0, 0, 0},  // no ES: compatibility unless glcore is on
                  row{{1, 1, 3, 3}, 0, 0, 1, 0}, row{{0, 1, 3, 1}, 1, 0, 1, 1}, row{{0, 1, 3, 0}, 1, 0, 1, 1},
                  row{{0, 1, 3, 2}, 1, 0, 1, 0}, row{{0, 1, 4, 1}, 1, 0, 1, 0},
                  row{{0, 1, 2, 1}, 1, 0, 1, 0},  // no such flag before 3.0
                  row{{0, 0, 3, 1}, 1, 0, 0, 0}}) {
        qorl_gl_request got = qorl_gl_resolve_request(r.asked, r.es_available);
        const std::string what = std::to_string(r.asked.major) + "." + std::to_string(r.asked.minor) +
                                 (r.asked.gles ? " es" : "") + (r.asked.glcore ? " core" : "");
        EXPECT_EQ(got.es, r.es) << what;
        EXPECT_EQ(got.core, r.core) << what;
        EXPECT_EQ(got.forward_compatible, r.forward_compatible) << what;
        EXPECT_EQ(got.major * 10 + got.minor, r.asked.major * 10 + r.asked.minor) << what;
    }
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
