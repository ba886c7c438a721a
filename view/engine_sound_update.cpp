// The per-frame engine sound: each rider's engine synthesised from its revs and load
// since the last frame into its looping voice, and every voice (engines and script
// sounds) given its rate, volume and pan as heard from the last camera.
#include "foundation/numbers/vec_math.h"
#include "platform/qorl_audio.h"
#include "race/program/audio_start.h"
#include "race/race_state.h"
#include "view/engine_sound.h"
#include "view/render_world.h"
#include "view/script_sounds.h"
#include "view/sound_listener.h"

#include <cmath>

double volume = 10;
double comp_volume = 8;

namespace {

constexpr float kSpeedOfSoundInverse = 0.0008767085f;   // seconds per foot
constexpr int32_t kLead = 4410;                          // samples written ahead of playback
constexpr int32_t kMaxBlock = 8820;
constexpr float kMaxCyclesPerSecond = 4410.0f;

float dot(const float a[3], const float b[3])
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

// Where a source lies from the listener: its distance, squared distance and pan.
struct heard_from {
    float distance2;
    float distance;
    int32_t pan;
    bool finite;
};

heard_from locate(const float position[3])
{
    const float* cam = current_camera.position;
    float v[3] = {cam[0] - position[0], cam[1] - position[1], cam[2] - position[2]};
    heard_from h{};
    h.distance2 = dot(v, v);
    h.distance = std::sqrt(h.distance2);
    h.finite = std::isfinite(h.distance);
    if (h.finite && h.distance2 >= 1.0f / 1024.0f) {
        const float* m = current_camera.rotation;
        float right[3] = {m[0], m[3], m[6]};
        h.pan = clamp_to_int(-32767.0 * dot(right, v) / h.distance, -32767, 32767);
    }
    return h;
}

float distance_gain(float distance)
{
    float g = (distance - 1.0f) / 48.0f + 1.0f;
    return g < 1.0f ? 1.0f : g;
}

void apply(qorl_sound* voice, const voice_controls& c)
{
    qorl_sound_set_rate(voice, c.rate);
    qorl_sound_set_volume(voice, c.volume);
    qorl_sound_set_pan(voice, c.pan);
}

int32_t rate_of(double rate)
{
    return std::isfinite(rate) ? clamp_to_int(rate, 100, 1000000) : 100;
}

void start_cycle(engine_sound& e, int32_t s, int32_t n, float r, float load)
{
    engine_tone& t = e.tone;
    int32_t c = e.cycle_counter;
    float q = ((static_cast<float>(s) / static_cast<float>(n)) * (r - e.previous_rpm) + e.previous_rpm +
               t.bias[c % t.bias_count]) *
              t.scale[c % t.scale_count];
    if (!(q >= t.minrpm))
        q = t.minrpm;
    e.cycle_counter = c == INT32_MAX ? 0 : c + 1;
    float f = t.firings * q / 60.0f;
    if (!(f >= 5.0f))
        f = 5.0f;
    if (f > kMaxCyclesPerSecond)
        f = kMaxCyclesPerSecond;
    e.cycles_per_second = f;
    e.cycle_step = clamp_to_int(16777216.0 * f / 44100.0 + 0.5, 0, INT32_MAX);

    const sound_table& table = *t.table;
    int32_t K = table.columns;
    int32_t i1 = 0;
    while (i1 < table.rows && !(table.cells[i1 * K].row_value > q))
        ++i1;
    int32_t i0 = i1;
    float u = 1.0f;
    if (i1 == table.rows) {
        i0 = i1 = table.rows - 1;
    } else if (i1 > 0) {
        i0 = i1 - 1;
        float v0 = table.cells[i0 * K].row_value, v1 = table.cells[i1 * K].row_value;
        u = (q - v0) / (v1 - v0);
        u = u > 0.0f ? (u < 1.0f ? u : 1.0f) : 0.0f;
    }
    int32_t j1 = 0;
    while (j1 < K && !(table.cells[j1].column_value > load))
        ++j1;
    int32_t j0 = j1;
    float w = 1.0f;
    if (j1 == K) {
        j0 = j1 = K - 1;
    } else if (j1 > 0) {
        j0 = j1 - 1;
        float c0 = table.cells[j0].column_value, c1 = table.cells[j1].column_value;
        w = (load - c0) / (c1 - c0);
        w = w > 0.0f ? (w < 1.0f ? w : 1.0f) : 0.0f;
    }
    const int32_t cells[4] = {i0 * K + j0, i1 * K + j0, i0 * K + j1, i1 * K + j1};
    const float weights[4] = {(1 - u) * (1 - w), u * (1 - w), (1 - u) * w, u * w};
    for (int k = 0; k < 4; ++k) {
        const sound_table_cell& cell = table.cells[cells[k]];
        float ratio = static_cast<float>(cell.length) / static_cast<float>(cell.cycles);
        int32_t index = cell.remap ? cell.remap[c % cell.remap_count] : c;
        engine_oscillator& o = e.oscillators[k];
        o.data = cell.samples;
        o.length = cell.length;
        o.weight = weights[k];
        o.phase = static_cast<uint32_t>(clamp_to_int(static_cast<float>(index % cell.cycles) * ratio, 0, INT32_MAX))
                  << 10;
        o.step = static_cast<uint32_t>(clamp_to_int(ratio * f / 44100.0f * 1024.0f, 0, INT32_MAX));
    }
}

void synthesize(engine_sound& e, float r, float load, int32_t n)
{
    const engine_tone& t = e.tone;
    e.cycle_step = clamp_to_int(std::lround(380.43573 * e.cycles_per_second), 0, INT32_MAX);
    for (int32_t s = 0; s < n; ++s) {
        float y = 0.0f;
        for (engine_oscillator& o : e.oscillators) {
            uint32_t index = o.phase >> 10;
            if (index >= static_cast<uint32_t>(o.length))
                index = static_cast<uint32_t>(o.length - 1);
            y += o.weight * o.data[index];
            o.phase += o.step;
        }
        for (int i = 0; i < kPipeTaps; ++i)
            y += t.pipe_gains[i] * e.ring[(e.cursor + t.pipe_values[i]) & (kEngineRing - 1)];
        e.ring[e.cursor] = y < -16.0f ? -16.0f : y > 16.0f ? 16.0f : y;
        e.cycle_phase += e.cycle_step;
        if (e.cycle_phase > 0xFFFFFF) {
            start_cycle(e, s, n, r, load);
            e.cycle_phase -= 1 << 24;
        }
        e.cursor = (e.cursor + 1) & (kEngineRing - 1);
    }
    e.previous_rpm = r;
    static uint8_t bytes[kMaxBlock];
    int32_t from = (e.cursor - n) & (kEngineRing - 1);
    for (int32_t s = 0; s < n; ++s)
        bytes[s] = engine_sample_byte(e.ring[(from + s) & (kEngineRing - 1)]);
    qorl_stream_write(e.voice, n, bytes, from);
}

void update_engine(int32_t slot, float master)
{
    engine_sound& e = engine_sounds[slot];
    engine_view_entry v{};
    engine_view.read(slot, &v);
    if (!v.rider || !e.voice)
        return;
    float t = engine_voice_level(slot, v.hidden, master);
    float r = std::isfinite(v.rpm) ? v.rpm : e.previous_rpm;
    float load = (v.torque - e.tone.lowtorque) / (e.tone.hightorque - e.tone.lowtorque);
    load = load > 0.0f ? (load < 1.0f ? load : 1.0f) : 0.0f;   // NaN gives 0
    int32_t p = qorl_sound_position(e.voice);
    int32_t n = (p - e.cursor + kEngineRing + kLead) & (kEngineRing - 1);
    if (n > 0)
        synthesize(e, r, load, n < kMaxBlock ? n : kMaxBlock);
    apply(e.voice, engine_voice_controls(v.position, v.velocity, t));
}

}  // namespace

