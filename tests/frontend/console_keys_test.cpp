// The console's camera keys and the commands on the watched rider: its camera's aim
// and its engine's pipe.
#include "console_fixture.h"
#include "race/race_state.h"
#include "settings_fixture.h"
#include "sim/race_clock.h"
#include "sim/rider_slot.h"
#include "view/engine_sound.h"
#include "view/trackside_view.h"

#include <cmath>
#include <cstring>
#include <numbers>

namespace fronttest {
namespace {

class ConsoleKeys : public Console {
protected:
    void SetUp() override
    {
        Console::SetUp();
        camera_keys.count = 0;
        free_camera = trackside_camera{};
        current_tick = 0;
    }
    void TearDown() override
    {
        camera_keys.count = 0;
        current_tick = 0;
        rider_slots[kSlot].bodies[body_frame] = nullptr;
        race.viewed_slot = 0;
        engine_view_use_riders();
        Console::TearDown();
    }
    // A rider in kSlot, followed by the view, of the given class.
    void watch(const char* bike_class)
    {
        static int frame_body;
        rider_slots[kSlot].bodies[body_frame] = reinterpret_cast<dBodyID>(&frame_body);
        race.viewed_slot = kSlot;
        watched_class = bike_class;
        engine_view.bike_class = [](const rider_slot*) { return watched_class; };
    }
    static std::vector<int32_t> ticks()
    {
        std::vector<int32_t> out;
        for (int i = 0; i < camera_keys.count; ++i)
            out.push_back(static_cast<camera_key*>(camera_keys.items)[i].tick);
        return out;
    }
    void add_at(int32_t tick, float x = 0)
    {
        current_tick = tick;
        free_camera.x = x;
        console_execute("/addkey");
    }
    static constexpr int kSlot = 3;
    static inline const char* watched_class = nullptr;
};

TEST_F(ConsoleKeys, AddedKeysKeepTheirTickOrderAndTakeTheFreeCamera)
{
    add_at(100, 1);
    add_at(50, 2);
    EXPECT_EQ(newest(), "Keyframe added");
    add_at(100, 3);
    ASSERT_EQ(ticks(), (std::vector<int32_t>{50, 100, 100}));
    EXPECT_EQ(static_cast<camera_key*>(camera_keys.items)[2].x, 3.0f);   // the equal tick goes after

    camera_keys.count = 0;
    free_camera.x = 1, free_camera.y = 2, free_camera.z = 3;
    free_camera.yaw = 1.0f, free_camera.pitch = 0.4f;
    fov_slider.value = 75;
    current_tick = 640;
    console_execute("/addkey");
    const camera_key& k = *static_cast<camera_key*>(camera_keys.items);
    const double cy = std::cos(0.5), sy = std::sin(0.5), cp = std::cos(0.2), sp = std::sin(0.2);
    EXPECT_FLOAT_EQ(k.q[0], float(cy * sp));
    EXPECT_FLOAT_EQ(k.q[1], float(sy * cp));
    EXPECT_FLOAT_EQ(k.q[2], float(-sy * sp));
    EXPECT_FLOAT_EQ(k.q[3], float(cy * cp));
    EXPECT_EQ(k.x + k.y + k.z, 6.0f);
    EXPECT_EQ(k.fov, 75.0f);
    EXPECT_EQ(k.tick, 640);
    fov_slider.value = 110;

    console_execute("/listkeys");
    char want[200];
    std::snprintf(want, sizeof want, "pos = { 1.00, 2.00, 3.00 }, rot = { %.2f, %.2f, %.2f, %.2f }, time = 5.00",
                  cy * sp, sy * cp, -sy * sp, cy * cp);
    EXPECT_EQ(newest(), want);
}

TEST_F(ConsoleKeys, DeletingAKey)
{
    const struct {
        std::vector<int32_t> keys;
        int32_t now;
        std::vector<int32_t> left;
    } cases[] = {
        {{}, 0, {}},
        {{100}, 500, {}},                    // one key: all go
        {{50, 100, 150}, 120, {50, 100}},    // the first key after now
        {{50, 100, 150}, 10, {100, 150}},    // every key after now: key 0
        {{50, 100, 150}, 200, {50, 100}},    // none after now: the last
        {{50, 100, 150}, 100, {50, 100}},
    };
    for (const char* command : {"/deletekey", "/rmkey"})
        for (const auto& c : cases) {
            camera_keys.count = 0;
            for (int32_t t : c.keys)
                add_at(t);
            current_tick = c.now;
            EXPECT_EQ(console_execute(command), 1);
            EXPECT_EQ(newest(), "Keyframe deleted");
            EXPECT_EQ(ticks(), c.left) << command << " at " << c.now;
        }

    camera_keys.count = 0;
    add_at(1);
    add_at(2);
    camera_key_remove(2);
    camera_key_remove(-1);
    EXPECT_EQ(camera_keys.count, 2);
    console_execute("/clearkeys");
    EXPECT_EQ(newest(), "Keyframes cleared");
    EXPECT_EQ(camera_keys.count, 0);
}

TEST_F(ConsoleKeys, CameraAimAndPipeNeedAWatchedRider)
{
    race.viewed_slot = kSlot;
    for (const char* line : {"/camangle 90 10", "/pipe", "/pipe 3"}) {
        EXPECT_EQ(console_execute(line), 1);
        EXPECT_EQ(newest(), "No rider is being watched") << line;
    }
    watch("250f");
    free_camera.yaw_rate = free_camera.pitch_rate = 1;
    console_execute("/camangle 90 10");
    EXPECT_EQ(newest(), "Camera aimed");
    EXPECT_FLOAT_EQ(free_camera.yaw, float(std::numbers::pi / 2));
    EXPECT_FLOAT_EQ(free_camera.pitch, float(10 * std::numbers::pi / 180));
    EXPECT_EQ(free_camera.yaw_rate + free_camera.pitch_rate, 0.0f);
    for (const char* line : {"/camangle 5", "/camangle", "/camangle inf 0"}) {
        console_execute(line);
        EXPECT_EQ(newest(), "Usage: camangle <yaw> <pitch>") << line;
    }
    EXPECT_FLOAT_EQ(free_camera.yaw, float(std::numbers::pi / 2));
}

TEST_F(ConsoleKeys, PipeDefaultsByClass)
{
    // The four-stroke classes' defaults give the stock four-stroke pipe.
    const int32_t four_stroke[kPipeTaps] = {32382, 32386, 32391, 32395, 32400, 32405, 32409, 32414,
                                            32419, 32423, 32428, 32433, 32438, 32443, 32448, 32453};
    for (const char* cls : {"250f", "450f"}) {
        watch(cls);
        engine_sounds[kSlot].tone = engine_tone{};
        console_execute("/pipe");
        EXPECT_EQ(newest(), "Pipe updated");
        EXPECT_EQ(0, std::memcmp(engine_sounds[kSlot].tone.pipe_values, four_stroke, sizeof four_stroke)) << cls;
        EXPECT_FLOAT_EQ(engine_sounds[kSlot].tone.pipe_gains[15], -0.85f / 16);
    }
    // Any other class (even one ending in "f") takes the two-stroke b and c; numbers
    // given replace the defaults in order.
    static engine_sound want, got;
    const struct {
        const char* cls;
        const char* line;
        float a, b, c;
        int first, last;
    } cases[] = {
        {"125", "/pipe 3", 3, 0.3f, -0.75f, 0, 15},
        {"350f", "/pipe", 1.75f, 0.3f, -0.75f, 0, 15},
        {"250f", "/pipe 4 0.5 -0.5 2 9", 4, 0.5f, -0.5f, 2, 9},
    };
    for (const auto& c : cases) {
        watch(c.cls);
        want.tone = got.tone = engine_tone{};
        engine_pipe_tune(&want, c.a, c.b, c.c, c.first, c.last);
        engine_sounds[kSlot].tone = engine_tone{};
        console_execute(c.line);
        EXPECT_EQ(0, std::memcmp(engine_sounds[kSlot].tone.pipe_values, want.tone.pipe_values,
                                 sizeof want.tone.pipe_values))
            << c.line;
        EXPECT_EQ(0, std::memcmp(engine_sounds[kSlot].tone.pipe_gains, want.tone.pipe_gains,
                                 sizeof want.tone.pipe_gains))
            << c.line;
    }
    // A value that reads as infinity would put a tap that is not a number in for good:
    // refused, nothing changed.
    watch("250f");
    for (const char* line : {"/pipe 1 1 1e39", "/pipe 1e39", "/pipe 1 -1e39"}) {
        engine_sounds[kSlot].tone = engine_tone{};
        console_execute(line);
        EXPECT_EQ(newest(), "Pipe values must be numbers") << line;
        const engine_tone untouched{};
        EXPECT_EQ(0, std::memcmp(engine_sounds[kSlot].tone.pipe_values, untouched.pipe_values,
                                 sizeof untouched.pipe_values)) << line;
        EXPECT_EQ(0, std::memcmp(engine_sounds[kSlot].tone.pipe_gains, untouched.pipe_gains,
                                 sizeof untouched.pipe_gains)) << line;
    }
}

std::string keys_text(int n)
{
    std::string out;
    for (int i = 0; i < camera_keys.count && i < n; ++i) {
        const camera_key& k = static_cast<camera_key*>(camera_keys.items)[i];
        char line[200];
        std::snprintf(line, sizeof line, "%.4f %.4f %.4f %.4f %.4f %.4f %.4f %.2f %d\n", k.x, k.y, k.z, k.q[0],
                      k.q[1], k.q[2], k.q[3], k.fov, k.tick);
        out += line;
    }
    return out;
}

TEST(ConsoleKeyFiles, WrittenAndReadBack)
{
    settings_test::in_fresh_settings([](bvtest::Problems& p, const settings_test::folders& f) {
        front_end_install();
        message_log_clear();
        auto said = [] { return std::string(message_line_back(0)); };
        const float spots[3][3] = {{1.23456f, -2, 3}, {4, 5.5f, -6}, {7, 8, 9.125f}};
        for (int i = 0; i < 3; ++i) {
            free_camera.x = spots[i][0], free_camera.y = spots[i][1], free_camera.z = spots[i][2];
            free_camera.yaw = 0.3f * float(i), free_camera.pitch = -0.2f;
            current_tick = 100 * i + 7;
            console_execute("/addkey");
        }
        const std::string written = keys_text(3);
        console_execute("/writekeys  fly by  ");
        p.same(said(), "Camera keys saved", "writekeys");
        const std::string file = bvtest::read_file(f.user / "Brovanta/keycam/fly by");
        p.same(file, written, "one line per key, the name's trailing blanks dropped");

        console_execute("/clearkeys");
        console_execute("/readkeys fly by");
        p.same(said(), "Camera keys updated", "readkeys");
        p.same(keys_text(3), written, "the same keys");

        // A bad third line: the two keys before it stay.
        bvtest::write_file(f.user / "Brovanta/keycam/bad", file.substr(0, file.rfind('\n', file.size() - 2) + 1) +
                                                              "1 2 3 x\n");
        console_execute("/readkeys bad");
        p.same(said(), "Error reading camera keys", "a bad line");
        p.check(camera_keys.count == 2, "two keys kept");
        // Trailing white space is the normal end; a file without keys empties them.
        bvtest::write_file(f.user / "Brovanta/keycam/blank", written + "\n  \n");
        console_execute("/readkeys blank");
        p.same(said(), "Camera keys updated", "trailing blank lines");
        p.check(camera_keys.count == 3, "three keys");

        for (const char* line : {"/readkeys", "/readkeys   ", "/readkeys missing", "/readkeys ../keycam/blank"}) {
            message_log_clear();
            console_execute(line);
            p.same(said(), "Error reading camera keys", line);
        }
        p.check(camera_keys.count == 3, "a refused read keeps the keys");
        // A name shaped as the game's temporaries are, which the next start would sweep.
        for (const char* line : {"/writekeys", "/writekeys ../escape", "/writekeys sub/keys", "/writekeys sub\\keys",
                                 "/writekeys cam.tmp-00000000cafe"}) {
            message_log_clear();
            console_execute(line);
            p.same(said(), "Error saving camera keys", line);
        }
        p.check(!bvtest::file_exists(f.user / "Brovanta/escape"), "nothing written outside keycam");
        p.check(!bvtest::file_exists(f.user / "Brovanta/keycam/cam.tmp-00000000cafe"), "a name of the game's mark written");
        p.check(!bvtest::file_exists(f.user / "Brovanta/keycam/sub") && !bvtest::file_exists(f.user / "Brovanta/keycam/sub\\keys"),
                "no sub-folder made in keycam, no name with a backslash written");
        // A failed write keeps the old file whole.
        bvtest::make_dirs(f.user / "Brovanta/keycam/folder");
        console_execute("/writekeys folder");
        p.same(said(), "Error saving camera keys", "a folder in the way");
    });
}

}  // namespace
}  // namespace fronttest
