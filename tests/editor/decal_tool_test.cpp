// The decal tool on the flat track with decals of its own: where copies go by "Level",
// trails, the orientations, the group following its primary, erasing, "Hide different"
// and pointers that give no direction. After every step the bucket lists must equal a
// rebuild from scratch and every group entry must name a decal.
#include "editor/decal_tool.h"
#include "flat_track_fixture.h"

#include <gtest/gtest.h>

#include <numbers>

using edtest::flat_track;

namespace {

constexpr float kPi = std::numbers::pi_v<float>;

// Three decals: texture b, then three of a at the end.
const char* const kFourDecals = "[10 10] 0 4 1 b\n[20 10] 0 4 1 a\n[30 10] 0 4 1 a\n[40 10] 0 4 1 a\n";

std::vector<std::vector<int32_t>> buckets()
{
    std::vector<std::vector<int32_t>> all;
    for (auto& row : track_terrain.decal_buckets)
        for (auto& cell : row) {
            const auto* e = static_cast<const int32_t*>(cell.items);
            all.emplace_back(e, e + cell.count);
        }
    return all;
}

// The bookkeeping every operation must leave behind.
void check_books(bvtest::Problems& p, const std::string& after)
{
    const auto kept = buckets();
    decals_rebuild(&track_terrain);
    p.check(kept == buckets(), after + ": the buckets differ from a rebuild");
    const auto* g = static_cast<const int32_t*>(editor_state.decal_selection.items);
    for (int j = 0; j < editor_state.decal_selection.count; ++j)
        p.check(g[j] >= 0 && g[j] < track_terrain.decals.count && g[j] != editor_state.selected_decal,
                after + ": a group entry names no decal");
}

const decal& at(int i)
{
    return *terrain_decal(&track_terrain, i);
}

const decal& primary()
{
    return at(editor_state.selected_decal);
}

std::vector<int32_t> group()
{
    const auto* g = static_cast<const int32_t*>(editor_state.decal_selection.items);
    return {g, g + editor_state.decal_selection.count};
}

std::string textures()
{
    std::string s;
    for (int i = 0; i < track_terrain.decals.count; ++i)
        s += char('a' + at(i).texture - 1);
    return s;
}

void run(const std::function<std::string(flat_track&)>& scenario, const char* decals = kFourDecals)
{
    bvtest::in_fresh_process([&] {
        bvtest::TempDir root;
        flat_track f(root.path(), decals);
        editor_state.tool = 15;
        editor_widgets.orientation.selected = 0;
        return scenario(f);
    });
}

}  // namespace

TEST(DecalTool, LevelsPlaceTheCopyAroundTheRunOfItsTexture)
{
    run([](flat_track& f) {
        bvtest::Problems p;
        p.same(textures(), "baaa", "the decals file read");
        // "Over Current" from the first of the three: the copy goes after the third.
        editor_state.selected_decal = 1;
        f.click(60, 60);
        p.same(textures(), "baaaa", "over current");
        p.check(editor_state.selected_decal == 4 && primary().x == 60 && primary().z == 60, "the copy is primary ");
        check_books(p, "over current");
        // "Under Current" from the copy: before the run of a, after the b.
        editor_widgets.level.selected = 1;
        f.click(60, 70);
        p.check(editor_state.selected_decal == 1 && primary().z == 70 && textures() == "baaaaa", "under current");
        check_books(p, "under current");
        editor_widgets.level.selected = 0;
        editor_state.selected_decal = 0;
        f.click(60, 80);
        p.check(textures() == "baaaaab" && editor_state.selected_decal == 6, "top: appended");
        check_books(p, "top");
        editor_widgets.level.selected = 3;
        editor_state.selected_decal = 3;
        f.click(60, 90);
        p.check(textures() == "abaaaaab" && editor_state.selected_decal == 0 && primary().z == 90, "bottom: first");
        check_books(p, "bottom");
        p.check(decal_insert_index(99) == track_terrain.decals.count, "no decal: append");
        return p.text;
    });
}

TEST(DecalTool, ATrailLaysCopiesASpacingApartEachBecomingThePrimary)
{
    run([](flat_track& f) {
        bvtest::Problems p;
        editor_widgets.level.selected = 0;   // "Top": the trail in array order
        editor_state.selected_decal = 3;
        std::vector<std::pair<float, float>> path;
        for (float x = 50; x <= 70; x += 0.25f)
            path.push_back({x, 50});
        f.stroke(path);
        // size 4 x spacing 0.75 = 3: the first pointer point more than 3 from the primary.
        p.check(track_terrain.decals.count == 4 + 7, "seven decals laid: " + std::to_string(track_terrain.decals.count));
        for (int i = 4; i < track_terrain.decals.count; ++i)
            p.check(at(i).x == 50 + 3.25f * float(i - 4) && at(i).z == 50, "decal " + std::to_string(i) + " placed");
        p.check(editor_state.selected_decal == track_terrain.decals.count - 1, "the last copy is primary");
        check_books(p, "trail");
        return p.text;
    });
}

