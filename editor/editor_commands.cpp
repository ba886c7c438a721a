#include "editor/editor_commands.h"

#include "editor/edinfo.h"
#include "editor/editor_state.h"
#include "editor/gradients.h"
#include "foundation/index/leftover_sweep.h"
#include "foundation/intern.h"
#include "race/statue_grid.h"
#include "terrain/billboards.h"
#include "terrain/refused_tail.h"
#include "terrain/save_set.h"
#include "terrain/statues.h"
#include "terrain/terrain_files.h"
#include "terrain/terrain_state.h"
#include "terrain/timing_gates.h"
#include "terrain/track_list.h"

#include <cmath>
#include <cstring>
#include <numbers>
#include <string>

namespace {

bool locked()
{
    return !editor_state.initialised || editor_state.terrain->edit_lock;
}

void changed()
{
    editor_state.terrain->change_flags = 7;
}

// The temporaries and kept old files a killed save left in the folder (up to a few
// hundred MB with the heights and shading), removed before this save makes its own.
void sweep_leftovers(const char* folder)
{
    if (!folder || !*folder)
        return;
    leftover_sweep_folder("@" + std::string(folder));
}

bool valid_statue(int s)
{
    return s >= 0 && s < statue_count();
}

void remove_statue(int index)
{
    free_statue(statue_at(index));
    statue* base = statue_at(0);
    memmove(base + index, base + index + 1, size_t(statue_count() - index - 1) * sizeof(statue));
    statues.count -= 1;
}

// A selection in a table after entry `removed` left it: the removed entry is no longer
// selected, and those after it moved down one place.
int index_after_removal(int selected, int removed)
{
    if (selected == removed)
        return -1;
    return selected > removed ? selected - 1 : selected;
}

}  // namespace

float editor_wrap_angle(float angle)
{
    const float two_pi = 2.0f * std::numbers::pi_v<float>;
    const float u = (angle + std::numbers::pi_v<float>) / two_pi;
    return (u - std::floor(u)) * two_pi - std::numbers::pi_v<float>;
}

float statue_turned_angle(float old_angle, float angle)
{
    const float two_pi = 2.0f * std::numbers::pi_v<float>;
    if (old_angle >= kStatueScaledAngle)
        return old_angle;
    angle = editor_wrap_angle(angle);
    if (old_angle <= -two_pi)
        return angle - 2.0f * two_pi;
    return angle;
}

void statue_copy_to_pointer()
{
    if (locked() || !valid_statue(editor_state.selected_statue))
        return;
    const statue src = *statue_at(editor_state.selected_statue);
    float x, z;
    screen_to_world(&x, &z);
    if (create_statue(x, src.height_above_ground, z, src.angle, src.model_file, src.texture_file,
                      src.shape ? src.shape_file : nullptr) < 0)
        return;
    statue_grid_build();
    changed();
}

void statue_delete_at_pointer()
{
    if (locked())
        return;
    float x, z;
    screen_to_world(&x, &z);
    const float r = pick_radius();
    for (int i = first_track_statue < 0 ? 0 : first_track_statue; i < statue_count(); ++i) {
        const statue* s = statue_at(i);
        if (std::hypot(s->x - x, s->z - z) < r) {
            remove_statue(i);
            editor_state.selected_statue = index_after_removal(editor_state.selected_statue, i);
            statue_grid_build();
            changed();
            return;
        }
    }
}

void statues_interpolate()
{
    if (locked())
        return;
    const int s = editor_state.selected_statue;
    const int count = statue_count();
    if (!valid_statue(s) || s > count - 3)
        return;
    const statue* first = statue_at(s);
    for (int q = s + 1; q < count; ++q) {
        const statue* o = statue_at(q);
        if (o->model_file != first->model_file || o->texture_file != first->texture_file) {
            editor_state.status_text = "Bad match for interpolate!";
            return;
        }
    }
    const statue* last = statue_at(count - 1);
    const float x0 = first->x, z0 = first->z, dx = last->x - x0, dz = last->z - z0;
    for (int q = s + 1; q <= count - 2; ++q) {
        statue* o = statue_at(q);
        const float f = float(q - s) / float(count - s - 1);
        o->x = x0 + dx * f;
        o->z = z0 + dz * f;
        place_statue(o);
    }
    changed();
    statue_grid_build();
}

