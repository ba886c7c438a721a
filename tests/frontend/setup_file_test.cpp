// Setup lines and "@setups/<name>" files over the settings records.
#include "settings_fixture.h"

#include "foundation/vfs/vfs.h"
#include "frontend/setup_file.h"
#include "race/program/settings_values.h"

#include <cstring>

namespace
{

using namespace settings_test;

const char* const setup_key_order[58] = {
    "bike", "name", "number", "rider_texture", "head_texture", "bike_texture", "wheel_texture", "stability",
    "leveling", "roll_damping", "roll_limit_angle", "roll_limit_factor", "steering_damping", "steering_strength",
    "max_steering_force", "direct_steering", "slow_damping_speed", "slow_damping_factor", "land_damping_rampup",
    "land_damping_falloff", "land_damping_factor", "full_lock_speed", "restricted_lock_speed", "restricted_lock",
    "arcade", "front_brake", "rear_brake", "stop_wheelies", "auto_shift", "auto_dab", "auto_align", "sticky_dab",
    "reverse_steering", "lean_indicator", "auto_clutch_rpms", "brake_torque", "rear_brake_torque", "max_dab_speed",
    "front_sprocket_adjustment", "rear_sprocket_adjustment", "fork_compression_adjustment",
    "fork_slow_compression_adjustment", "fork_rebound_adjustment", "fork_slow_rebound_adjustment",
    "fork_spring_rate_adjustment", "fork_preload_adjustment", "fork_oil_level_adjustment",
    "shock_compression_adjustment", "shock_slow_compression_adjustment", "shock_rebound_adjustment",
    "shock_slow_rebound_adjustment", "shock_spring_rate_adjustment", "shock_preload_adjustment", "rider_yspring",
    "rider_ydamping", "rider_zspring", "rider_zdamping", "rider_mass_distribution",
};

// The 16 advanced values, in the setup's order.
std::vector<double> advanced()
{
    std::vector<double> v;
    for (ui_slider* s : advanced_stability_sliders)
        v.push_back(s->value);
    return v;
}

TEST(SetupFile, WritesTheFiftyEightLinesInOrder)
{
    in_fresh_settings([](Problems& p, const folders& f) {
        p.check(setup_file_write("plain") == 1, "written");
        const std::vector<std::string> lines = lines_of(read_file(f.user / "Brovanta/setups/plain"));
        p.check(lines.size() == 58, "58 lines");
        for (size_t i = 0; i < std::min<size_t>(lines.size(), 58); ++i)
            p.check(lines[i].rfind(std::string(setup_key_order[i]) + "=", 0) == 0, "line " + lines[i]);
        p.check(lines.size() == 58 && lines[0] == "bike=yz250f(2017)" && lines[7] == "stability=100.000000" &&
                    lines[24] == "arcade=Yes" && lines[57] == "rider_mass_distribution=0.330000",
                "values");
    });
}

TEST(SetupFile, ParseAnswersForEverySetupKeyAndNoOther)
{
    in_fresh_settings([](Problems& p, const folders&) {
        for (const char* key : setup_key_order)
            p.check(setup_parse(key, "\x01 not a value") == 1, std::string("setup key ") + key);
        for (const char* key : {"fov", "Bike", "bike ", "xres", "slot00", ""})
            p.check(setup_parse(key, "1") == 0, std::string("not a setup key: ") + key);
        p.same(bike_names[bike_choice.selected], "yz250f(2017)", "rejected bike unchanged");
    });
}

TEST(SetupFile, ParseEdgeCases)
{
    in_fresh_settings([](Problems& p, const folders&) {
        setup_parse("bike", "yz250f");
        p.same(bike_names[bike_choice.selected], "yz250f(2008)", "legacy name");
        setup_parse("bike", "zz999");
        p.same(bike_names[bike_choice.selected], "yz250f(2008)", "unknown bike");

        setup_parse("stability", "150");
        p.check(stability_slider.value == 100, "150 stores 100");
        setup_parse("stability", "57.9");
        p.check(stability_slider.value == double(57.9f), "57.9 stored");
        const std::vector<double> derived = advanced();
        stability_derive(57);
        p.check(advanced() == derived, "advanced values of 57");

        setup_parse("rider_mass_distribution", "0.2");
        setup_parse("front_sprocket_adjustment", "3");
        p.check(setup.rider_mass_distribution == 0.33 && setup.front_sprocket_adjustment == 2, "clamped");
        setup_parse("number", "1234");
        p.same(rider_number_field.buffer, "123", "number");
        setup_parse("name", std::string(100, 'n').c_str());
        p.check(strlen(rider_name_field.buffer) == 63, "name of 63");
        setup_parse("bike_texture", std::string(2000, 'b').c_str());
        p.check(strlen(kept_graphics_names[2]) == 1023, "graphics name of 1023");
    });
}

TEST(SetupFile, AStabilityLineRederivesTheAdvancedValues)
{
    in_fresh_settings([](Problems& p, const folders& f) {
        write_file(f.user / "Brovanta/setups/only", "stability=40\n");
        advanced_stability_sliders[0]->value = 99;
        p.check(setup_file_read("only") == 1, "read");
        const std::vector<double> from_file = advanced();
        stability_derive(40);
        p.check(advanced() == from_file, "all 16 derived");
        write_file(f.user / "Brovanta/setups/order", "leveling=3\nstability=40\nroll_damping=4\n");
        setup_file_read("order");
        p.check(setup.leveling != 3 && setup.roll_damping == 4, "before: overwritten; after: kept");
        // A downloaded setup's line too long for the reader is skipped whole: no piece
        // of it is taken as a line.
        stability_derive(100);
        stability_slider.value = 100;
        write_file(f.user / "Brovanta/setups/long", "name=" + std::string(1018, 'n') + "stability=40\nnumber=5\n");
        p.check(setup_file_read("long") == 1, "read with a long line");
        p.check(stability_slider.value == 100, "a piece of the long line taken as a line");
        p.check(rider_name_field.buffer[0] != 'n' && strcmp(rider_number_field.buffer, "5") == 0, "the long line skipped whole");
        p.check(setup_file_read("missing") == 0, "a missing file");
        for (const char* name : {"", "../config", "sub/name", "..", "sub\\name"})
            p.check(setup_file_write(name) == 0 && setup_file_read(name) == 0, std::string("refused: ") + name);
        p.check(!bvtest::file_exists(f.user / "Brovanta/config"), "nothing written outside setups");
    });
}

TEST(SetupFile, RoundTripThroughANamedFile)
{
    in_fresh_settings([](Problems& p, const folders& f) {
        ui_choice_select(&bike_choice, "cr125");
        ui_text_set(&rider_name_field, "Fast One");
        ui_text_set(&rider_number_field, "7");
        for (int i = 0; i < 4; ++i)
            snprintf(kept_graphics_names[i], kKeptNameSize, "look%d", i);
        stability_slider.value = 30;
        // Three quarters of each range, as a float: "%f" gives it back exactly.
        auto move = [](ui_slider& s) { s.value = double(float(s.min + 0.75 * (s.max - s.min))); };
        for (ui_slider* s : advanced_stability_sliders)
            move(*s);
        for (ui_choice& c : assist_choices)
            c.selected = c.count - 1 - c.selected;
        for (ui_slider& s : bike_setup_sliders)
            move(s);
        for (ui_slider& s : suspension_sliders)
            move(s);
        const setup_values changed = setup;
        p.check(setup_file_write("fast") == 1, "written (folder made)");
        std::string text = read_file(f.user / "Brovanta/setups/fast");
        write_file(f.user / "Brovanta/setups/fast", text + "fov=20\nxres=10\n");
        defaults();
        p.check(setup_file_read("fast") == 1, "read");
        p.check(memcmp(&setup, &changed, sizeof setup) == 0, "all values as written");
        p.same(bike_names[bike_choice.selected], "cr125", "bike");
        p.same(rider_name_field.buffer, "Fast One", "name");
        p.same(rider_number_field.buffer, "7", "number");
        p.same(kept_graphics_names[3], "look3", "wheel graphics name");
        p.check(fov_slider.value == 110 && plain_values.xres == 640, "other lines ignored");
    });
}

}  // namespace
