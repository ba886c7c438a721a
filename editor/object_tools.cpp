#include "editor/object_tools.h"

#include "editor/editor_commands.h"
#include "editor/editor_state.h"
#include "editor/editor_widgets.h"
#include "race/statue_grid.h"
#include "terrain/billboards.h"
#include "terrain/statues.h"
#include "terrain/terrain_state.h"
#include "terrain/timing_gates.h"

#include <cmath>
#include <cstring>

namespace {

void changed()
{
    editor_state.terrain->change_flags = 7;
}

bool locked()
{
    return editor_state.terrain->edit_lock != 0;
}

float pointer_world(float* z)
{
    float x;
    screen_to_world(&x, z);
    return x;
}

bool valid_gate(int g)
{
    return g >= 0 && g < timing_gates.checkpoint_count;
}

bool valid_statue(int s)
{
    return s >= 0 && s < statue_count();
}

bool valid_billboard(int b)
{
    return b >= 0 && b < billboard_count();
}

// The selected billboard when it can be copied: one with a texture name.
const billboard* copy_source()
{
    const int b = editor_state.selected_billboard;
    return valid_billboard(b) && billboard_at(b)->name ? billboard_at(b) : nullptr;
}

// The first billboard within radius of (x, z), searching once round the table from
// just after the selection; -1 for none.
int billboard_near(float x, float z, float radius)
{
    const int n = billboard_count();
    int selected = editor_state.selected_billboard;
    if (selected >= n)
        selected = n - 1;
    const int start = selected < 0 ? 1 : selected + 1;
    for (int k = 0; k < n; ++k) {
        const int i = (start + k) % n;
        const billboard* b = billboard_at(i);
        if (std::hypot(b->x - x, b->z - z) < radius)
            return i;
    }
    return -1;
}

}  // namespace

void gate_press()
{
    float pz;
    const float px = pointer_world(&pz);
    const float r = pick_radius();
    editor_state.drag_part = 0;
    for (int g = 0; g < timing_gates.checkpoint_count; ++g) {
        const timing_gate& c = timing_gates.checkpoints[g];
        const float length = std::sqrt(c.dx * c.dx + c.dy * c.dy + c.dz * c.dz);
        int part = 0;
        if (std::hypot(c.x - px, c.z - pz) < r)
            part = 1;
        else if (length > 0.0f &&
                 std::hypot(c.x + c.dx / length * c.length - px, c.z + c.dz / length * c.length - pz) < r)
            part = 2;
        if (part) {
            editor_state.selected_gate = g;
            editor_state.drag_part = part;
            return;
        }
    }
    for (int g = 0; g < timing_gates.checkpoint_count; ++g) {
        const timing_gate& c = timing_gates.checkpoints[g];
        if (std::hypot(c.x - px, c.z - pz) < c.length && (c.x - px) * c.dx + (c.z - pz) * c.dz < 0.0f) {
            editor_state.selected_gate = g;
            return;
        }
    }
    editor_state.selected_gate = -1;
}

void gate_drag()
{
    const int g = editor_state.selected_gate;
    if (locked() || !valid_gate(g) || editor_state.drag_part == 0)
        return;
    timing_gate& c = timing_gates.checkpoints[g];
    float pz;
    const float px = pointer_world(&pz);
    if (editor_state.drag_part == 1) {
        c.x = px;
        c.y = 0.0f;
        c.z = pz;
    } else {
        const float dx = px - c.x, dz = pz - c.z, length = std::hypot(dx, dz);
        if (!(length > 0.0f) || !std::isfinite(length))
            return;   // the handle on the centre: no direction to take
        c.dx = dx;
        c.dy = 0.0f;
        c.dz = dz;
        c.length = length;
    }
    changed();
}

void billboard_copy_at(float x, float z)
{
    const billboard* selected = copy_source();
    if (!editor_state.initialised || !selected)
        return;
    const billboard source = *selected;   // the table may move as it grows
    changed();
    const int copy =
        create_billboard(x, source.height_above_ground, z, source.size, source.aspect, source.name);
    if (copy < 0)
        return;
    editor_state.copied_billboard = copy;
    memcpy(billboard_at(copy)->colour, source.colour, sizeof source.colour);
}

void billboard_press()
{
    if (billboard_count() <= 0)
        return;
    float pz;
    const float px = pointer_world(&pz);
    const int near = billboard_near(px, pz, pick_radius());
    if (near >= 0) {
        editor_state.selected_billboard = near;
        editor_state.copied_billboard = -1;
        editor_widgets.height.value = billboard_at(near)->height_above_ground;
        return;
    }
    billboard_copy_at(px, pz);
}

void billboard_drag()
{
    const int copied = editor_state.copied_billboard;
    if (!copy_source() || !valid_billboard(copied))
        return;
    const billboard* last = billboard_at(copied);
    const float spacing = last->size * last->aspect * float(editor_widgets.spacing.value);
    if (!(spacing > 0.0f))
        return;   // a trail without spacing would copy every tick
    float pz;
    const float px = pointer_world(&pz);
    if (std::hypot(last->x - px, last->z - pz) >= spacing && billboard_near(px, pz, spacing) < 0)
        billboard_copy_at(px, pz);
}

void statue_press()
{
    float pz;
    const float px = pointer_world(&pz);
    const float r = pick_radius(), h = handle_distance();
    editor_state.drag_part = 0;
    for (int part = 1; part <= 2; ++part)
        for (int i = 0; i < statue_count(); ++i) {
            const statue* s = statue_at(i);
            const float x = part == 1 ? s->x : s->x - h * std::sin(s->angle);
            const float z = part == 1 ? s->z : s->z - h * std::cos(s->angle);
            if (std::hypot(x - px, z - pz) < r) {
                editor_state.selected_statue = i;
                editor_state.drag_part = part;
                return;
            }
        }
    editor_state.selected_statue = -1;
}

void statue_drag()
{
    const int i = editor_state.selected_statue;
    if (locked() || !valid_statue(i))
        return;
    statue* s = statue_at(i);
    float pz;
    const float px = pointer_world(&pz);
    if (editor_state.drag_part == 1) {
        s->x = px;
        s->z = pz;
        place_statue(s);
        changed();
        statue_grid_build();
    } else if (editor_state.drag_part == 2 && s->angle < kStatueScaledAngle) {
        s->angle = statue_turned_angle(s->angle, std::atan2(s->x - px, s->z - pz));
        place_statue(s);
        changed();
    }
}
