// The texture choice lists over a real data-file index of a temporary game folder.
#include "settings_fixture.h"

#include "foundation/index/file_index.h"
#include "foundation/memory.h"
#include "frontend/setup_file.h"
#include "frontend/texture_choices.h"
#include "race/race_state.h"
#include "support/archive_bytes.h"

#include <cstdlib>
#include <filesystem>
#include <cstring>

namespace
{

using namespace settings_test;

std::string list_text(const growable_array& a)
{
    std::string out;
    for (int i = 0; i < a.count; ++i)
        out += std::string(i ? "|" : "") + static_cast<const char* const*>(a.items)[i];
    return out;
}

void install(const folders& f)
{
    for (const char* name : {"rider_body-red.png", "rider_body-red_norm.png", "rider_body-red_spec.png",
                             "Rider_body-x.png", "sub/wheels-gold.png", "rider_body-blue.png", "rider_body-.jpg",
                             "bikes/cr125-green.png", "rider_head-white.png"})
        write_file(f.game / name, "");
    write_file(f.game / "packed.saf", bvtest::saf_bytes({{"gear/rider_body-amber.png", "x"}}));
}

TEST(TextureChoices, ListsFollowTheIndexAndThePrefix)
{
    in_fresh_settings([](Problems& p, const folders& f) {
        install(f);
        growable_array files{}, names{};
        texture_choices_scan(&files, &names, "rider_body-");
        p.same(list_text(names), "default|amber|blue|red", "riding gear names (the index's order)");
        p.same(list_text(files), "|@gear/rider_body-amber.png|@rider_body-blue.png|@rider_body-red.png",
               "riding gear files");
        texture_choices_scan(&files, &names, "wheels-");
        p.same(list_text(names), "default|gold", "a file in a sub-folder");
        p.same(list_text(files), "|@sub/wheels-gold.png", "its file");
        texture_choices_scan(&files, &names, "nothing-");
        p.same(list_text(names), "default", "no match");
        p.check(files.count == 1, "one file entry");

        // "rs50cr" and "cr125" share their graphics.
        growable_array other_files{}, other_names{};
        ui_choice_select(&bike_choice, "rs50cr");
        bike_graphics_rebuild();
        const std::string rs50 = list_text(texture_names[2]);
        ui_choice_select(&bike_choice, "cr125");
        bike_graphics_rebuild();
        p.same(list_text(texture_names[2]), rs50, "same graphics");
        p.same(rs50, "default|green", "cr125 graphics");
        array_free(&files);
        array_free(&names);
        array_free(&other_files);
        array_free(&other_names);
    });
}

TEST(TextureChoices, PrefixTableRunsBesideTheBikeNames)
{
    const std::pair<const char*, const char*> cases[] = {
        {"450sxf(2018)", "450sxfv2016-"},  {"rmz450(2017)", "rmz450-"},
        {"yz250f(2017)", "yz250fv2014-"},  {"rs50yz", "yz125-"},
        {"yz250f_se(2006)", "yz250f_se-"}, {"crf250(2013)", "crf250v2010-"}};
    for (const auto& [bike, prefix] : cases) {
        int i = 0;
        while (i < kBikeModels && strcmp(bike_names[i], bike) != 0)
            ++i;
        ASSERT_LT(i, kBikeModels) << bike;
        EXPECT_STREQ(bike_graphics_prefixes[i], prefix) << bike;
    }
}

TEST(TextureChoices, StartUpSelectsByTheKeptNames)
{
    in_fresh_settings([](Problems& p, const folders& f) {
        install(f);
        write_file(f.game / "bikes/yz250fv2014-red.png", "");
        read_config_text(f, "rider_texture=red\nhead_texture=black\nbike_texture=red\nwheel_texture=gold\n");
        // Before the lists stand, the names read are written back.
        std::string before;
        {
            config_write();
            before = read_file(f.config());
        }
        p.check(has_line(before, "rider_texture=red") && has_line(before, "head_texture=black"), "kept names");
        texture_lists_build();
        p.same(riding_gear_choice.items[riding_gear_choice.selected], "red", "riding gear");
        p.check(helmet_choice.selected == 0, "an unknown name leaves default");
        p.same(bike_graphics_choice.items[bike_graphics_choice.selected], "red", "bike graphics");
        p.same(wheel_graphics_choice.items[wheel_graphics_choice.selected], "gold", "wheels");
        settings_derive();
        p.same(local_profile.body_texture ? local_profile.body_texture : "(null)", "@rider_body-red.png",
               "the local rider's riding gear");
        p.check(local_profile.head_texture == nullptr, "default helmet: no file");
        p.same(local_profile.bike, "yz250f(2017)", "profile bike");
        // A bike change rebuilds its graphics list at "default".
        ui_choice_select(&bike_choice, "kx125");
        bike_graphics_rebuild();
        p.check(bike_graphics_choice.selected == 0 && bike_graphics_choice.count == 1, "default after a bike change");
        texture_lists_free();
    });
}

// The test allocator refuses the growth of one list: the two stay in step.
int allocations_left = -1;
void* limited_allocate(size_t n)
{
    return allocations_left-- == 0 ? nullptr : malloc(n);
}
void* limited_reallocate(void* block, size_t n)
{
    return allocations_left-- == 0 ? nullptr : realloc(block, n);
}
const mem_system_allocator limited = {limited_allocate, limited_reallocate, free};

TEST(TextureChoices, AFailedGrowthKeepsTheListsInStep)
{
    in_fresh_settings([](Problems& p, const folders& f) {
        for (int i = 0; i < 40; ++i)
            write_file(f.game / ("wheels-w" + std::to_string(100 + i) + ".png"), "");
        // A first scan interns every text, so that only the lists allocate below: their
        // first blocks, then the growth at 16 and at 32 entries.
        growable_array first_files{}, first_names{};
        texture_choices_scan(&first_files, &first_names, "wheels-");
        array_free(&first_files);
        array_free(&first_names);
        for (int fail_at = 0; fail_at < 6; ++fail_at) {
            growable_array files{}, names{};
            mem_set_system_allocator(&limited);
            allocations_left = fail_at;
            texture_choices_scan(&files, &names, "wheels-");
            mem_set_system_allocator(nullptr);
            allocations_left = -1;
            p.check(files.count == names.count, "counts equal after failure " + std::to_string(fail_at));
            for (int i = 1; i < std::min(files.count, names.count); ++i) {
                const std::string file = static_cast<const char* const*>(files.items)[i];
                const std::string name = static_cast<const char* const*>(names.items)[i];
                p.check(file == "@wheels-" + name + ".png", "entry " + std::to_string(i) + ": " + file + " " + name);
            }
            p.check(files.count == (fail_at < 2 ? 41 : 40), "only the failed entry is dropped, from both");
            array_free(&files);
            array_free(&names);
        }
    });
}

}  // namespace

namespace {

TEST(TextureChoices, TheBundledDataOffersMoreThanDefault)
{
    in_fresh_settings([](Problems& p, const folders& f) {
        // A copy: a link leading out of the game folder is neither listed nor read.
        std::filesystem::copy_file(std::string(BV_BUILD_DIR) + "/game/zzzz.saf", f.game / "zzzz.saf");
        texture_lists_build();
        auto items = [](const ui_choice& c) {
            std::string out;
            for (int i = 0; i < c.count; ++i)
                out += std::string(i ? "|" : "") + c.items[i];
            return out;
        };
        p.same(items(riding_gear_choice), "default|blue|red", "riding gear");
        p.same(items(helmet_choice), "default|white", "helmet");
        p.same(items(bike_graphics_choice), "default|red", "the default bike's graphics");
        p.same(items(wheel_graphics_choice), "default|gold", "wheels");
        texture_lists_free();
    });
}

}  // namespace