TEST(DecalTool, OrientationsTurnAndPlaceTheCopy)
{
    run(
        [](flat_track& f) {
            bvtest::Problems p;
            f.click(60, 60);   // "Copy"
            p.check(primary().angle == 0.3f && primary().x == 60, "copy keeps the angle");
            editor_widgets.orientation.selected = 2;   // "Flow"
            f.click(70, 60);
            const decal flow = primary();
            p.check(std::fabs(flow.x + 10 * std::sin(flow.angle) - 60) < 1e-4f &&
                        std::fabs(flow.z + 10 * std::cos(flow.angle) - 60) < 1e-4f &&
                        std::fabs(flow.sine - std::sin(flow.angle)) < 1e-6f,
                    "flow faces the previous primary");
            editor_widgets.orientation.selected = 3;   // "Flow2": back point (71.5, 60)
            f.click(71.5f, 70);
            p.check(std::fabs(primary().x - 71.5f) < 1e-4f && std::fabs(primary().z - 68.5f) < 1e-4f &&
                        std::fabs(std::fabs(primary().angle) - kPi) < 1e-4f,
                    "flow2 moves half a spacing towards the back point");
            editor_widgets.orientation.selected = 4;   // "Uphill" on level ground: random
            decal_random_seed(7);
            const int32_t q = decal_random();
            decal_random_seed(7);
            f.click(90, 90);
            p.check(primary().angle == float(q) * (2 * kPi / 32768) - kPi, "level ground: a random angle");
            const int n = track_terrain.size;
            for (int iz = 0; iz < n; ++iz)
                for (int ix = 0; ix < n; ++ix)
                    track_terrain.heights[iz * n + ix] = float(ix);   // rising along +x, 1 in 2
            f.click(100, 90);
            p.check(std::fabs(primary().angle + kPi / 2) < 1e-4f, "uphill on a slope");

            editor_widgets.orientation.selected = 1;   // "Random"
            bool inside = true;
            for (int i = 0; i < 300; ++i) {
                f.key_at('d', -1000, -1000);
                inside = inside && primary().angle >= -kPi && primary().angle < kPi;
            }
            p.check(inside && track_terrain.decals.count == 6 + 300, "random angles stay in [-pi, pi)");
            int32_t low = 32767, high = 0;
            for (int i = 0; i < 1000000; ++i) {
                low = std::min(low, decal_random());
                high = std::max(high, decal_random());
            }
            p.check(low == 0 && high == 32767, "the generator covers 0..32767");
            check_books(p, "orientations");
            // The "d" key with the pointer on the primary has no direction: nothing stamped.
            editor_widgets.orientation.selected = 0;
            f.click(30, 100);
            f.key_at('d', 30, 100);
            p.check(track_terrain.decals.count == 307 && primary().x == 30, "no stamp without a direction");
            return p.text;
        },
        "[40 40] 0.3 4 1 a\n");
}

TEST(DecalTool, TheGroupFollowsItsPrimary)
{
    run(
        [](flat_track& f) {
            bvtest::Problems p;
            editor_widgets.radius.value = 32;   // 8 ft
            f.key_at('M', 50, 50);
            p.check(group() == std::vector<int32_t>{1, 2, 4}, "M adds within the brush radius");
            f.key_at('M', 50, 50);
            p.check(group() == std::vector<int32_t>{1, 2, 4}, "M leaves members in");
            f.key_at('m', 54, 50);
            p.check(group() == std::vector<int32_t>{2, 4}, "m removes a member");
            f.key_at('m', 54, 50);
            p.check(group() == std::vector<int32_t>{2, 4, 1}, "m adds it back");
            check_books(p, "grouping");

            f.stroke({{50, 50}, {60, 50}, {62, 52}});
            p.check(editor_state.drag_part == 1 && primary().x == 62 && primary().z == 52 && at(1).x == 66 &&
                        at(1).z == 52 && at(2).x == 62 && at(2).z == 58 && at(4).x == 63 && at(4).z == 53,
                    "moving the primary carries the group");
            check_books(p, "move");
            // The handle lies 4 H = 5.12 ft against the facing; turn it a quarter.
            f.stroke({{62, 46.88f}, {57, 52}});
            auto near = [](const decal& d, float x, float z) {
                return std::fabs(d.x - x) < 1e-4f && std::fabs(d.z - z) < 1e-4f;
            };
            p.check(editor_state.drag_part == 2 && std::fabs(primary().angle - kPi / 2) < 1e-6f &&
                        near(at(1), 62, 48) && near(at(2), 68, 52) && near(at(4), 63, 51) &&
                        std::fabs(at(2).angle - (0.5f + kPi / 2)) < 1e-5f,
                    "turning the primary turns the group about it");
            check_books(p, "turn");
            std::vector<decal> before;
            for (int i = 0; i < track_terrain.decals.count; ++i)
                before.push_back(at(i));
            f.key_at('}', 0, 0);
            p.check(!near(at(1), 62, 48), "} spreads the group");
            f.key_at('{', 0, 0);
            bool back = true;
            for (int i = 0; i < track_terrain.decals.count; ++i)
                back = back && near(at(i), before[size_t(i)].x, before[size_t(i)].z) &&
                       at(i).size == before[size_t(i)].size && at(i).angle == before[size_t(i)].angle;
            p.check(back, "} then { gives the group back");
            check_books(p, "scale");

            // A stamp copies the group: the copies follow the new primary, the originals stay.
            f.click(20, 100);
            p.check(track_terrain.decals.count == 9 && primary().x == 20 && primary().z == 100, "four copies");
            int originals = 0;
            for (int i = 0; i < 9; ++i)
                originals += near(at(i), 62, 48) + near(at(i), 68, 52) + near(at(i), 63, 51) + near(at(i), 62, 52);
            const auto g = group();
            p.check(originals == 4 && g.size() == 3 && near(at(g[0]), 26, 100) && near(at(g[1]), 21, 99) &&
                        near(at(g[2]), 20, 96) && at(g[1]).texture == 2,
                    "the group's copies lie around the new primary");
            check_books(p, "stamp with a group");
            return p.text;
        },
        "[50 50] 0 4 1 a\n[54 50] 0 4 1 a\n[50 56] 0.5 4 1 a\n[80 80] 0 4 1 a\n[51 51] 0 4 1 b\n");
}

