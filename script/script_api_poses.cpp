// Natives: posing statues' bones directly and from the script's pose sequences.
#include "script/script_api.h"
#include "script/script_host.h"
#include "script/script_tables.h"

#include "foundation/memory.h"
#include "terrain/statues.h"

#include <cmath>
#include <cstring>

using namespace script_api;

pose_sequence pose_sequences[kMaxPoseSequences];
int32_t pose_sequence_count = 0;
size_t pose_sequence_bytes = 0;

void pose_sequences_free()
{
    for (int32_t i = 0; i < pose_sequence_count; ++i) {
        mem_free(pose_sequences[i].rest);
        mem_free(pose_sequences[i].centres);
        mem_free(pose_sequences[i].rotations);
        pose_sequences[i] = pose_sequence{};
    }
    pose_sequence_count = 0;
    pose_sequence_bytes = 0;
}

namespace {

constexpr int kMaxBones = 32;

// The statue's pose buffers for n bones: reused when it has n, made when it has none.
bool pose_buffers(statue* s, int32_t n)
{
    if (s->bone_count == n)
        return true;
    if (s->bone_count != 0)
        return false;
    auto* centres = static_cast<float*>(mem_alloc(sizeof(float) * 3 * size_t(n)));
    auto* translations = static_cast<float*>(mem_alloc(sizeof(float) * 3 * size_t(n)));
    auto* rotations = static_cast<float*>(mem_alloc(sizeof(float) * 9 * size_t(n)));
    if (!centres || !translations || !rotations) {
        mem_free(centres);
        mem_free(translations);
        mem_free(rotations);
        return false;
    }
    s->bone_centres = centres;
    s->bone_translations = translations;
    s->bone_rotations = rotations;
    s->bone_count = n;
    return true;
}

const pose_sequence* sequence_at(int32_t index)
{
    return index >= 0 && index < pose_sequence_count ? &pose_sequences[index] : nullptr;
}

} // namespace

duk_ret_t script_pose_statue(duk_context* ctx)
{
    const int32_t index = arg_int(ctx, 0);
    const int32_t n = arg_int(ctx, 1);
    float rest[3 * kMaxBones], pose[3 * kMaxBones], rot[9 * kMaxBones];
    script_get_floats(ctx, 2, rest, 3 * kMaxBones);
    script_get_floats(ctx, 3, pose, 3 * kMaxBones);
    script_get_floats(ctx, 4, rot, 9 * kMaxBones);
    statue* s = statue_of(index);
    if (n < 1 || n > kMaxBones || !s || !pose_buffers(s, n))
        return give(ctx, 0);
    std::memcpy(s->bone_centres, rest, sizeof(float) * 3 * size_t(n));
    std::memcpy(s->bone_translations, pose, sizeof(float) * 3 * size_t(n));
    std::memcpy(s->bone_rotations, rot, sizeof(float) * 9 * size_t(n));
    return give(ctx, 1);
}

duk_ret_t script_create_pose_sequence(duk_context* ctx)
{
    const int32_t frames = arg_int(ctx, 0);
    const int32_t bones = arg_int(ctx, 1);
    if (pose_sequence_count >= kMaxPoseSequences || frames < 1 || bones < 1)
        return give(ctx, -1);
    // Sizes are in 64 bits: two script numbers near 2^31 multiply past 32.
    const uint64_t cells = uint64_t(frames) * uint64_t(bones);
    const uint64_t bytes = sizeof(float) * (3 * uint64_t(bones) + 12 * cells);
    if (cells > (uint64_t(1) << 40) || bytes > script_limit.pose_memory ||
        pose_sequence_bytes + bytes > script_limit.pose_memory)
        return give(ctx, -1);
    auto* rest = static_cast<float*>(mem_alloc(sizeof(float) * 3 * size_t(bones)));
    auto* centres = static_cast<float*>(mem_alloc(sizeof(float) * 3 * size_t(cells)));
    auto* rotations = static_cast<float*>(mem_alloc(sizeof(float) * 9 * size_t(cells)));
    if (!rest || !centres || !rotations) {
        mem_free(rest);
        mem_free(centres);
        mem_free(rotations);
        return give(ctx, -1);
    }
    std::memset(rest, 0, sizeof(float) * 3 * size_t(bones));
    std::memset(centres, 0, sizeof(float) * 3 * size_t(cells));
    for (uint64_t c = 0; c < cells; ++c) {
        float* r = rotations + 9 * c;
        std::memset(r, 0, sizeof(float) * 9);
        r[0] = r[4] = r[8] = 1;
    }
    const int32_t index = pose_sequence_count++;
    pose_sequences[index] = pose_sequence{frames, bones, rest, centres, rotations, size_t(bytes)};
    pose_sequence_bytes += size_t(bytes);
    return give(ctx, index);
}

