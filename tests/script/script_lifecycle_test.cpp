// Track scripts across many loads: every unload leaves no engine memory, no pose
// sequence and no extra allocator block behind, one track's globals never reach the
// next, and restarting a race on the same track does not add the script's objects
// again.
#include "script_fixture.h"

#include "foundation/memory.h"
#include "script/script_host.h"
#include "script/script_seams.h"
#include "script/script_tables.h"
#include "support/fresh_process.h"
#include "terrain/billboards.h"
#include "terrain/statues.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define BV_LSAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define BV_LSAN 1
#endif
#if defined(BV_LSAN)
#include <sanitizer/lsan_interface.h>
#endif

namespace {

using bvtest::Problems;

long live_blocks = 0;
void* counted_allocate(size_t size)
{
    void* p = malloc(size);
    live_blocks += p != nullptr;
    return p;
}
void* counted_reallocate(void* block, size_t size)
{
    void* p = realloc(block, size);
    live_blocks += !block && p;
    return p;
}
void counted_release(void* block)
{
    live_blocks -= block != nullptr;
    free(block);
}
const mem_system_allocator counting = {counted_allocate, counted_reallocate, counted_release};

const char* const kBusyScript =
    "var id = bv.get_max_slots(); var makers = [];"
    "for (var i = 0; i < 50; i++) { var a = {n: i}; var b = {a: a}; a.b = b; makers.push(function () { return a; }); }"
    "bv.cache_pose_sequence({frame_count: 2, bone_count: 1, rest_centers: [0, 0, 0],"
    " poses: [{centers: [0, 0, 0], rotations: [1, 0, 0, 0, 1, 0, 0, 0, 1]},"
    "         {centers: [1, 1, 1], rotations: [1, 0, 0, 0, 1, 0, 0, 0, 1]}]});"
    "bv.add_sound('@horn.raw');"
    "var st = bv.add_statue(3, 0, 3, 0, '@models/cube.jm', '@statues/hay.png', '');"
    "var bb = bv.add_billboard(4, 1, 4, 2, 1, '#ff8000#@billboards/tree.png');"
    "bv.pose_statue_from_sequence(st, 0, 0.5);"
    "bv.tic_handler = function () { makers.push(function () { return makers.length; }); };";

TEST(ScriptLifecycle, HundredLoadsLeaveNothingBehind)
{
    bvtest::in_fresh_process([] {
        Problems p;
        bvtest::TempDir root;
        scripttest::start(root);
        scripttest::write_track(root, "one", std::string(kBusyScript) + "var from_one = 1;");
        scripttest::write_track(root, "two", std::string(kBusyScript) + "bv.seen = typeof from_one;");
        mem_set_system_allocator(&counting);
        long after_unload[2] = {-1, -1};
        for (int i = 0; i < 100; ++i) {
            scripttest::race_on(i % 2 ? "two" : "one");
            for (int t = 0; t < 3; ++t)
                script_call_tic_handler();
            if (i == 1)
                p.same(scripttest::js("bv.seen"), "\"undefined\"", "track one's global on track two");
            script_unload();
            p.check(script_heap_bytes == 0 && pose_sequence_count == 0,
                    "load " + std::to_string(i) + ": " + std::to_string(script_heap_bytes) + " engine bytes, " +
                        std::to_string(pose_sequence_count) + " sequences");
            long& before = after_unload[i % 2];
            if (i >= 4 && live_blocks != before)   // the first loads of each track warm caches up
                p.check(false, "load " + std::to_string(i) + ": " + std::to_string(live_blocks - before) + " blocks more");
            before = live_blocks;
        }
        mem_set_system_allocator(nullptr);
#if defined(BV_LSAN)
        p.check(__lsan_do_recoverable_leak_check() == 0, "the leak check found blocks");
#endif
        return p.text;
    });
}

TEST(ScriptLifecycle, RestartsOnTheSameTrackDoNotAddTheObjectsAgain)
{
    bvtest::in_fresh_process([] {
        Problems p;
        bvtest::TempDir root;
        scripttest::start(root);
        scripttest::write_track(root, "again", kBusyScript);
        scripttest::race_on("again");
        const int32_t statues_first = statue_count(), billboards_first = billboard_count();
        p.check(statues_first == first_track_statue + 3 && billboards_first == first_track_billboard + 4,
                "the script's objects were not added");
        for (int i = 0; i < 100; ++i)
            scripttest::race_on("again");
        p.check(statue_count() == statues_first && billboard_count() == billboards_first,
                "restarts: " + std::to_string(statue_count()) + " statues, " + std::to_string(billboard_count()) +
                    " billboards");
        p.check(statue_at(statue_count() - 1)->bone_count == 1, "the new statue is posed again");
        return p.text;
    });
}

}  // namespace
