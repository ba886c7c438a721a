// The basics: growable arrays and interned strings.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "fixtures.h"
#include "foundation/door/data_name.h"
#include "foundation/growable_array.h"
#include "foundation/intern.h"
#include "foundation/memory.h"
#include "foundation/text/text_util.h"

namespace {

using namespace fixtures;

TEST(GrowableArray, DoublesWhenFullAndZeroFillsNull)
{
    growable_array array;
    ASSERT_EQ(array_init(&array, sizeof(int64_t)), 1);
    for (int64_t i = 1; i <= 16; ++i)
        ASSERT_EQ(array_push(&array, &i), 1);
    EXPECT_EQ(array.capacity, 16);
    ASSERT_EQ(array_push(&array, nullptr), 1);
    EXPECT_EQ(array.capacity, 32);
    EXPECT_EQ(array.count, 17);
    const auto* items = static_cast<const int64_t*>(array.items);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(items[i], i + 1);
    EXPECT_EQ(items[16], 0);
    array_free(&array);
}

TEST(GrowableArray, RefusesGrowthThatWouldOverflow)
{
    // No block is touched on refusal, so a fake full array suffices.
    char storage[4];
    growable_array huge{storage, INT32_MAX / 2 + 1, INT32_MAX / 2 + 1, 1};
    EXPECT_EQ(array_push(&huge, "x"), 0);
    EXPECT_TRUE(huge.items == storage && huge.capacity == INT32_MAX / 2 + 1 && huge.count == INT32_MAX / 2 + 1);
    growable_array broken{nullptr, 0, 0, 0};
    EXPECT_EQ(array_push(&broken, nullptr), 0);
}

// The system allocator under the wrappers, noting each resize and failing them on
// request.
size_t last_resize = 0;
bool fail_resize = false;
void* resize(void* block, size_t size)
{
    last_resize = size;
    return fail_resize ? nullptr : realloc(block, size);
}
const mem_system_allocator resizing{malloc, resize, free};

TEST(GrowableArray, TakeHandsBackJustTheItemsOrTheOldBlockWhenShrinkingFails)
{
    growable_array array;
    for (bool failing : {false, true}) {
        ASSERT_EQ(array_init(&array, sizeof(int32_t)), 1);
        for (int32_t i = 0; i < 5; ++i)
            ASSERT_EQ(array_push(&array, &i), 1);
        mem_set_system_allocator(&resizing);
        last_resize = 0;
        fail_resize = failing;
        void* const old_block = array.items;
        auto* items = static_cast<int32_t*>(array_take(&array));
        mem_set_system_allocator(nullptr);
        EXPECT_EQ(last_resize, 5 * sizeof(int32_t));
        ASSERT_NE(items, nullptr);
        if (failing) {
            EXPECT_EQ(items, old_block);
        }
        for (int32_t i = 0; i < 5; ++i)
            EXPECT_EQ(items[i], i);
        EXPECT_TRUE(array.items == nullptr && array.capacity == 0 && array.count == 0);
        mem_free(items);
    }
    fail_resize = false;
}

TEST(GrowableArray, InsertAtShiftsAppendsAndKeepsTheArrayOnRefusal)
{
    growable_array array;
    ASSERT_EQ(array_init(&array, sizeof(int32_t)), 1);
    for (int32_t i = 0; i < 16; ++i)
        ASSERT_EQ(array_push(&array, &i), 1);
    // Full: an insert must grow, and a refused growth leaves everything as it was.
    mem_set_system_allocator(&resizing);
    fail_resize = true;
    const int32_t v = 100;
    void* const block = array.items;
    EXPECT_EQ(array_insert_at(&array, &v, 3), 0);
    fail_resize = false;
    EXPECT_TRUE(array.items == block && array.count == 16 && array.capacity == 16);
    const auto* items = static_cast<const int32_t*>(array.items);
    for (int32_t i = 0; i < 16; ++i)
        EXPECT_EQ(items[i], i);
    ASSERT_EQ(array_insert_at(&array, &v, 3), 1);
    mem_set_system_allocator(nullptr);
    const int32_t w = 200;
    ASSERT_EQ(array_insert_at(&array, &w, array.count), 1);   // index = count appends
    ASSERT_EQ(array_insert_at(&array, nullptr, 0), 1);
    EXPECT_EQ(array_insert_at(&array, &w, array.count + 1), 0);
    EXPECT_EQ(array_insert_at(&array, &w, -1), 0);
    items = static_cast<const int32_t*>(array.items);
    const int32_t want[] = {0, 0, 1, 2, 100, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 200};
    ASSERT_EQ(array.count, 19);
    EXPECT_EQ(memcmp(items, want, sizeof want), 0);
    array_free(&array);
}

TEST(Intern, SameTextSharesOneCopyAndAllAreFreedAtShutdown)
{
    in_fresh_process([] {
        Problems p;
        setenv("BV_CHECK_ALLOC", "1", 1);
        std::string first = "abc";
        const char* a = intern_string(first.c_str());
        p.check(a != first.c_str() && intern_string(std::string("abc").c_str()) == a, "abc not shared");
        p.check(intern_string("ABC") != a, "ABC shares abc's copy");
        // Past the first table block the earlier copies stay shared.
        const char* names[40];
        for (int i = 0; i < 40; ++i)
            names[i] = intern_string(("name" + std::to_string(i)).c_str());
        for (int i = 0; i < 40; ++i)
            p.check(intern_string(("name" + std::to_string(i)).c_str()) == names[i], "name" + std::to_string(i));
        intern_free_all();
        p.same(stderr_of(mem_report_leaks), "", "blocks left after freeing");
        p.same(intern_string("abc"), "abc", "interning after the free");
        return p.text;
    });
}

// Titles a stranger picked to share a 240-character prefix and to fall on one stretch
// of a table hashed without a key (FNV-1a: the low 8 bits of the slot number all 0,
// which 1 title in 256 manages). Interning and looking up each costs about three slots
// visited an operation, growth included, and the shared prefix is compared only on a
// hit, whatever the stranger picked: a table they could aim at visits over a hundred,
// and a compare on every visit doubles the compares. The key is drawn afresh each run.
TEST(Intern, CraftedTitlesCostAFewProbesEachAndTheKeyDiffersEachRun)
{
    const std::string prefix(240, 't');
    uint64_t start = 14695981039346656037ull;
    for (const char c : prefix)
        start = (start ^ uint8_t(c)) * 1099511628211ull;
    std::vector<std::string> titles;
    char suffix[16];
    for (uint32_t i = 0; titles.size() < 25000; ++i) {
        snprintf(suffix, sizeof suffix, "%08u", i);
        uint64_t h = start;
        for (const char* c = suffix; *c; ++c)
            h = (h ^ uint8_t(*c)) * 1099511628211ull;
        if (((h ^ (h >> 29)) & 0xff) == 0)
            titles.push_back(prefix + suffix);
    }
    in_fresh_process([&titles] {
        Problems p;
        const intern_work before = intern_work_done();
        std::vector<const char*> kept;
        for (const std::string& t : titles)
            kept.push_back(intern_string(t.c_str()));
        for (size_t i = 0; i < titles.size(); ++i)
            if (intern_string(titles[i].c_str()) != kept[i])
                p.check(false, titles[i].substr(240) + " not shared");
        const intern_work after = intern_work_done();
        const double operations = 2.0 * double(titles.size());
        const double probes = double(after.probes - before.probes) / operations;
        const double compares = double(after.compares - before.compares) / double(titles.size());
        fprintf(stderr, "%zu crafted titles: %.2f slots visited an operation, %.4f texts compared a lookup\n",
                titles.size(), probes, compares);
        p.check(probes < 8, std::to_string(probes) + " slots visited an operation");
        p.check(compares < 1.01, std::to_string(compares) + " texts compared a lookup that hits");
        return p.text;
    });

    // The child is this test run again in a fresh process: it keeps the value its parent
    // set and compares its own with it.
    const std::string here = std::to_string(intern_hash("Brovanta Valley Championship"));
    setenv("BV_TEST_PARENT_INTERN_HASH", here.c_str(), 0);
    in_fresh_process([] {
        const std::string there = std::to_string(intern_hash("Brovanta Valley Championship"));
        return there == getenv("BV_TEST_PARENT_INTERN_HASH") ? std::string("the same key in two runs\n") : "";
    });
}

}  // namespace
