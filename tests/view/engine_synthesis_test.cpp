#include "view/engine_sound.h"

#include "engine_fixture.h"
#include "platform/readback.h"
#include "race/program/audio_start.h"
#include "race/race_state.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

using enginetest::place;
using enginetest::riders;

constexpr int32_t kFrame = 735;   // one 60 fps frame at 44100

// One rider in slot 0 (the viewed slot) heard through a 44100 Hz readback: one output
// frame per engine sample.
struct EngineSynthesis : bvtest::Readback {
    engine_sound& e = engine_sounds[0];
    void SetUp() override
    {
        open(kFrame, 44100);
        audio_device = audio_;
        enginetest::install();
        race.viewed_slot = 0;
    }
    void TearDown() override
    {
        for (engine_sound& s : engine_sounds)
            engine_sound_free(&s);
        audio_device = nullptr;
        Readback::TearDown();
    }
    void load(int32_t slot, const std::string& cls, float rpm, float torque = 0, float x = 0, float y = 0, float z = 0)
    {
        fake_rider_ref(slot) = place(slot, cls, x, y, z);
        riders[slot].view.rpm = rpm;
        riders[slot].view.torque = torque;
        engine_sound_load(&engine_sounds[slot], &rider_slots[slot], nullptr);
    }
    static enginetest::fake_rider& fake_rider_ref(int32_t slot) { return riders[slot]; }
    // One frame: the update, then one block mixed; the left channel.
    bvtest::samples frame(float level = 1, bvtest::samples* right = nullptr)
    {
        engine_sound_update(level);
        return mix(right);
    }
    void frames(int count, float level = 1)
    {
        for (int i = 0; i < count; ++i)
            frame(level);
    }
    float ring_peak() const
    {
        float peak = 0;
        for (float v : e.ring)
            peak = std::max(peak, std::fabs(v));
        return peak;
    }
};

int peak_to_peak(const bvtest::samples& s)
{
    auto [lo, hi] = std::minmax_element(s.begin(), s.end());
    return *hi - *lo;
}

TEST_F(EngineSynthesis, CyclesFollowTheRevs)
{
    struct Case {
        const char* cls;
        float rpm;
        float firings;
    };
    for (const Case& c : {Case{"350", 3000, 1}, Case{"350", 9000, 1}, Case{"999f", 3000, 0.5f},
                          Case{"999f", 9000, 0.5f}, Case{"350", 0, 1}}) {
        load(0, c.cls, c.rpm);
        frames(30);
        int32_t before = e.cycle_counter;
        frames(60);   // one second
        float want = c.firings * std::max(c.rpm, 1000.0f) / 60;
        EXPECT_NEAR(e.cycle_counter - before, want, 1) << c.cls << " " << c.rpm;
    }
}

TEST_F(EngineSynthesis, LoadBlendsTheColumns)
{
    auto peak_at = [&](float torque, bvtest::samples* out) {
        load(0, "350", 3000, torque);
        for (float& g : e.tone.pipe_gains)
            g = 0;
        frames(30);
        *out = frame();
        return ring_peak();
    };
    bvtest::samples off, half, on;
    float p0 = peak_at(-3.5f, &off), p5 = peak_at(0, &half), p1 = peak_at(3.5f, &on);
    EXPECT_NEAR(p0 / p1, 0.25, 1e-4);
    EXPECT_NEAR(p5 / p1, 0.625, 1e-4);
    double ratio = double(peak_to_peak(on)) / peak_to_peak(off);
    EXPECT_GT(ratio, 3);
    EXPECT_LT(ratio, 5);
    // Torque maps to load through the torque range, clamped; a NaN counts as 0.
    for (auto [torque, weight] : {std::pair{-10.0f, 0.0f}, {-3.5f, 0.0f}, {1.75f, 0.75f}, {50.0f, 1.0f},
                                  {std::nanf(""), 0.0f}}) {
        load(0, "350", 3000, torque);
        frames(10);
        EXPECT_NEAR(e.oscillators[3].weight, weight, 1e-5) << torque;
        EXPECT_NEAR(e.oscillators[1].weight, 1 - weight, 1e-5) << torque;
    }
}

