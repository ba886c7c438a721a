// Engine sound records: class defaults, the ".braap" definition search and lines, and
// the pipe resonance.
#include "view/engine_sound.h"

#include "foundation/text/scan.h"
#include "foundation/vfs/vfs.h"
#include "platform/qorl_audio.h"
#include "race/program/audio_start.h"
#include "race/rider_visibility.h"
#include "sim/bike_step.h"
#include "sim/rider_access.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

engine_sound engine_sounds[kEngineSlots];

namespace {

void read_riders(int32_t slot, engine_view_entry* out)
{
    *out = engine_view_entry{};
    const rider_slot* r = &rider_slots[slot];
    if (!r->bodies[body_frame])
        return;
    out->rider = r;
    out->rpm = bike_engine_rpm(r);
    out->torque = bike_engine_torque(r);
    dBodyID body = rider_get_frame_body(r);
    const dReal* p = dBodyGetPosition(body);
    const dReal* v = dBodyGetLinearVel(body);
    for (int k = 0; k < 3; ++k) {
        out->position[k] = static_cast<float>(p[k]);
        out->velocity[k] = static_cast<float>(v[k]);
    }
    out->hidden = rider_hidden(slot);
}

constexpr engine_tone tone(float firings, float low, float high, const int32_t (&pipe)[kPipeTaps], float gain)
{
    engine_tone t{};
    t.firings = firings;
    t.lowtorque = low;
    t.hightorque = high;
    t.minrpm = 1000.0f;
    for (int i = 0; i < kPipeTaps; ++i) {
        t.pipe_values[i] = pipe[i];
        t.pipe_gains[i] = gain;
    }
    t.bias[0] = 0.0f;
    t.scale[0] = 1.0f;
    t.bias_count = 1;
    t.scale_count = 1;
    return t;
}

constexpr int32_t four_stroke_pipe[kPipeTaps] = {32382, 32386, 32391, 32395, 32400, 32405, 32409, 32414,
                                                 32419, 32423, 32428, 32433, 32438, 32443, 32448, 32453};
constexpr int32_t two_stroke_pipe[kPipeTaps] = {32633, 32635, 32636, 32638, 32639, 32641, 32642, 32644,
                                                32645, 32647, 32648, 32650, 32652, 32653, 32655, 32656};
constexpr int32_t file_pipe[kPipeTaps] = {32691, 32696, 32701, 32706, 32711, 32716, 32721, 32726,
                                          32731, 32736, 32742, 32747, 32752, 32758, 32763, 32768};

const engine_tone four_stroke_tone = tone(0.5f, -2.5f, 2.5f, four_stroke_pipe, -0.053125f);
const engine_tone two_stroke_tone = tone(1.0f, -3.5f, 3.5f, two_stroke_pipe, -0.046875f);
const engine_tone class50_tone = tone(1.0f, -3.5f, 1.5f, two_stroke_pipe, -0.046875f);

void class_defaults(engine_sound* record, const rider_slot* rider)
{
    const char* cls = rider ? engine_view.bike_class(rider) : nullptr;
    if (!rider) {
        record->tone = four_stroke_tone;
        record->tone.table = sound_table_default_four_stroke();
    } else if (cls && std::strcmp(cls, "50") == 0) {
        record->tone = class50_tone;
        record->tone.table = sound_table_default_two_stroke();
    } else if (cls && *cls && cls[std::strlen(cls) - 1] == 'f') {
        record->tone = four_stroke_tone;
        record->tone.table = sound_table_default_four_stroke();
    } else {
        record->tone = two_stroke_tone;
        record->tone.table = sound_table_default_two_stroke();
    }
}

// The keyword at the start of the line (after blanks) followed by a blank or the end:
// the text after it, else null.
const char* keyword(const char* line, const char* word)
{
    while (std::isspace(static_cast<unsigned char>(*line)))
        ++line;
    size_t n = std::strlen(word);
    if (std::strncmp(line, word, n) != 0)
        return nullptr;
    char next = line[n];
    return next == '\0' || std::isspace(static_cast<unsigned char>(next)) ? line + n : nullptr;
}

// Up to 100 finite numbers; the first that fails or is not finite ends the list.
int32_t read_list(const char* text, float* values)
{
    int32_t count = 0;
    while (count < kToneValues) {
        char* end = nullptr;
        double v = std::strtod(text, &end);
        float f = static_cast<float>(v);
        if (end == text || !std::isfinite(f))
            break;
        values[count++] = f;
        text = end;
    }
    return count;
}

void set_finite(float& field, const char* line, const char* format)
{
    float v = 0;
    if (scan_string(line, format, &v) == 1 && std::isfinite(v))
        field = v;
}

void definition_line(engine_sound* record, char* line)
{
    if (char* hash = std::strchr(line, '#'))
        *hash = '\0';
    float a = 5.0f, b = 0.91820717f, c = -0.85f;
    int32_t first = 0, last = 15;
    if (scan_string(line, "pipe %f %f %f %d %d", &a, &b, &c, &first, &last) >= 1) {
        if (std::isfinite(a) && std::isfinite(b) && std::isfinite(c))
            engine_pipe_tune(record, a, b, c, first, last);
        return;
    }
    engine_tone& t = record->tone;
    set_finite(t.minrpm, line, "minrpm %f");
    set_finite(t.lowtorque, line, "lowtorque %f");
    set_finite(t.hightorque, line, "hightorque %f");
    if (const char* rest = keyword(line, "bias")) {
        t.bias_count = read_list(rest, t.bias);
    } else if (const char* rest = keyword(line, "scale")) {
        t.scale_count = read_list(rest, t.scale);
    } else if (const char* rest = keyword(line, "soundtable")) {
        std::string name(rest);
        size_t from = name.find_first_not_of(" \t\r\n\v\f");
        size_t to = name.find_last_not_of(" \t\r\n\v\f");
        if (from == std::string::npos)
            return;
        if (const sound_table* table = sound_table_get(name.substr(from, to - from + 1).c_str()))
            t.table = table;
    }
}

vfs_file* open_definition(const rider_slot* rider, const char* definition)
{
    const char* name = definition ? definition : rider ? engine_view.texture_name(rider) : nullptr;
    if (!name)
        return engine_sound_open_default(rider);
    std::string buffer(name);
    size_t slash = buffer.rfind('/');
    size_t base = slash == std::string::npos ? 0 : slash + 1;
    size_t dot = buffer.rfind('.');
    size_t cut = dot == std::string::npos || dot < base ? buffer.size() : dot;
    for (;;) {
        std::string tried = buffer.substr(0, cut) + ".braap";
        if (vfs_file* f = vfs_open(tried.c_str(), "r"))
            return f;
        size_t dash = cut == 0 ? std::string::npos : buffer.rfind('-', cut - 1);
        if (dash == std::string::npos || dash < base)
            return engine_sound_open_default(rider);
        cut = dash;
    }
}

void read_definition(engine_sound* record, vfs_file* f)
{
    std::memcpy(record->tone.pipe_values, file_pipe, sizeof file_pipe);
    for (float& g : record->tone.pipe_gains)
        g = 0.0f;
    char line[1024];
    while (vfs_gets(f, line, sizeof line)) {
        size_t n = std::strlen(line);
        bool whole = n > 0 && line[n - 1] == '\n';
        definition_line(record, line);
        // The rest of an over-long line is dropped, never read as a line of its own.
        while (!whole && vfs_gets(f, line, sizeof line)) {
            n = std::strlen(line);
            whole = n > 0 && line[n - 1] == '\n';
        }
    }
    vfs_close(f);
}

}  // namespace

