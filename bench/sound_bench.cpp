// The engine sound's cost: 1, 8 and 40 riders, each with a stock definition of the
// base data and slowly varying revs, synthesised through the readback mixer for 600
// frames of 735 samples (60 frames per second). Prints microseconds per rider-frame
// and the share of a 16.7 ms frame that 40 riders take. Data: the build's staging
// folder unless BV_HOME names another.
#include "platform/qorl_audio.h"
#include "race/program/audio_start.h"
#include "race/race_state.h"
#include "sim/rider_slot.h"
#include "view/engine_sound.h"
#include "view/render_world.h"
#include "view/sound_listener.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr const char* kClasses[5] = {"50", "125", "250", "250f", "450f"};
engine_view_entry views[kEngineSlots];
int riders_in_use = 0;

double run(int riders)
{
    riders_in_use = riders;
    for (int k = 0; k < kEngineSlots; ++k) {
        views[k] = engine_view_entry{};
        if (k < riders) {
            views[k].rider = &rider_slots[k];
            views[k].position[0] = static_cast<float>(k * 3);
            views[k].position[2] = -20;
        }
    }
    for (int k = 0; k < riders; ++k)
        engine_sound_load(&engine_sounds[k], &rider_slots[k], nullptr);
    double seconds = 0;
    for (int frame = 0; frame < 600; ++frame) {
        for (int k = 0; k < riders; ++k) {
            views[k].rpm = 6000 + 4000 * std::sin(frame * 0.01 + k);
            views[k].torque = 2 * std::sin(frame * 0.013 + k);
        }
        auto start = std::chrono::steady_clock::now();
        engine_sound_update(1);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        qorl_audio_readback(audio_device);
    }
    for (int k = 0; k < riders; ++k)
        engine_sound_free(&engine_sounds[k]);
    return seconds * 1e6 / (600.0 * riders);
}

}  // namespace

int main()
{
    if (!getenv("BV_HOME"))
        setenv("BV_HOME", BV_BUILD_DIR "/base_staging", 1);
    engine_view.read = [](int32_t slot, engine_view_entry* out) { *out = views[slot]; };
    engine_view.bike_class = [](const rider_slot* r) { return kClasses[(r - rider_slots) % 5]; };
    engine_view.texture_name = [](const rider_slot*) { return static_cast<const char*>(nullptr); };
    current_camera = published_camera{{0, 0, 0}, {1, 0, 0, 0, 1, 0, 0, 0, 1}};
    race.viewed_slot = 0;
    audio_device = qorl_audio_open_readback(nullptr, 44100, 735);
    if (!audio_device) {
        fprintf(stderr, "sound_bench: no readback mixer\n");
        return 1;
    }
    engine_sound_load(&engine_sounds[0], nullptr, nullptr);   // the built-in tables
    engine_sound_free(&engine_sounds[0]);
    double per40 = 0;
    for (int riders : {1, 8, 40}) {
        double us = run(riders);
        printf("%2d riders: %.2f us per rider-frame\n", riders, us);
        per40 = us * 40;
    }
    printf("40 riders: %.3f ms, %.1f%% of a 16.7 ms frame\n", per40 / 1000, per40 / 16667 * 100);
    qorl_audio_close(audio_device);
    engine_sound_caches_free();
    return 0;
}
