#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "foundation/growable_array.h"
#include "foundation/intern.h"
#include "foundation/memory.h"
#include "foundation/text_util.h"
#include "foundation/vfs.h"
#include "support/test_support.h"

namespace {

struct Pair {
    int32_t a;
    int32_t b;
};

TEST(GrowableArray, DoublesWhenFullAndZeroFillsNull)
{
    growable_array array;
    ASSERT_EQ(array_init(&array, sizeof(Pair)), 1);
    EXPECT_EQ(array.capacity, 16);
    EXPECT_EQ(array.count, 0);
    for (int32_t i = 0; i < 16; ++i) {
        Pair p{i, -i};
        ASSERT_EQ(array_push(&array, &p), 1);
    }
    EXPECT_EQ(array.capacity, 16);
    ASSERT_EQ(array_push(&array, nullptr), 1);
    EXPECT_EQ(array.capacity, 32);
    EXPECT_EQ(array.count, 17);

    const Pair* items = static_cast<const Pair*>(array.items);
    for (int32_t i = 0; i < 16; ++i) {
        EXPECT_EQ(items[i].a, i);
        EXPECT_EQ(items[i].b, -i);
    }
    EXPECT_EQ(items[16].a, 0);
    EXPECT_EQ(items[16].b, 0);

    void* taken = array_take(&array);
    EXPECT_EQ(taken, items);
    EXPECT_EQ(array.items, nullptr);
    EXPECT_EQ(array.count, 0);
    mem_free(taken);

    // After a take the array starts over with a fresh block.
    ASSERT_EQ(array_push(&array, nullptr), 1);
    EXPECT_GE(array.capacity, 1);
    EXPECT_EQ(array.count, 1);
    array_free(&array);
    EXPECT_EQ(array.items, nullptr);
}

TEST(GrowableArray, RefusesGrowthThatWouldOverflow)
{
    // No block is touched on refusal, so a fake full array suffices.
    char storage[4];
    growable_array huge{storage, INT32_MAX / 2 + 1, INT32_MAX / 2 + 1, 1};
    EXPECT_EQ(array_push(&huge, "x"), 0);
    EXPECT_EQ(huge.items, storage);
    EXPECT_EQ(huge.capacity, INT32_MAX / 2 + 1);
    EXPECT_EQ(huge.count, INT32_MAX / 2 + 1);

    growable_array broken{nullptr, 0, 0, 0};
    EXPECT_EQ(array_push(&broken, nullptr), 0);
    EXPECT_EQ(array_init(&broken, 0), 0);
}

TEST(Intern, SameTextSharesOneCopy)
{
    std::string first = "abc";
    const char* a = intern_string(first.c_str());
    std::string second = "abc";
    const char* b = intern_string(second.c_str());
    EXPECT_EQ(a, b);
    EXPECT_NE(a, first.c_str());
    const char* upper = intern_string("ABC");
    EXPECT_NE(upper, a);
    EXPECT_STREQ(upper, "ABC");
    EXPECT_STREQ(intern_string(""), "");

    // Past the first table block the earlier copies stay shared.
    const char* names[40];
    for (int i = 0; i < 40; ++i)
        names[i] = intern_string(("name" + std::to_string(i)).c_str());
    for (int i = 0; i < 40; ++i)
        EXPECT_EQ(intern_string(("name" + std::to_string(i)).c_str()), names[i]);
    EXPECT_EQ(intern_string("abc"), a);

    intern_free_all();
    EXPECT_STREQ(intern_string("abc"), "abc");
    intern_free_all();
}

TEST(Intern, FreeAllLeavesNoTrackedBlocks)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto scenario = [] {
        setenv("BV_CHECK_ALLOC", "1", 1);
        intern_string("one");
        intern_string("two");
        for (int i = 0; i < 20; ++i)
            intern_string(std::to_string(i).c_str());
        intern_free_all();
        fputs("report:", stderr);
        mem_report_leaks();
        fputs(":end\n", stderr);
        _exit(0);
    };
    EXPECT_EXIT(scenario(), ::testing::ExitedWithCode(0), "^report::end\n$");
}