duk_ret_t script_set_pose_sequence_rest(duk_context* ctx)
{
    const int32_t index = arg_int(ctx, 0);
    const int32_t bone = arg_int(ctx, 1);
    float centre[3];
    script_get_floats(ctx, 2, centre, 3);
    const pose_sequence* q = sequence_at(index);
    if (!q || bone < 0 || bone >= q->bones)
        return give(ctx, 0);
    std::memcpy(q->rest + 3 * size_t(bone), centre, sizeof centre);
    return give(ctx, 1);
}

duk_ret_t script_set_pose_sequence_frame(duk_context* ctx)
{
    const int32_t index = arg_int(ctx, 0);
    const int32_t frame = arg_int(ctx, 1);
    const int32_t bone = arg_int(ctx, 2);
    float centre[3], rotation[9];
    script_get_floats(ctx, 3, centre, 3);
    script_get_floats(ctx, 4, rotation, 9);
    const pose_sequence* q = sequence_at(index);
    if (!q || frame < 0 || frame >= q->frames || bone < 0 || bone >= q->bones)
        return give(ctx, 0);
    const size_t cell = size_t(frame) * size_t(q->bones) + size_t(bone);
    std::memcpy(q->centres + 3 * cell, centre, sizeof centre);
    std::memcpy(q->rotations + 9 * cell, rotation, sizeof rotation);
    return give(ctx, 1);
}

duk_ret_t script_pose_statue_from_sequence(duk_context* ctx)
{
    const int32_t index = arg_int(ctx, 0);
    const int32_t sequence = arg_int(ctx, 1);
    double t = arg_number(ctx, 2);
    const pose_sequence* q = sequence_at(sequence);
    statue* s = statue_of(index);
    if (!q || !s || q->bones < 1 || q->bones > kMaxBones || q->frames < 1 || !pose_buffers(s, q->bones))
        return give(ctx, 0);
    if (std::isnan(t))
        t = 0;
    const int32_t last = q->frames - 1;
    int32_t k = 0;
    double u = 0;
    if (t >= last) {
        k = last;
    } else if (t > 0) {
        k = int32_t(std::floor(t));
        u = t - k;
    }
    const size_t bones = size_t(q->bones);
    std::memcpy(s->bone_centres, q->rest, sizeof(float) * 3 * bones);
    const float* c0 = q->centres + 3 * size_t(k) * bones;
    const float* r0 = q->rotations + 9 * size_t(k) * bones;
    if (u != 0) {
        const float* c1 = c0 + 3 * bones;
        const float* r1 = r0 + 9 * bones;
        const float f = float(u);
        for (size_t i = 0; i < 3 * bones; ++i)
            s->bone_translations[i] = c0[i] + (c1[i] - c0[i]) * f;
        for (size_t i = 0; i < 9 * bones; ++i)
            s->bone_rotations[i] = r0[i] + (r1[i] - r0[i]) * f;
    } else {
        std::memcpy(s->bone_translations, c0, sizeof(float) * 3 * bones);
        std::memcpy(s->bone_rotations, r0, sizeof(float) * 9 * bones);
    }
    return give(ctx, 1);
}
