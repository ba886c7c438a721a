#include "editor/decal_tool.h"

#include "editor/editor_commands.h"
#include "editor/editor_state.h"
#include "editor/editor_widgets.h"
#include "editor/height_brushes.h"
#include "foundation/growable_array.h"
#include "terrain/decals.h"
#include "terrain/terrain_queries.h"
#include "terrain/terrain_state.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace {

constexpr float kPi = std::numbers::pi_v<float>;

uint32_t random_state = 1;

terrain_state* ground()
{
    return editor_state.terrain;
}

int32_t decal_total()
{
    return editor_state.initialised && ground()->decals.items ? ground()->decals.count : 0;
}

decal* decal_record(int32_t i)
{
    return terrain_decal(ground(), i);
}

int32_t* group()
{
    return static_cast<int32_t*>(editor_state.decal_selection.items);
}

int32_t& group_count()
{
    return editor_state.decal_selection.count;
}

void group_remove_at(int32_t j)
{
    memmove(group() + j, group() + j + 1, size_t(group_count() - j - 1) * sizeof(int32_t));
    --group_count();
}

// Drops group entries that name no decal; 1 when the primary names one.
bool primary_valid()
{
    const int32_t n = decal_total();
    for (int32_t j = group_count() - 1; j >= 0; --j)
        if (group()[j] < 0 || group()[j] >= n)
            group_remove_at(j);
    return editor_state.selected_decal >= 0 && editor_state.selected_decal < n;
}

float spacing()
{
    return float(editor_widgets.decal_spacing.value);
}

bool hide_different()
{
    return editor_widgets.hide_different.selected == 1;
}

float random_angle()
{
    return float(decal_random()) * (2.0f * kPi / 32768.0f) - kPi;
}

void set_angle(decal* d, float angle)
{
    d->angle = angle;
    d->sine = std::sin(angle);
    d->cosine = std::cos(angle);
}

// The point half a spacing behind the decal, against its facing.
void back_point(const decal& d, float* x, float* z)
{
    const float half = d.size * spacing() * 0.5f;
    *x = d.x - std::sin(d.angle) * half;
    *z = d.z - std::cos(d.angle) * half;
}

bool near_centre(const decal& d, float px, float pz, float radius)
{
    return std::hypot(d.x - px, d.z - pz) < radius;
}

bool near_handle(const decal& d, float px, float pz, float radius)
{
    const float h = handle_distance();
    return std::hypot(d.x - h * std::sin(d.angle) - px, d.z - h * std::cos(d.angle) - pz) < radius;
}

// Primary and group indices at first or above move by delta, and so do the buckets.
void shift_indices(int32_t first, int32_t delta)
{
    for (int32_t j = 0; j < group_count(); ++j)
        if (group()[j] >= first)
            group()[j] += delta;
    if (editor_state.selected_decal >= first)
        editor_state.selected_decal += delta;
    decal_buckets_renumber(ground(), first, delta);
}

// Inserts a copy at k, every index held by the tool following; 0 when the array is full.
bool insert_decal(const decal& d, int32_t k)
{
    shift_indices(k, 1);
    if (decal_insert(ground(), &d, k))
        return true;
    shift_indices(k + 1, -1);
    return false;
}

int32_t group_find(int32_t index)
{
    for (int32_t j = 0; j < group_count(); ++j)
        if (group()[j] == index)
            return j;
    return -1;
}

}  // namespace

void decal_random_seed(uint32_t seed)
{
    random_state = seed;
}

int32_t decal_random()
{
    random_state = random_state * 1103515245u + 12345u;
    return int32_t((random_state >> 16) & 32767u);
}

int32_t decal_insert_index(int32_t index)
{
    const int32_t n = decal_total();
    const decal* d = decal_record(index);
    if (!d)
        return n;
    const uint32_t t = d->texture;
    switch (editor_widgets.level.selected) {
    case 0: return n;   // "Top"
    case 1: {           // "Under Current"
        int32_t i = index;
        while (i > 0 && decal_record(i - 1)->texture == t)
            --i;
        return i;
    }
    case 2: {           // "Over Current"
        int32_t i = index + 1;
        while (i < n && decal_record(i)->texture == t)
            ++i;
        return i;
    }
    default: return 0;  // "Bottom"
    }
}

