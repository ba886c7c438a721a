// What a bike asks the graphics layer for: textured model variants, the fallbacks to
// the bike's own files, the number plate and the normal and specular maps.
#include "sim_fixture.h"

#include "sim/rider_access.h"

#include "foundation/memory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using simtest::BikeTest;

bool asked(const std::vector<std::string>& list, const std::string& name)
{
    return std::find(list.begin(), list.end(), name) != list.end();
}

TEST(VariantName, TakesTheTexturesMiddlePart)
{
    struct Case {
        const char* model;
        const char* texture;
        const char* extension;
        const char* expected;   // null: no variant
    } const cases[] = {
        {"@cr125_frame.jm", "@cr125-team-red.png", ".jm", "@cr125_frame-team.jm"},
        {"@cr125_frame.jm", "skins/cr125-team-red.png", ".jm", "@cr125_frame-team.jm"},
        {"@rider_body-old.jm", "@rider_body-alt1-2.png", ".jm", "@rider_body-alt1.jm"},
        {"@rider_body.png", "@rider_body-alt1-blue.png", ".foo", "@rider_body-alt1.foo"},
        {"my-skins/cr125_frame.jm", "@a-b-c.png", ".jm", "my-skins/cr125_frame-b.jm"},
        {"@cr125_frame.jm", "@cr125-team.png", ".jm", nullptr},      // one '-' is no variant
        {"@cr125_frame.jm", "@cr125.png", ".jm", nullptr},
        {"@cr125_frame", "@cr125-team-red.png", ".jm", nullptr},     // neither '-' nor '.'
        {"a.b/frame", "@x-y-z.png", ".jm", nullptr},                 // the '.' is in the folder
        {"@frame.jm", "my-skins/plain.png", ".jm", nullptr},         // the '-' are in the folder
    };
    for (const Case& c : cases) {
        char out[256] = "untouched";
        const int made = variant_name(out, sizeof out, c.model, c.texture, c.extension);
        if (c.expected) {
            EXPECT_EQ(made, 1) << c.model << " " << c.texture;
            EXPECT_STREQ(out, c.expected);
        } else {
            EXPECT_EQ(made, 0) << c.model << " " << c.texture << " gave " << out;
            EXPECT_STREQ(out, "untouched");
        }
    }
    char small[8];
    EXPECT_EQ(variant_name(small, sizeof small, "@cr125_frame.jm", "@a-b-c.png", ".jm"), 0);
}

TEST_F(BikeTest, MissingEverythingFallsBackToTheBikesOwnFiles)
{
    simtest::LogCapture log;
    rider_slot* r = rider_create("cr125", 3, 1, "12", "@rider_body-alt1-x.png", "@helmet-h-1.png",
                                 "@cr125-team-red.png", "@wheels-gold-1.png");
    ASSERT_NE(r, nullptr);
    const simtest::GraphicsRecord& g = graphics.record();
    // The given textures first, in build order: bike, wheel, rider, head.
    ASSERT_GE(g.textures.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(g.textures.begin(), g.textures.begin() + 4),
              (std::vector<std::string>{"@cr125-team-red.png", "@wheels-gold-1.png", "@rider_body-alt1-x.png",
                                        "@helmet-h-1.png"}));
    // Textured variants were asked for, then the defaults.
    EXPECT_TRUE(asked(g.models, "@cr125_frame-team.jm"));
    EXPECT_TRUE(asked(g.models, "@front_wheel-gold.jm"));
    EXPECT_TRUE(asked(g.models, "@rider_body-alt1.jm"));
    EXPECT_TRUE(asked(g.models, "@rider_head-h.jm"));
    for (const char* name : {"@cr125.png", "@wheels.png", "@rider_body.png", "@rider_head.png"})
        EXPECT_TRUE(asked(g.textures, name)) << name;
    for (const char* name : {"@cr125_frame.jm", "@cr125_side_plates.jm", "@cr125_fork_upper.jm",
                             "@cr125_front_plate.jm", "@cr125_fork_lower.jm", "@cr125_swingarm.jm",
                             "@front_wheel.jm", "@rear_wheel.jm", "@rider_plate.jm", "@rider_body.jm",
                             "@rider_body_fp.jm", "@rider_head.jm"})
        EXPECT_TRUE(asked(g.models, name)) << name;
    EXPECT_EQ(r->frame_model, nullptr);
    EXPECT_EQ(r->bike_textures.colour, 0u);
    // Warnings name what could not be had; the plate and own-view body stay quiet.
    EXPECT_TRUE(log.contains("Warning: Can't load @cr125_frame-team.jm\n"));
    EXPECT_TRUE(log.contains("Warning: Can't load @cr125_frame.jm\n"));
    EXPECT_TRUE(log.contains("Warning: Can't load @rider_head.jm\n"));
    EXPECT_FALSE(log.contains("rider_plate"));
    EXPECT_FALSE(log.contains("rider_body_fp"));
}