void statue_snap_to_gradient()
{
    if (locked() || !valid_statue(editor_state.selected_statue))
        return;
    const gradient* g = selected_gradient_record();
    if (!g)
        return;
    statue* s = statue_at(editor_state.selected_statue);
    const float ax = g->end_x - g->start_x, az = g->end_z - g->start_z;
    const float axis2 = ax * ax + az * az;
    const float vx = s->x - g->start_x, vz = s->z - g->start_z;
    const float r = std::hypot(vx, vz);
    if (!(axis2 > 0.0f) || !(r > 0.0f) || !std::isfinite(axis2) || !std::isfinite(r))
        return;   // on the start or a zero-length axis: stays where it is
    const float along = (vx * ax + vz * az) / axis2;
    const float px = ax * along, pz = az * along;
    float l = 0.0f;
    const auto* points = static_cast<const gradient_point*>(g->points.items);
    for (int i = 0; i < g->points.count; ++i)
        if (std::fabs(points[i].distance - r) < std::fabs(l - r))
            l = points[i].distance;
    const float h = l - r;
    float angle, nx, nz;
    if (std::fabs(h) > std::hypot(vx - px, vz - pz)) {
        angle = std::atan2(-px, -pz);
        nx = g->start_x + px;
        nz = g->start_z + pz;
    } else {
        angle = std::atan2(g->start_z - s->z, s->x - g->start_x);
        nx = g->start_x + vx * l / r;
        nz = g->start_z + vz * l / r;
    }
    if (!std::isfinite(angle) || !std::isfinite(nx) || !std::isfinite(nz))
        return;
    s->angle = statue_turned_angle(s->angle, angle);
    s->x = nx;
    s->z = nz;
    place_statue(s);
    statue_grid_build();
    changed();
}

void billboard_delete_at_pointer()
{
    const int count = billboard_count();
    if (!editor_state.initialised || count <= 0)
        return;
    int selected = editor_state.selected_billboard;
    selected = selected < 0 ? 0 : (selected >= count ? count - 1 : selected);
    float x, z;
    screen_to_world(&x, &z);
    const float r = pick_radius();
    for (int k = 1; k <= count; ++k) {
        const int i = (selected + k) % count;
        const billboard* b = billboard_at(i);
        if (std::hypot(b->x - x, b->z - z) < r) {
            if (i >= first_track_billboard) {
                billboard* base = billboard_at(0);
                billboard_release(base + i);
                memmove(base + i, base + i + 1, size_t(count - i - 1) * sizeof(billboard));
                billboards.count -= 1;
                editor_state.selected_billboard = index_after_removal(editor_state.selected_billboard, i);
                editor_state.copied_billboard = index_after_removal(editor_state.copied_billboard, i);
                if (billboard_work.items && billboard_work.count >= 2 * count)
                    billboard_work.count -= 2;
                changed();
            }
            return;
        }
    }
}

void gate_switch_point(int set)
{
    const int g = editor_state.selected_gate;
    if (!editor_state.initialised || g < 0 || g >= timing_gates.checkpoint_count)
        return;
    const int from = set ? g + kFlaggedLapEntry : g;
    const int to = set ? g : g + kFlaggedLapEntry;
    const int entries = timing_gates.firstlap_length + timing_gates.normallap_length;
    for (int i = 0; i < entries; ++i)
        if (timing_gates.lap_entries[i] == from)
            timing_gates.lap_entries[i] = to;
    changed();
}

void editor_save()
{
    if (!editor_state.initialised)
        return;
    sweep_leftovers(track_folder);
    if (!track_folder || strcmp(terrain_folder(), track_folder) != 0)
        sweep_leftovers(terrain_folder());
    save_set_begin();
    bool ok = write_billboards() == 1;
    ok = write_timing_gates() == 1 && ok;
    ok = terrain_save(editor_state.terrain) == 1 && ok;
    ok = write_statues() == 1 && ok;
    ok = track_file_write("edinfo", edinfo_write) == 1 && ok;
    if (!ok)
        save_set_fail();
    if (!save_set_commit()) {
        editor_state.status_text = "Save failed!";
        return;
    }
    // A file whose load left out more than a save writes back stays as it was: its
    // edits are not on disk, and the status says so.
    const char* kept[3];
    int count = 0;
    if (billboards_file_kept())
        kept[count++] = "billboards";
    if (statues_file_kept())
        kept[count++] = "statues";
    if (terrain_decals_kept(editor_state.terrain))
        kept[count++] = "decals";
    if (count == 0) {
        editor_state.terrain->change_flags &= ~2;
        editor_state.status_text = "Saved!";
        return;
    }
    static std::string partly;
    partly = "Saved, but ";
    for (int k = 0; k < count; ++k)
        partly += std::string(k == 0 ? "" : k + 1 == count ? " and " : ", ") + kept[k];
    partly += " kept as they were: what the load left out is over " + std::to_string(kRefusedTailMax >> 20) + " MiB";
    editor_state.status_text = partly.c_str();
}