void decal_stamp(int step)
{
    if (!primary_valid())
        return;
    const decal old = *decal_record(editor_state.selected_decal);
    float px, pz;
    screen_to_world(&px, &pz);
    const float spaced = old.size * spacing();
    float qx = px, qz = pz;
    if (step) {
        const float dx = px - old.x, dz = pz - old.z, length = std::hypot(dx, dz);
        if (!(length > 0.0f) || !std::isfinite(length))
            return;   // the pointer on the primary gives no direction
        qx = old.x + dx / length * spaced;
        qz = old.z + dz / length * spaced;
    }
    decal fresh = old;
    float angle = old.angle;
    switch (editor_widgets.orientation.selected) {
    case 0: break;   // "Copy"
    case 1: angle = random_angle(); break;
    case 2: angle = std::atan2(old.x - qx, old.z - qz); break;
    case 3: {        // "Flow2": half a spacing off the primary's back point
        float bx, bz;
        back_point(old, &bx, &bz);
        angle = std::atan2(bx - qx, bz - qz);
        const float half = spaced * 0.5f;
        if (step) {
            qx = bx - std::sin(angle) * half;
            qz = bz - std::cos(angle) * half;
        } else {
            qx += std::sin(angle) * half;
            qz += std::cos(angle) * half;
        }
        break;
    }
    default: {       // "Uphill"
        float n[3];
        terrain_normal_at(ground(), qx, qz, n);
        const float length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        const float nx = length > 0.0f ? n[0] / length : 0.0f, nz = length > 0.0f ? n[2] / length : 0.0f;
        angle = nx * nx + nz * nz < 1.0f / 1024.0f ? random_angle() : std::atan2(nx, nz);
        break;
    }
    }
    fresh.x = qx;
    fresh.z = qz;
    set_angle(&fresh, angle);

    const int32_t k = decal_insert_index(editor_state.selected_decal);
    if (!insert_decal(fresh, k))
        return;
    editor_state.selected_decal = k;
    for (int32_t j = 0; j < group_count();) {
        const int32_t e = group()[j];
        const decal member = *decal_record(e);
        const int32_t at = decal_insert_index(e);
        if (insert_decal(member, at)) {
            group()[j++] = at;
        } else {
            group_remove_at(j);   // no room: the member stays behind, out of the group
        }
    }
    decal_group_transform(old, fresh, 1.0f);
}

void decal_group_transform(const decal& old_primary, const decal& new_primary, float scale)
{
    if (!editor_state.initialised)
        return;
    ground()->change_flags = 7;
    primary_valid();
    const float da = new_primary.angle - old_primary.angle;
    const float c = std::cos(da), s = std::sin(da);
    for (int32_t j = 0; j < group_count(); ++j) {
        decal d = *decal_record(group()[j]);
        const float dx = d.x - old_primary.x, dz = d.z - old_primary.z;
        d.x = new_primary.x + scale * (c * dx + s * dz);
        d.z = new_primary.z + scale * (-s * dx + c * dz);
        const float angle = d.angle + da;
        set_angle(&d, angle < -kPi || angle > kPi ? editor_wrap_angle(angle) : angle);
        decal_set(ground(), &d, group()[j]);
    }
}

void decal_group_scale(float factor)
{
    if (!editor_state.initialised)
        return;
    ground()->change_flags = 7;
    if (!primary_valid())
        return;
    const decal primary = *decal_record(editor_state.selected_decal);
    decal_group_transform(primary, primary, factor);
}

void decal_select_near(float radius, int toggle)
{
    if (!primary_valid())
        return;
    const int32_t p = editor_state.selected_decal;
    const uint32_t texture = decal_record(p)->texture;
    float px, pz;
    screen_to_world(&px, &pz);
    radius = std::max(pick_radius(), radius);
    for (int32_t i = 0; i < decal_total(); ++i) {
        const decal& d = *decal_record(i);
        if (i == p || (hide_different() && d.texture != texture))
            continue;
        if (!near_centre(d, px, pz, radius) && !near_handle(d, px, pz, radius))
            continue;
        const int32_t j = group_find(i);
        if (j >= 0) {
            if (toggle)
                group_remove_at(j);
        } else {
            array_push(&editor_state.decal_selection, &i);
        }
    }
}