TEST_F(EngineSynthesis, OscillatorWeightsFromRowsAndColumns)
{
    static float samples[4][400];
    for (auto& s : samples)
        std::fill(std::begin(s), std::end(s), 0.01f);
    sound_table_cell cells[4];
    const float rows[2] = {2000, 9000}, cols[2] = {0, 1};
    for (int k = 0; k < 4; ++k)
        cells[k] = sound_table_cell{samples[k], 400, 4, nullptr, 0, rows[k / 2], cols[k % 2]};
    sound_table square{nullptr, 2, 2, cells, nullptr};
    sound_table single{nullptr, 1, 1, cells, nullptr};

    auto run = [&](const sound_table* t, float rpm, float torque) {
        load(0, "350", rpm, torque);
        e.tone.table = t;
        e.previous_rpm = rpm;
        frames(20);
    };
    run(&single, 5000, 0);
    EXPECT_EQ(e.oscillators[3].weight, 1.0f);
    EXPECT_EQ(e.oscillators[0].weight + e.oscillators[1].weight + e.oscillators[2].weight, 0.0f);

    run(&square, 5500, -3.5f + 7 * 0.25f);   // u = 0.5, w = 0.25
    const float u = 0.5f, w = 0.25f;
    const float want[4] = {(1 - u) * (1 - w), u * (1 - w), (1 - u) * w, u * w};
    // Oscillators: (row 0, column 0), (row 1, column 0), (row 0, column 1), (row 1, column 1).
    const int cell_of[4] = {0, 2, 1, 3};
    float sum = 0;
    for (int k = 0; k < 4; ++k) {
        EXPECT_NEAR(e.oscillators[k].weight, want[k], 1e-5) << k;
        EXPECT_EQ(e.oscillators[k].data, samples[cell_of[k]]) << k;
        sum += e.oscillators[k].weight;
    }
    EXPECT_NEAR(sum, 1, 1e-6);

    run(&square, 12000, 3.5f);   // above the last row: both rows are the last
    EXPECT_EQ(e.oscillators[3].data, samples[3]);
    EXPECT_EQ(e.oscillators[3].weight, 1.0f);
}

TEST_F(EngineSynthesis, CursorStaysAheadOfPlayback)
{
    load(0, "350", 3000);
    frames(10);
    engine_sound_update(1);
    auto ahead = [&] { return (e.cursor - qorl_sound_position(e.voice) + kEngineRing) % kEngineRing; };
    EXPECT_EQ(ahead(), 4410);
    int32_t cursor = e.cursor;
    engine_sound_update(1);   // nothing due
    EXPECT_EQ(e.cursor, cursor);
    for (int i = 0; i < 20; ++i)
        mix();   // a long gap
    engine_sound_update(1);
    EXPECT_EQ((e.cursor - cursor + kEngineRing) % kEngineRing, 8820);
}

TEST(EngineSampleByte, Conversion)
{
    for (auto [y, b] : {std::pair{0.0f, 127}, {1.0f, 254}, {-1.0f, 0}, {16.0f, 255}, {-16.0f, 0},
                        {0.5f, 191}, {-0.5f, 64}})
        EXPECT_EQ(engine_sample_byte(y), b) << y;
}