TEST(DecalTool, ErasingPassesThePrimaryOnAndReexaminesEachIndex)
{
    run(
        [](flat_track& f) {
            bvtest::Problems p;
            editor_widgets.radius.value = 32;
            f.key_at('M', 80, 80);
            p.check(group() == std::vector<int32_t>{3}, "a group of one");
            f.key_at('x', 50, 50);
            p.check(textures() == "aacb" && at(0).x == 51, "x erases both decals within the pick radius");
            p.check(editor_state.selected_decal == 1 && primary().x == 80 && group().empty(),
                    "the last decal of the primary's texture is primary, the group empty");
            check_books(p, "x");
            f.key_at('X', 51, 50);
            p.check(textures() == "ac" && editor_state.selected_decal == 0 && primary().x == 80,
                    "X erases within the brush radius, the primary renumbered");
            check_books(p, "X");
            f.key_at(127, 80, 80);
            p.check(textures() == "c" && editor_state.selected_decal == -1, "no decal of its texture: no primary");
            f.click(20, 20);
            p.check(textures() == "c", "no primary: nothing stamped");
            return p.text;
        },
        "[50 50] 0 4 1 a\n[50.5 50] 0 4 1 a\n[51 50] 0 4 1 a\n[80 80] 0 4 1 a\n[90 90] 0 4 1 c\n[52 50] 0 4 1 b\n");
}

TEST(DecalTool, HideDifferentLimitsPicksGroupsAndErasing)
{
    run(
        [](flat_track& f) {
            bvtest::Problems p;
            editor_widgets.hide_different.selected = 1;
            editor_widgets.radius.value = 32;
            f.click(53, 50);   // on the b: not a candidate, so a copy of the a goes there
            p.check(textures() == "aaba" && editor_state.selected_decal == 1 && primary().x == 53,
                    "the press stamps instead of picking the other texture");
            f.key_at('M', 53, 50);
            p.check(group() == std::vector<int32_t>{0, 3}, "only the primary's texture joins the group");
            check_books(p, "group");
            f.key_at('X', 53, 50);
            p.check(textures() == "b" && editor_state.selected_decal == -1 && group().empty(),
                    "only the primary's texture is erased");
            check_books(p, "erase");
            return p.text;
        },
        "[50 50] 0 4 1 a\n[53 50] 0 4 1 b\n[56 50] 0 4 1 a\n");
}

TEST(DecalTool, SelectionsThatNameNoDecalAreNeverUsed)
{
    run([](flat_track& f) {
        bvtest::Problems p;
        editor_state.selected_decal = 99;
        const int32_t stale = 42;
        array_push(&editor_state.decal_selection, &stale);
        f.click(60, 60);
        f.key_at('d', 70, 70);
        f.key_at('}', 70, 70);
        f.key_at('M', 20, 10);
        f.key_at('m', 20, 10);
        p.check(track_terrain.decals.count == 4 && group().empty(), "a primary past the array: nothing happens");
        editor_state.selected_decal = 1;
        array_push(&editor_state.decal_selection, &stale);
        f.stroke({{20, 10}, {25, 15}});
        p.check(group().empty() && primary().x == 25, "stale entries dropped, the primary moved");
        check_books(p, "stale selections");
        return p.text;
    });
    // A track without decals: the tool has no primary and stamps nothing.
    run(
        [](flat_track& f) {
            bvtest::Problems p;
            f.click(60, 60);
            f.key_at('d', 70, 70);
            f.key_at('X', 70, 70);
            p.check(track_terrain.decals.count == 0, "nothing to copy");
            return p.text;
        },
        "");
}
