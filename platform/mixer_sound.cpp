// The mixer's sounds and voices: making them (with resampling to the output rate),
// the play state and the voice settings.
#include "platform/mixer.h"

#include <algorithm>
#include <new>

namespace {

void refresh_gains(qorl_sound* voice)
{
    qorl_gains(voice->volume, voice->pan, &voice->left.gain, &voice->right.gain);
}

void init_node(qorl_mix_node* node, qorl_sound* owner)
{
    node->owner = owner;
    node->next = node->previous = nullptr;
    node->last_gain = 0;
}

bool is_linked(const qorl_sound* voice)
{
    return voice->flags & qorl_sound_linked;
}

// Gains decide the list a voice sits in, so a change moves it.
void change_gains(qorl_sound* voice)
{
    bool linked = is_linked(voice);
    if (linked)
        qorl_voice_unlink(voice);
    refresh_gains(voice);
    if (linked)
        qorl_voice_link(voice);
}

// The source resampled to `n` bytes by nearest-lower pick, stepping length / n per
// byte with the remainder carried.
qorl_sound_data* resampled(const uint8_t* source, int64_t length, int64_t n)
{
    qorl_sound_data* d = qorl_sound_data_new(static_cast<int32_t>(n), nullptr);
    if (!d || !source)
        return d;
    const int64_t whole = length / n;
    const int64_t remainder = length % n;
    int64_t position = 0;
    int64_t carry = 0;
    for (int64_t i = 0; i < n; ++i) {
        d->bytes[i] = source[position];
        position += whole;
        carry += remainder;
        if (carry >= n) {
            carry -= n;
            ++position;
        }
    }
    return d;
}

}  // namespace

qorl_sound* qorl_mixer_sound_new(qorl_mixer* mixer, int32_t length, const void* data, int32_t source_rate)
{
    if (!mixer || length <= 0 || source_rate < 0)
        return nullptr;
    qorl_sound_data* d = nullptr;
    if (source_rate == 0) {
        d = qorl_sound_data_new(length, data);
    } else {
        // 64 bits: a long clip times the output rate passes 2^31.
        int64_t n = static_cast<int64_t>(length) * mixer->output_rate / source_rate;
        if (n <= 0 || n > INT32_MAX)
            return nullptr;
        d = resampled(static_cast<const uint8_t*>(data), length, n);
    }
    if (!d)
        return nullptr;

    auto* s = new (std::nothrow) qorl_sound{};
    if (!s) {
        qorl_sound_data_unref(d);
        return nullptr;
    }
    init_node(&s->left, s);
    init_node(&s->right, s);
    s->base_rate = s->rate = static_cast<uint32_t>(mixer->output_rate);
    s->volume = 32767;
    s->flags = mixer->stereo ? qorl_sound_stereo : 0;
    s->pan = mixer->stereo ? 0 : -32768;
    s->data = d;
    refresh_gains(s);
    return s;
}

qorl_sound* qorl_mixer_voice_new(qorl_sound* sound)
{
    auto* v = new (std::nothrow) qorl_sound(*sound);
    if (!v)
        return nullptr;
    init_node(&v->left, v);
    init_node(&v->right, v);
    v->flags &= static_cast<uint8_t>(~(qorl_sound_linked | qorl_sound_restart | qorl_sound_ended | qorl_sound_ran_out));
    qorl_sound_data_ref(v->data);
    return v;
}

void qorl_mixer_free(qorl_sound* voice)
{
    if (is_linked(voice))
        qorl_voice_unlink(voice);
    qorl_sound_data_unref(voice->data);
    delete voice;
}

int qorl_mixer_play(qorl_sound* voice)
{
    voice->flags &= static_cast<uint8_t>(~qorl_sound_ended);
    voice->flags |= qorl_sound_restart;
    if (!is_linked(voice)) {
        voice->flags |= qorl_sound_linked;
        qorl_voice_link(voice);
    }
    return 1;
}

int qorl_mixer_stop(qorl_sound* voice)
{
    voice->flags |= qorl_sound_ended;
    return 1;
}

int qorl_mixer_set_rate(qorl_sound* voice, int32_t rate)
{
    // Above the ceiling a tiny looping sound would cost the mixing thread dearly
    // for nothing audible; a negative rate is taken as a halt.
    uint32_t ceiling = voice->base_rate * qorl_rate_ceiling;
    voice->rate = rate < 0 ? 0 : std::min(static_cast<uint32_t>(rate), ceiling);
    return 1;
}

int qorl_mixer_set_volume(qorl_sound* voice, int32_t volume)
{
    voice->volume = std::clamp(volume, 0, 32767);
    change_gains(voice);
    return 1;
}

int qorl_mixer_set_pan(qorl_sound* voice, int32_t pan)
{
    pan = std::min(pan, 32767);
    if (!(voice->flags & qorl_sound_stereo) || pan < -32768)
        pan = -32768;
    voice->pan = pan;
    change_gains(voice);
    return 1;
}

int qorl_mixer_set_loop(qorl_sound* voice, int flag)
{
    if (flag)
        voice->flags |= qorl_sound_loop;
    else
        voice->flags &= static_cast<uint8_t>(~qorl_sound_loop);
    return 1;
}

int32_t qorl_mixer_position(qorl_sound* voice)
{
    if (is_linked(voice) && !(voice->flags & qorl_sound_restart))
        return static_cast<int32_t>(voice->left.position);
    return 0;
}

int qorl_mixer_stream_write(qorl_sound* voice, int32_t length, const void* data, int32_t offset)
{
    qorl_ring_span span;
    if (!qorl_ring_span_of(voice->data->length, length, data, offset, &span))
        return 0;
    qorl_ring_copy(voice->data->bytes, voice->data->length, span);
    return 1;
}