float engine_voice_level(int32_t slot, int hidden, float master)
{
    if (hidden)
        return 0.0f;
    return slot == race.viewed_slot ? master : master * 0.1f * static_cast<float>(comp_volume);
}

uint8_t engine_sample_byte(float y)
{
    long v = std::lround((y + 1.0f) * 127.0f);
    return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
}

float sound_doppler(const float position[3], const float velocity[3])
{
    const float* cam = current_camera.position;
    float v[3] = {cam[0] - position[0], cam[1] - position[1], cam[2] - position[2]};
    float d2 = dot(v, v);
    if (d2 < 1.0f / 1024.0f)
        return 1.0f;
    float d = std::sqrt(d2);
    float n[3] = {v[0] / d, v[1] / d, v[2] / d};
    float a = 1.0f - kSpeedOfSoundInverse * dot(listener_velocity, n);
    float b = 1.0f - kSpeedOfSoundInverse * dot(velocity, n);
    if (a > 8.0f * b)
        return 0.125f;
    return a / b;
}

voice_controls engine_voice_controls(const float position[3], const float velocity[3], float t)
{
    heard_from h = locate(position);
    if (!h.finite || !std::isfinite(t))
        return voice_controls{100, 0, 0};
    return voice_controls{rate_of(sound_doppler(position, velocity) * 44100.0),
                          clamp_to_int(t / distance_gain(h.distance) * 32767.0, 0, 32767), h.pan};
}

voice_controls script_voice_controls(const sound_entry& s, float master)
{
    heard_from h = locate(s.position);
    double share = s.volume / distance_gain(h.distance);
    double rate = s.freq_factor * static_cast<double>(sound_doppler(s.position, s.velocity));
    if (!h.finite || !std::isfinite(share) || !std::isfinite(rate))
        return voice_controls{100, 0, 0};
    share = share < 0 ? 0 : share > 1 ? 1 : share;
    double others = master * 0.1 * comp_volume;
    return voice_controls{rate_of(rate), clamp_to_int(share * others * 32767.0, 0, 32767), h.pan};
}

void engine_sound_update(float level)
{
    if (!audio_device)
        return;
    float master = 0.1f * static_cast<float>(volume) * level;
    for (int32_t slot = 0; slot < kEngineSlots; ++slot)
        update_engine(slot, master);
    for (int32_t id = 0; id < sound_count; ++id)
        apply(sound_entries[id].voice, script_voice_controls(sound_entries[id], master));
}
