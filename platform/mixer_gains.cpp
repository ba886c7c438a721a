// Gain arithmetic, the per-gain sample tables and the 32 + 32 gain lists.
#include "platform/mixer.h"

namespace {

// Entry for byte u at gain g: s = u - 128 scaled by g/32 towards zero, one step
// of magnitude short, so that full scale never overshoots.
constexpr qorl_gain_table_set build_gain_tables()
{
    qorl_gain_table_set tables{};
    for (int g = 1; g <= 31; ++g) {
        for (int u = 0; u < 256; ++u) {
            int s = u - 128;
            int value = 0;
            if (s == -128)
                value = -(127 * g / 32);
            else if (s > 0)
                value = (s - 1) * g / 32;
            else if (s < 0)
                value = -((-s - 1) * g / 32);
            tables[g - 1][u] = static_cast<int8_t>(value);
        }
    }
    return tables;
}

// Process-wide: one mixer driver is open at a time and its voices are freed before
// it closes.
qorl_mix_node* gain_lists[2][qorl_gain_levels] = {};

void link_node(qorl_mix_node* node, int channel)
{
    qorl_mix_node*& head = gain_lists[channel][node->gain];
    node->previous = nullptr;
    node->next = head;
    if (head)
        head->previous = node;
    head = node;
}

void unlink_node(qorl_mix_node* node, int channel)
{
    if (node->previous)
        node->previous->next = node->next;
    else if (gain_lists[channel][node->gain] == node)
        gain_lists[channel][node->gain] = node->next;
    if (node->next)
        node->next->previous = node->previous;
    node->next = node->previous = nullptr;
}

}  // namespace

constinit const qorl_gain_table_set qorl_gain_tables = build_gain_tables();

void qorl_gains(int32_t volume, int32_t pan, uint8_t* left, uint8_t* right)
{
    // Unsigned 32-bit throughout: (65535 * 32767) still fits.
    uint32_t v = static_cast<uint32_t>(volume);
    *left = static_cast<uint8_t>(((32767u - static_cast<uint32_t>(pan)) * v) >> 26);
    *right = static_cast<uint8_t>((v * static_cast<uint32_t>(pan + 32768)) >> 26);
}

qorl_mix_node* qorl_gain_list(int channel, int level)
{
    return gain_lists[channel][level];
}

void qorl_voice_link(qorl_sound* voice)
{
    link_node(&voice->left, 0);
    if (voice->flags & qorl_sound_stereo)
        link_node(&voice->right, 1);
}

void qorl_voice_unlink(qorl_sound* voice)
{
    unlink_node(&voice->left, 0);
    if (voice->flags & qorl_sound_stereo)
        unlink_node(&voice->right, 1);
}