engine_view_ops engine_view = {read_riders, rider_get_bike_class, rider_get_bike_texture_name};

void engine_view_use_riders()
{
    engine_view = engine_view_ops{read_riders, rider_get_bike_class, rider_get_bike_texture_name};
}

int32_t clamp_to_int(double x, int32_t lo, int32_t hi)
{
    if (std::isnan(x))
        return lo > 0 ? lo : hi < 0 ? hi : 0;
    if (x <= lo)
        return lo;
    if (x >= hi)
        return hi;
    return static_cast<int32_t>(x);
}

void engine_pipe_tune(engine_sound* record, float a, float b, float c, int32_t first, int32_t last)
{
    constexpr double samples_per_foot = 77.32568794162944;
    int32_t f = first < 0 ? 0 : first > 15 ? 15 : first;
    engine_tone& t = record->tone;
    if (last <= f) {
        t.pipe_values[f] = 32768 - clamp_to_int(samples_per_foot * a, -1 << 30, 1 << 30);
        t.pipe_gains[f] = c;
        return;
    }
    int32_t l = last < 15 ? last : 15;
    int32_t n = l - f;
    float m = a < b ? a : b;
    for (int32_t k = 0; k <= n; ++k) {
        float kn = static_cast<float>(k) / static_cast<float>(n);
        float length = a - m * (static_cast<float>(k) + kn * kn) / static_cast<float>(n + 1);
        t.pipe_values[f + k] = 32768 - clamp_to_int(samples_per_foot * length, -1 << 30, 1 << 30);
        t.pipe_gains[f + k] = c / static_cast<float>(n + 1);
    }
}

vfs_file* engine_sound_open_default(const rider_slot* rider)
{
    const char* cls = rider ? engine_view.bike_class(rider) : nullptr;
    if (!cls)
        return nullptr;
    for (const char* stock : {"50", "125", "250f", "250", "450f"})
        if (std::strcmp(cls, stock) == 0) {
            std::string name = std::string("@default") + stock + ".braap";
            return vfs_open(name.c_str(), "r");
        }
    return nullptr;
}

void engine_sound_free(engine_sound* record)
{
    if (record->voice)
        qorl_sound_free(record->voice);
    record->voice = nullptr;
}

void engine_sound_load(engine_sound* record, const rider_slot* rider, const char* definition)
{
    sound_table_default_four_stroke();
    sound_table_default_two_stroke();
    engine_sound_free(record);
    if (audio_device) {
        static uint8_t silence[kEngineRing];
        std::memset(silence, 128, sizeof silence);
        record->voice = qorl_sound_new(audio_device, kEngineRing, silence, 0);
        if (record->voice) {
            qorl_sound_set_loop(record->voice, 1);
            qorl_sound_set_volume(record->voice, 0);
            qorl_sound_play(record->voice);
        }
    }
    std::memset(record->ring, 0, sizeof record->ring);
    record->cursor = 11025;
    record->cycle_phase = 0;
    record->cycle_step = 0;
    record->cycle_counter = 0;
    record->cycles_per_second = 10.0f;
    record->previous_rpm = 1000.0f;
    class_defaults(record, rider);
    if (vfs_file* f = open_definition(rider, definition))
        read_definition(record, f);
    engine_tone& t = record->tone;
    if (t.scale_count == 0) {
        t.scale[0] = 1.0f;
        t.scale_count = 1;
    }
    if (t.bias_count == 0) {
        t.bias[0] = 0.0f;
        t.bias_count = 1;
    }
    const sound_table_cell& first = t.table->cells[0];
    for (engine_oscillator& o : record->oscillators)
        o = engine_oscillator{first.samples, 0, 0, 0.0f, first.length};
}