TEST_F(BikeTest, AVariantIsLookedForBesideItsTexture)
{
    simtest::LogCapture log;
    graphics.record().texture_ids["skins/cr125-team-red.png"] = 40;
    graphics.record().present_models.insert("skins/cr125_frame-team.jm");
    rider_slot* r = rider_create("cr125", 0, 1, "1", nullptr, nullptr, "skins/cr125-team-red.png", nullptr);
    EXPECT_EQ(r->frame_model, simtest::NullGraphics::dummy_model("skins/cr125_frame-team.jm"));
    EXPECT_EQ(r->bike_textures.colour, 40u);
    EXPECT_STREQ(rider_get_bike_texture_name(r), "skins/cr125-team-red.png");
    EXPECT_TRUE(log.contains("Warning: Can't load @cr125_fork_upper-team.jm or skins/cr125_fork_upper-team.jm\n"));
    // The bike had its texture and frame: no fallback to the default bike texture.
    EXPECT_FALSE(asked(graphics.record().textures, "@cr125.png"));
    // Nothing loaded for the wheels: the defaults were tried and are not there either.
    EXPECT_EQ(rider_get_wheel_texture_name(r), nullptr);
}

TEST_F(BikeTest, PresentDefaultsAreUsedWithoutWarnings)
{
    simtest::GraphicsRecord& g = graphics.record();
    g.texture_ids = {{"@cr125.png", 1}, {"@wheels.png", 2}, {"@rider_body.png", 3}, {"@rider_head.png", 4}};
    for (const char* name : {"@cr125_frame.jm", "@cr125_side_plates.jm", "@cr125_fork_upper.jm",
                             "@cr125_front_plate.jm", "@cr125_fork_lower.jm", "@cr125_swingarm.jm", "@front_wheel.jm",
                             "@rear_wheel.jm", "@rider_plate.jm", "@rider_body.jm", "@rider_body_fp.jm",
                             "@rider_head.jm"})
        g.present_models.insert(name);
    simtest::LogCapture log;
    rider_slot* r = create();
    EXPECT_EQ(log.text(), "");
    EXPECT_EQ(r->bike_textures.colour, 1u);
    EXPECT_EQ(r->head_textures.colour, 4u);
    EXPECT_NE(r->rider_body_fp_model, nullptr);
    EXPECT_NE(r->front_plate_model, nullptr);
    EXPECT_STREQ(rider_get_head_texture_name(r), "@rider_head.png");
    EXPECT_STREQ(rider_get_rider_texture_name(r), "@rider_body.png");
}

TEST_F(BikeTest, NumberPlateTakesSevenCharactersAndTheTextureColours)
{
    rider_slot* r = create("cr125", 0, "1234567890");
    EXPECT_STREQ(rider_get_number(r), "1234567");
    ASSERT_EQ(graphics.record().plate_texts.size(), 1u);
    EXPECT_EQ(graphics.record().plate_texts[0], "1234567");
    // No tag text: white plate, black digits.
    EXPECT_EQ(graphics.record().plate_colours[0], (std::vector<uint8_t>{255, 255, 255, 0, 0, 0}));
    EXPECT_EQ(r->number_texture, 1000u);

    graphics.record().texture_ids["@yz125.png"] = 9;
    graphics.record().texture_infos[9] = "[numberbackground:0,0.2,1][numberforeground:1,1,0]";
    create("yz125", 1, "");
    EXPECT_EQ(graphics.record().plate_colours[1], (std::vector<uint8_t>{0, 51, 255, 255, 255, 0}));
    EXPECT_EQ(graphics.record().plate_texts[1], "");
    rider_slot* none = rider_create("yz125", 2, 1, nullptr, nullptr, nullptr, nullptr, nullptr);
    EXPECT_STREQ(rider_get_number(none), "");
}