TEST_F(EngineSynthesis, VolumeByLevelDistanceAndSlot)
{
    race.viewed_slot = 3;
    EXPECT_FLOAT_EQ(engine_voice_level(3, 0, 0.7f), 0.7f);
    EXPECT_FLOAT_EQ(engine_voice_level(4, 0, 0.7f), 0.7f * 0.8f);
    EXPECT_EQ(engine_voice_level(3, 1, 0.7f), 0.0f);
    const float still[3] = {0, 0, 0};
    const float near[3] = {0.5f, 0, 0}, far[3] = {0, 0, -49};
    EXPECT_EQ(engine_voice_controls(near, still, 1).volume, 32767);
    EXPECT_EQ(engine_voice_controls(far, still, 1).volume, 16383);
    EXPECT_EQ(engine_voice_controls(still, still, 0.5f).volume, 16383);
    const float nan3[3] = {std::nanf(""), 0, 0};
    voice_controls bad = engine_voice_controls(nan3, still, 1);
    EXPECT_TRUE(bad.volume == 0 && bad.rate == 100 && bad.pan == 0);

    // Level 0 silences every voice after the fade; level 1 brings it back.
    race.viewed_slot = 0;
    load(0, "350", 6000, 3.5f);
    frames(30);
    EXPECT_GT(peak_to_peak(frame()), 10);
    frame(0);
    for (int i = 0; i < 3; ++i) {
        bvtest::samples right;
        bvtest::samples left = frame(0, &right);
        EXPECT_TRUE(std::all_of(left.begin(), left.end(), [](int v) { return v == 128; }));
        EXPECT_TRUE(std::all_of(right.begin(), right.end(), [](int v) { return v == 128; }));
    }
    int32_t counter = e.cycle_counter;
    frames(2);
    EXPECT_GT(e.cycle_counter, counter);   // the synthesis went on
    frame(1);
    EXPECT_GT(peak_to_peak(frame(1)), 10);

    // A hidden rider is silent while its cursor moves on.
    riders[0].view.hidden = 1;
    frames(2);
    int32_t cursor = e.cursor;
    EXPECT_TRUE(std::ranges::all_of(frame(), [](int v) { return v == 128; }));
    EXPECT_NE(e.cursor, cursor);
}

TEST_F(EngineSynthesis, PanFollowsTheRightAxis)
{
    for (auto [x, left_silent, right_silent] : {std::tuple{10.0f, true, false}, {-10.0f, false, true}}) {
        load(0, "350", 6000, 3.5f, x, 0, 0);
        frames(30);
        bvtest::samples right;
        bvtest::samples left = frame(1, &right);
        EXPECT_EQ(std::ranges::all_of(left, [](int v) { return v == 128; }), left_silent) << x;
        EXPECT_EQ(std::ranges::all_of(right, [](int v) { return v == 128; }), right_silent) << x;
    }
    const float at[3] = {0, 0, 0}, still[3] = {0, 0, 0}, right_of[3] = {10, 0, 0};
    EXPECT_EQ(engine_voice_controls(at, still, 1).pan, 0);
    EXPECT_EQ(engine_voice_controls(right_of, still, 1).pan, 32767);
    // Turned a quarter to the left, the right axis is +z.
    current_camera.rotation[0] = 0, current_camera.rotation[6] = -1;
    const float behind_right[3] = {0, 0, -10};
    EXPECT_EQ(engine_voice_controls(behind_right, still, 1).pan, 32767);
}

TEST(SoundDoppler, Factors)
{
    enginetest::install();
    const float origin[3] = {0, 0, 0}, still[3] = {0, 0, 0};
    const float ahead[3] = {0, 0, -100};
    const float towards[3] = {0, 0, 100}, away[3] = {0, 0, -100};
    EXPECT_EQ(sound_doppler(origin, towards), 1.0f);
    EXPECT_EQ(sound_doppler(ahead, still), 1.0f);
    EXPECT_NEAR(sound_doppler(ahead, towards), 1 / (1 - 0.08767085), 1e-5);
    EXPECT_LT(sound_doppler(ahead, away), 1.0f);
    const float supersonic[3] = {0, 0, 1200};
    EXPECT_EQ(sound_doppler(ahead, supersonic), 0.125f);
    EXPECT_EQ(engine_voice_controls(ahead, supersonic, 1).rate, 5512);
    const float fast_away[3] = {0, 0, -1e9f};
    EXPECT_EQ(engine_voice_controls(ahead, fast_away, 1).rate, 100);
    listener_velocity[2] = 1e9f;   // a listener fleeing faster than sound: never below 100
    EXPECT_EQ(engine_voice_controls(ahead, still, 1).rate, 100);
    listener_velocity[2] = 0;
}

TEST(EngineNoDriver, NothingPlays)
{
    enginetest::install();
    audio_device = nullptr;
    engine_sound& e = engine_sounds[5];
    place(5, "350").view.rpm = 5000;
    engine_sound_load(&e, &rider_slots[5], nullptr);
    EXPECT_EQ(e.voice, nullptr);
    engine_sound_update(1);
    EXPECT_EQ(e.cursor, 11025);
    EXPECT_EQ(e.cycle_counter, 0);
}

}  // namespace