void decal_erase(float radius)
{
    if (!editor_state.initialised)
        return;
    ground()->change_flags = 7;
    const bool had_primary = primary_valid();
    if (!had_primary)
        editor_state.selected_decal = -1;
    const uint32_t texture = had_primary ? decal_record(editor_state.selected_decal)->texture : 0;
    if (hide_different() && !had_primary) {
        group_count() = 0;
        return;
    }
    float px, pz;
    screen_to_world(&px, &pz);
    radius = std::max(pick_radius(), radius);
    for (int32_t i = 0; i < decal_total();) {
        const decal& d = *decal_record(i);
        if ((hide_different() && d.texture != texture) || !near_centre(d, px, pz, radius)) {
            ++i;
            continue;
        }
        const int32_t j = group_find(i);
        if (j >= 0)
            group_remove_at(j);
        if (!decal_delete(ground(), i))
            return;
        if (editor_state.selected_decal == i)
            editor_state.selected_decal = -1;
        shift_indices(i, -1);   // the decal now at i is examined next
    }
    if (editor_state.selected_decal >= 0)
        return;
    group_count() = 0;
    for (int32_t i = decal_total() - 1; had_primary && i >= 0; --i)
        if (decal_record(i)->texture == texture) {
            editor_state.selected_decal = i;
            return;
        }
}

void decal_press()
{
    float px, pz;
    screen_to_world(&px, &pz);
    const float r = pick_radius();
    const bool primary = primary_valid();
    const bool only_same = hide_different() && primary;
    const uint32_t texture = primary ? decal_record(editor_state.selected_decal)->texture : 0;
    for (int part = 1; part <= 2; ++part)
        for (int32_t i = 0; i < decal_total(); ++i) {
            const decal& d = *decal_record(i);
            if (only_same && d.texture != texture)
                continue;
            if (part == 1 ? near_centre(d, px, pz, r) : near_handle(d, px, pz, r)) {
                if (i != editor_state.selected_decal)
                    group_count() = 0;
                editor_state.selected_decal = i;
                editor_state.drag_part = part;
                return;
            }
        }
    editor_state.drag_part = 0;
    decal_stamp(0);
}

void decal_drag()
{
    if (!primary_valid())
        return;
    const int32_t p = editor_state.selected_decal;
    const decal old = *decal_record(p);
    float px, pz;
    screen_to_world(&px, &pz);
    if (editor_state.drag_part == 1) {
        if (std::fabs(px - old.x) < 0.001f && std::fabs(pz - old.z) < 0.001f)
            return;
        decal moved = old;
        moved.x = px;
        moved.z = pz;
        decal_set(ground(), &moved, p);
        decal_group_transform(old, moved, 1.0f);
    } else if (editor_state.drag_part == 2) {
        const float a = std::atan2(old.x - px, old.z - pz);
        if (!(std::fabs(a - old.angle) >= 0.001f))
            return;
        decal turned = old;
        set_angle(&turned, a);
        decal_set(ground(), &turned, p);
        decal_group_transform(old, turned, 1.0f);
    } else {
        float distance = std::hypot(px - old.x, pz - old.z);
        if (editor_widgets.orientation.selected == 3) {
            float bx, bz;
            back_point(old, &bx, &bz);
            distance = std::min(distance, std::hypot(px - bx, pz - bz));
        }
        if (distance > old.size * spacing())
            decal_stamp(0);
    }
}

int decal_key(int32_t code)
{
    switch (code) {
    case 'd': decal_stamp(1); break;
    case 'x':
    case 127: decal_erase(0.0f); break;
    case 'X': decal_erase(editor_brush_radius()); break;
    case 'M': decal_select_near(editor_brush_radius(), 0); break;
    case 'm': decal_select_near(0.0f, 1); break;
    case '{': decal_group_scale(0.9375f); break;
    case '}': decal_group_scale(1.0666667f); break;
    default: return 0;
    }
    return 1;
}
