// Mixing one block: every linked node, loudest level first, into the accumulators,
// then the accumulators into unsigned bytes.
#include "platform/mixer.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint32_t fraction_bits = 31;
constexpr uint32_t fraction_mask = (1u << fraction_bits) - 1;

// A voice's advance per output sample as whole bytes and a 31-bit fraction.
struct voice_step {
    uint32_t whole;
    uint32_t fraction;
    uint64_t total() const { return (static_cast<uint64_t>(whole) << fraction_bits) | fraction; }
};

voice_step step_of(const qorl_sound* voice)
{
    uint32_t base = voice->base_rate;
    return {voice->rate / base, ((voice->rate % base) * ((1u << fraction_bits) / base)) & fraction_mask};
}

void advance(qorl_mix_node* node, const voice_step& step)
{
    node->fraction += step.fraction;
    node->position += step.whole + (node->fraction >> fraction_bits);
    node->fraction &= fraction_mask;
}

const int8_t* table_of(uint8_t gain)
{
    return qorl_gain_tables[gain - 1].data();
}

// A one-shot at its end. Each channel runs out on its own: the other channel plays
// its own samples up to the same point, and the voice is retired after the block.
void run_out(qorl_sound* voice, qorl_mix_node* node)
{
    voice->flags |= qorl_sound_ran_out;
    node->position = 0;
    node->fraction = 0;
}

// Plays on at the old gain up to the first sample on the other side of the
// midpoint, so the gain change lands where the waveform is near silence.
int32_t mix_transition(qorl_mix_node* node, int32_t* accumulator, int32_t samples, uint8_t gain, bool* over)
{
    qorl_sound* voice = node->owner;
    if (voice->rate == 0)
        return 0;
    const uint8_t* bytes = voice->data->bytes;
    const uint32_t length = static_cast<uint32_t>(voice->data->length);
    const int8_t* table = table_of(gain);
    const voice_step step = step_of(voice);
    const uint8_t first_half = bytes[node->position] & 0x80;
    int32_t n = 0;
    while (n < samples) {
        uint8_t b = bytes[node->position];
        if ((b & 0x80) != first_half)
            break;
        accumulator[n++] += table[b];
        advance(node, step);
        if (node->position >= length) {
            // A voice about to restart is not over, however its old run ends.
            if (!(voice->flags & (qorl_sound_loop | qorl_sound_restart))) {
                run_out(voice, node);
                *over = true;
            }
            node->position = 0;
            node->fraction = 0;
            break;
        }
    }
    return n;
}

// Samples from the current position whose reads all stay inside the data: at least
// one, since the position is always inside it.
uint64_t run_length(uint32_t remaining, uint32_t fraction, const voice_step& step)
{
    return ((static_cast<uint64_t>(remaining) << fraction_bits) - 1 - fraction) / step.total() + 1;
}

void mix_audible(qorl_mix_node* node, int32_t* out, int32_t samples, uint8_t gain)
{
    qorl_sound* voice = node->owner;
    const uint8_t* bytes = voice->data->bytes;
    const uint32_t length = static_cast<uint32_t>(voice->data->length);
    const int8_t* table = table_of(gain);
    const voice_step step = step_of(voice);
    while (samples > 0) {
        uint64_t run = std::min<uint64_t>(samples, run_length(length - node->position, node->fraction, step));
        for (uint64_t i = 0; i < run; ++i) {
            *out++ += table[bytes[node->position]];
            advance(node, step);
        }
        samples -= static_cast<int32_t>(run);
        if (node->position >= length) {
            if (!(voice->flags & qorl_sound_loop)) {
                run_out(voice, node);
                return;
            }
            node->position %= length;
        }
    }
}

void mix_silent(qorl_mix_node* node, int32_t samples)
{
    qorl_sound* voice = node->owner;
    const uint64_t length = static_cast<uint64_t>(voice->data->length);
    uint64_t position = node->position + static_cast<uint64_t>(samples) * voice->rate / voice->base_rate;
    node->fraction = 0;
    if (position < length) {
        node->position = static_cast<uint32_t>(position);
    } else if (voice->flags & qorl_sound_loop) {
        node->position = static_cast<uint32_t>(position % length);
    } else {
        run_out(voice, node);
    }
}

}  // namespace

void qorl_mix_voice(qorl_mix_node* node, int32_t* accumulator, int32_t samples, int audible)
{
    qorl_sound* voice = node->owner;
    const uint8_t gain = (audible && !(voice->flags & qorl_sound_ended)) ? node->gain : 0;
    const uint8_t last = node->last_gain;
    int32_t n = 0;
    bool over = false;
    if (last != 0 && (gain != last || (voice->flags & qorl_sound_restart)))
        n = mix_transition(node, accumulator, samples, last, &over);
    node->last_gain = gain;
    if (voice->flags & qorl_sound_restart) {
        node->position = 0;
        node->fraction = 0;
    }
    if (over || (voice->flags & qorl_sound_ended) || n == samples)
        return;
    // A voice at rate 0 holds its place and is heard as silence.
    if (voice->rate == 0)
        return;
    if (gain == 0)
        mix_silent(node, samples - n);
    else
        mix_audible(node, accumulator + n, samples - n, gain);
}

void qorl_mix_block(qorl_mixer* mixer)
{
    const int32_t samples = mixer->block_length;
    memset(mixer->left, 0, sizeof(int32_t) * static_cast<size_t>(samples));
    if (mixer->stereo)
        memset(mixer->right, 0, sizeof(int32_t) * static_cast<size_t>(samples));

    // The budget goes to the loudest nodes, left and right taking turns per level.
    int32_t budget = mixer->voice_limit;
    for (int level = qorl_gain_levels - 1; level >= 0; --level) {
        qorl_mix_node* l = qorl_gain_list(0, level);
        qorl_mix_node* r = qorl_gain_list(1, level);
        while (l || r) {
            if (l) {
                qorl_mix_node* next = l->next;
                bool audible = budget > 0 && level > 0;
                qorl_mix_voice(l, mixer->left, samples, audible);
                budget -= audible;
                l = next;
            }
            if (r) {
                qorl_mix_node* next = r->next;
                bool audible = budget > 0 && level > 0;
                qorl_mix_voice(r, mixer->right, samples, audible);
                budget -= audible;
                r = next;
            }
        }
    }

    // Keep the channels in step and retire the voices that ended in this block.
    for (int level = 0; level < qorl_gain_levels; ++level) {
        for (qorl_mix_node* node = qorl_gain_list(0, level); node;) {
            qorl_mix_node* next = node->next;
            qorl_sound* voice = node->owner;
            voice->flags &= static_cast<uint8_t>(~qorl_sound_restart);
            voice->right.position = voice->left.position;
            voice->right.fraction = voice->left.fraction;
            if (voice->flags & (qorl_sound_ended | qorl_sound_ran_out)) {
                voice->flags &= static_cast<uint8_t>(~(qorl_sound_ended | qorl_sound_ran_out | qorl_sound_linked));
                qorl_voice_unlink(voice);
            }
            node = next;
        }
    }

    uint8_t* out = mixer->output;
    for (int32_t i = 0; i < samples; ++i) {
        *out++ = static_cast<uint8_t>(std::clamp(mixer->left[i], -128, 127) + 128);
        if (mixer->stereo)
            *out++ = static_cast<uint8_t>(std::clamp(mixer->right[i], -128, 127) + 128);
    }
}