TEST_F(BikeTest, MapsAreFoundOnTheTextureThenItsVariantStems)
{
    simtest::GraphicsRecord& g = graphics.record();
    g.texture_ids = {{"@cr125-team-red.png", 5}, {"@cr125-team_norm.png", 11}, {"@cr125-team-red_spec.ppm", 12},
                     {"@wheels_norm.seq", 21}, {"@wheels_spec.png", 22}};
    rider_slot* r = rider_create("cr125", 0, 1, "1", nullptr, nullptr, "@cr125-team-red.png", nullptr);
    EXPECT_EQ(r->bike_textures.normal, 11u);
    EXPECT_EQ(r->bike_textures.specular, 12u);
    // The wheels had no texture given: the default's maps.
    EXPECT_EQ(r->wheel_textures.normal, 21u);
    EXPECT_EQ(r->wheel_textures.specular, 22u);
    EXPECT_EQ(r->rider_textures.normal, 0u);

    uint32_t normal = 7, specular = 7;
    texture_maps_find(nullptr, "@cr125.png", &normal, &specular);
    EXPECT_EQ(normal, 0u);
    EXPECT_EQ(specular, 0u);
    // Step 3: the default name's stem with the texture's variant.
    g.texture_ids["@cr125-blue_spec.seq"] = 30;
    texture_maps_find("skins/other-blue-1.png", "@cr125.png", &normal, &specular);
    EXPECT_EQ(normal, 0u);
    EXPECT_EQ(specular, 30u);
}

TEST_F(BikeTest, DestroyReleasesEverything)
{
    rider_slot* r = create();
    const uint32_t plate = r->number_texture;
    bike_destroy(r);
    for (dBodyID body : r->bodies)
        EXPECT_EQ(body, nullptr);
    for (dJointID joint : r->joints)
        EXPECT_EQ(joint, nullptr);
    for (collision_shape* shape : r->shapes)
        EXPECT_EQ(shape, nullptr);
    EXPECT_EQ(r->gate_times.items, nullptr);
    EXPECT_EQ(r->gate_times.count, 0);
    EXPECT_EQ(r->path.items, nullptr);
    EXPECT_EQ(r->number_texture, 0u);
    EXPECT_EQ(graphics.record().deleted_plates, std::vector<uint32_t>{plate});
    bike_destroy(r);   // twice is harmless
    EXPECT_EQ(graphics.record().deleted_plates.size(), 1u);
}

// Counts the foundation allocator's live blocks.
int live_blocks = 0;
void* counting_allocate(size_t size)
{
    ++live_blocks;
    return malloc(size);
}
void* counting_reallocate(void* block, size_t size)
{
    if (!block)
        ++live_blocks;
    return realloc(block, size);
}
void counting_release(void* block)
{
    if (block)
        --live_blocks;
    free(block);
}

TEST_F(BikeTest, AThousandBuildsLeakNothing)
{
    create("yz250f(2017)", 5);   // the shape cache fills on the first build
    bike_destroy(&rider_slots[5]);
    const mem_system_allocator counting = {counting_allocate, counting_reallocate, counting_release};
    mem_set_system_allocator(&counting);
    live_blocks = 0;
    for (int i = 0; i < 1000; ++i) {
        rider_slot* r = rider_create(bike_infos[static_cast<size_t>(i % kBikeCount)].name, i % 3, 1, "99", nullptr,
                                     nullptr, nullptr, nullptr);
        ASSERT_NE(r, nullptr);
        int32_t tick = i;
        for (int k = 0; k < 40; ++k)   // grow the gate times past their first room
            array_push(&r->gate_times, &tick);
        bike_destroy(r);
    }
    mem_set_system_allocator(nullptr);
    EXPECT_EQ(live_blocks, 0);
    EXPECT_EQ(graphics.record().deleted_plates.size(), graphics.record().plate_texts.size());
    EXPECT_EQ(shape_cache_count(), 8 - 1);   // the seven stock shapes of a bike, no more
}

}  // namespace