TEST(ColourTag, ReadsClampedScaledTruncatedNumbers)
{
    uint8_t rgb[3] = {1, 2, 3};
    parse_colour_tag("plate [numberbackground:2,-1,0.5] rest", "[numberbackground:", rgb);
    EXPECT_EQ(rgb[0], 255);
    EXPECT_EQ(rgb[1], 0);
    EXPECT_EQ(rgb[2], 127);

    parse_colour_tag("[numberforeground:0.1,1,0.999]", "[numberforeground:", rgb);
    EXPECT_EQ(rgb[0], 25);
    EXPECT_EQ(rgb[1], 255);
    EXPECT_EQ(rgb[2], 254);
}

TEST(ColourTag, LeavesTheColourWhenTagOrNumbersAreMissing)
{
    const char* texts[] = {
        "[numberforeground:1,1,1]",        // another tag
        "[numberbackground:1,1]",          // two numbers
        "[numberbackground:1;1;1]",        // wrong separator
        "[numberbackground:]",
        "",
    };
    for (const char* text : texts) {
        uint8_t rgb[3] = {9, 8, 7};
        parse_colour_tag(text, "[numberbackground:", rgb);
        EXPECT_EQ(rgb[0], 9) << text;
        EXPECT_EQ(rgb[1], 8) << text;
        EXPECT_EQ(rgb[2], 7) << text;
    }
}

std::string read_all(vfs_file* f)
{
    std::string out;
    char chunk[256];
    int n;
    while ((n = vfs_read(f, chunk, sizeof chunk)) > 0)
        out.append(chunk, size_t(n));
    vfs_close(f);
    return out;
}

TEST(FolderOpen, NamesADataPathInsideTheFolder)
{
    // The search folders are fixed on first use, so this runs in a fresh process.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto scenario = [] {
        std::string problems;
        {
            bvtest::TempDir user, game;
            setenv("XDG_DATA_HOME", user.path().c_str(), 1);
            setenv("BV_HOME", game.path().c_str(), 1);
            bvtest::write_file(game / "tracks/hill/desc", "game copy");
            bvtest::write_file(game / "tracks/dale/desc", "only here");
            bvtest::write_file(user / "Brovanta/tracks/hill/desc", "user copy");

            vfs_file* f = vfs_open_in_folder("tracks/hill", "desc", "rb");
            std::string got = f ? read_all(f) : "(none)";
            if (got != "user copy")
                problems += "hill: " + got + "\n";
            f = vfs_open_in_folder("tracks/dale", "desc", "rb");
            got = f ? read_all(f) : "(none)";
            if (got != "only here")
                problems += "dale: " + got + "\n";
            if (vfs_open_in_folder("tracks/none", "desc", "rb"))
                problems += "a missing file opened\n";

            f = vfs_open_in_folder("demos", "new.bvdemo", "wb");
            if (f) {
                vfs_puts(f, "written");
                vfs_close(f);
            }
            if (bvtest::read_file(user / "Brovanta/demos/new.bvdemo") != "written")
                problems += "the write did not land in the user folder\n";
        }
        fputs(problems.c_str(), stderr);
        _exit(problems.empty() ? 0 : 1);
    };
    EXPECT_EXIT(scenario(), ::testing::ExitedWithCode(0), "");
}

TEST(FormatString, FitsTheBufferAndReportsWhatItWrote)
{
    char buffer[8];
    memset(buffer, 'z', sizeof buffer);
    EXPECT_EQ(format_string(buffer, sizeof buffer, "%d-%s", 12, "ab"), 5);
    EXPECT_STREQ(buffer, "12-ab");

    char small[6];
    memset(small, 'z', sizeof small);
    EXPECT_EQ(format_string(small, sizeof small, "%s", "abcdefghij"), 5);
    EXPECT_STREQ(small, "abcde");

    char one[1] = {'z'};
    EXPECT_EQ(format_string(one, 1, "%s", "abc"), 0);
    EXPECT_EQ(one[0], '\0');
    EXPECT_EQ(format_string(nullptr, 0, "%s", "abc"), 0);
}

}  // namespace
