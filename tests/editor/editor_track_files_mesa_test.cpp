// The sample track edited, saved, reloaded and exported in editor mode: a statue copied,
// a billboard removed, a gradient added, everything read back from the user folder; a
// start list of 160 slots kept through a save; the scene file against the real models.
#include "editor_mesa.h"

#include "editor/editor_keys.h"
#include "editor/gradients.h"
#include "editor/pov_export.h"
#include "gfx/model.h"
#include "script/script_seams.h"
#include "gfx/texture_cache.h"
#include "race/program/controls.h"
#include "terrain/billboards.h"
#include "terrain/statues.h"
#include "terrain/terrain_state.h"
#include "terrain/timing_gates.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

using edmesa::kH;
using edmesa::kW;

namespace {

struct gradient_copy {
    float ends[4];
    std::vector<gradient_point> points;
    std::vector<uint8_t> kinds;
};

std::vector<gradient_copy> gradients_now()
{
    std::vector<gradient_copy> all;
    for (int i = 0; i < gradient_count(); ++i) {
        const gradient* g = gradient_at(i);
        gradient_copy c{{g->start_x, g->start_z, g->end_x, g->end_z}, {}, {}};
        const auto* p = static_cast<const gradient_point*>(g->points.items);
        const auto* k = static_cast<const uint8_t*>(g->kinds.items);
        c.points.assign(p, p + g->points.count);
        c.kinds.assign(k, k + g->kinds.count);
        all.push_back(c);
    }
    return all;
}

bool same_gradients(const std::vector<gradient_copy>& a, const std::vector<gradient_copy>& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        for (int k = 0; k < 4; ++k)
            if (std::fabs(a[i].ends[k] - b[i].ends[k]) > 1e-4f)
                return false;
        if (a[i].points.size() != b[i].points.size() || a[i].kinds != b[i].kinds)
            return false;
        for (size_t j = 0; j < a[i].points.size(); ++j)
            if (std::fabs(a[i].points[j].distance - b[i].points[j].distance) > 1e-4f ||
                std::fabs(a[i].points[j].height - b[i].points[j].height) > 1e-4f)
                return false;
    }
    return true;
}

void press(int32_t code)
{
    editor_key(code, 1);
    editor_key(code, 0);
}

void reload(const char* folder)
{
    race.force_reload = 1;
    race_requested_folder = folder;
    int32_t lineup[160] = {2};
    reset_race(lineup, 0, 0, 0, 3, 0);
}

}  // namespace

TEST(EditorTrackFiles, SampleSavedAndReloadedFromTheUserFolder)
{
    edmesa::on_track("tracks/sample", [](const bvtest::TempDir& root) {
        bvtest::Problems p;
        p.check(editor_state.selected_gradient == gradient_count() - 1 && gradient_count() == 2,
                "the sample's edinfo read, its last gradient selected");
        editor_widgets.zoom.value = 0;
        edmesa::frame("sample_before_save");

        // A statue copied to open ground, a billboard of the track removed, a gradient added.
        editor_state.tool = 13;
        editor_state.selected_statue = first_track_statue;
        edmesa::point_at_world(500, 300);
        const int32_t statues = statue_count(), billboards = billboard_count();
        press('d');
        editor_state.tool = 12;
        int32_t far = first_track_billboard + 1;
        while (far + 1 < billboard_count() && billboard_at(far)->x < 400)
            ++far;
        const billboard gone = *billboard_at(far);
        editor_state.selected_billboard = first_track_billboard;
        edmesa::point_at_world(gone.x, gone.z);
        press('x');
        p.check(statue_count() == statues + 1 && billboard_count() == billboards - 1, "copied and removed");
        gradient_new();
        const auto gradients = gradients_now();
        const std::vector<float> heights(track_terrain.heights,
                                         track_terrain.heights + track_terrain.size * track_terrain.size);
        p.check((track_terrain.change_flags & 2) != 0, "the edits mark the track changed");
        edmesa::point_at_world(600, 600);
        press('s');
        p.same(editor_state.status_text, "Saved!", "the save");
        p.check((track_terrain.change_flags & 2) == 0, "a saved track no longer warns at exit");
        const std::string folder = root / "user/Brovanta/tracks/sample/";
        for (const char* name : {"billboards", "timing_gates", "terrain.png", "statues", "edinfo"})
            p.check(bvtest::read_file(folder + name).size() > 0, std::string("written: ") + name);

        reload("tracks/sample");
        p.check(editor_state.initialised && editor_state.undo_levels == 1, "the reload starts the editor afresh");
        p.check(statue_count() == statues + 1, "the copied statue is back");
        p.check(billboard_count() == billboards - 1, "the removed billboard stays removed");
        bool none_left = true;
        for (int32_t i = 0; i < billboard_count(); ++i)
            none_left = none_left && !(billboard_at(i)->x == gone.x && billboard_at(i)->z == gone.z);
        p.check(none_left, "no billboard where the removed one stood");
        p.check(same_gradients(gradients, gradients_now()), "the gradients read back");
        const float step = (track_terrain.max_height - track_terrain.min_height) / 65535.0f;
        bool close = heights.size() == size_t(track_terrain.size * track_terrain.size);
        for (size_t i = 0; close && i < heights.size(); ++i)
            close = std::fabs(heights[i] - track_terrain.heights[i]) <= step;
        p.check(close, "the heights read back within one height step");

        // 160 start slots, the checkpoints and the lap lists through a save.
        const int32_t slots = timing_gates.start_slot_count;
        p.check(slots > 0, "the sample has start slots");
        for (int32_t i = slots; i < kMaxStartSlots; ++i) {
            const int32_t from = i % std::max(slots, 1);
            for (int k = 0; k < 3; ++k)
                timing_gates.start_slot_position[i][k] = timing_gates.start_slot_position[from][k];
            timing_gates.start_slot_position[i][0] += float(i / slots) * 3.0f;
            timing_gates.start_slot_yaw[i] = timing_gates.start_slot_yaw[from];
            timing_gates.start_slot_statue[i] = -1;
        }
        timing_gates.start_slot_count = kMaxStartSlots;
        const timing_gates_state saved = timing_gates;
        track_terrain.change_flags = 7;
        press('s');
        p.same(editor_state.status_text, "Saved!", "the save of 160 slots");
        reload("tracks/sample");
        p.check(timing_gates.start_slot_count == kMaxStartSlots, "160 slots read back: " +
                                                                     std::to_string(timing_gates.start_slot_count));
        bool slots_same = true;
        for (int32_t i = 0; i < kMaxStartSlots; ++i)
            for (int k = 0; k < 3; ++k)
                slots_same = slots_same &&
                             std::fabs(timing_gates.start_slot_position[i][k] - saved.start_slot_position[i][k]) < 1e-3f;
        p.check(slots_same, "the slots' positions");
        p.check(timing_gates.checkpoint_count == saved.checkpoint_count &&
                    timing_gates.firstlap_length == saved.firstlap_length &&
                    timing_gates.normallap_length == saved.normallap_length &&
                    std::equal(saved.lap_entries, saved.lap_entries + saved.firstlap_length + saved.normallap_length,
                               timing_gates.lap_entries),
                "the checkpoints and lap lists");
        return p.text;
    });
}

TEST(EditorTrackFiles, SampleSceneExportAgainstTheModels)
{
    edmesa::on_track("tracks/sample", [](const bvtest::TempDir& root) {
        bvtest::Problems p;
        press('p');
        p.same(editor_state.status_text, "Pov!", "exported");
        const std::string pov = bvtest::read_file(root / "user/Brovanta/tracks/sample/track.pov");

        // Declarations: one per distinct model, each with the model's vertices.
        std::map<std::string, const model*> models;
        for (int32_t i = 0; i < statue_count(); ++i)
            if (statue_at(i)->mesh && statue_at(i)->model_file)
                models.emplace(pov_identifier(statue_at(i)->model_file), statue_at(i)->mesh);
        p.check(models.size() >= 2, "the sample's statues use more than one model");
        for (const auto& [id, m] : models) {
            const std::string head = "#declare " + id + " = ";
            const size_t at = pov.find(head);
            p.check(at != std::string::npos && pov.find(head, at + 1) == std::string::npos, "one declaration of " + id);
            if (at == std::string::npos)
                continue;
            const size_t end = pov.find("#declare", at + 1);
            const std::string body = pov.substr(at, end - at);
            int vertices = 0, expected = 0;
            for (size_t v = body.find("vertex_vectors {\n\t\t"); v != std::string::npos;
                 v = body.find("vertex_vectors {\n\t\t", v + 1))
                vertices += atoi(body.c_str() + v + strlen("vertex_vectors {\n\t\t"));
            for (const model* part = m; part; part = part->next_part)
                expected += part->vertex_count;
            p.check(vertices == expected, id + ": " + std::to_string(vertices) + " vertices, the model has " +
                                              std::to_string(expected));
        }
        for (char c : std::string("@"))
            p.check(pov.find(std::string("\"") + c) == std::string::npos, "texture names without @");

        // The statues in table order, with their textures; billboards with names.
        const size_t union_at = pov.find("#declare statues = union {\n");
        const size_t boards_at = pov.find("#declare billboards = union {\n");
        p.check(union_at != std::string::npos && boards_at > union_at, "the statue union, then the billboards");
        size_t at = union_at;
        bool order = true, ppm = false, png = false;
        for (int32_t i = 0; i < statue_count() && at != std::string::npos; ++i) {
            const statue* s = statue_at(i);
            if (!s->mesh)
                continue;
            at = pov.find("\tobject {\n\t\t" + pov_identifier(s->model_file) + "\n", at + 1);
            order = order && at != std::string::npos && at < boards_at;
            char where[96];
            snprintf(where, sizeof where, "\t\ttranslate <%f,%f,%f>\n", double(s->x), double(s->y), double(s->z));
            order = order && pov.find(where, at) < pov.find("\t}\n", at);
            ppm = ppm || pov.find("image_map { ppm \"", at) < pov.find("\t}\n", at);
            png = png || pov.find("image_map { png \"", at) < pov.find("\t}\n", at);
        }
        p.check(order, "one object per statue with its position, in table order");
        p.check(ppm && png, "a ppm and a png texture line");
        int named = 0, objects = 0;
        for (int32_t i = 0; i < billboard_count(); ++i)
            named += billboard_at(i)->texture && texture_name(billboard_at(i)->texture) &&
                     *texture_name(billboard_at(i)->texture);
        for (size_t b = pov.find("()\n\ttranslate", boards_at); b != std::string::npos; b = pov.find("()\n\ttranslate", b + 1))
            ++objects;
        p.check(named > 0 && objects == named, "one object per named billboard: " + std::to_string(objects) + " of " +
                                                   std::to_string(named));
        p.check(pov.find("#declare ground = height_field {\n\tpng \"terrain.png\"\n") != std::string::npos, "the ground");
        return p.text;
    });
}

TEST(EditorTrackFiles, ScriptObjectsNeverReachTheSavedFiles)
{
    edmesa::on_track("tracks/sample", [](const bvtest::TempDir& root) {
        bvtest::Problems p;
        // The track's own objects (the sample's own script may add more: those are not).
        auto own = [] {
            int32_t n[2] = {0, 0};
            for (int32_t i = 0; i < statue_count(); ++i)
                n[0] += !statue_at(i)->from_script;
            for (int32_t i = 0; i < billboard_count(); ++i)
                n[1] += !billboard_at(i)->from_script;
            return std::vector<int32_t>{n[0], n[1]};
        };
        const std::vector<int32_t> track = own();
        // A script of the user's in place of the track's adds one statue and one billboard.
        bvtest::write_file(root / "user/Brovanta/tracks/sample/nofrills.js",
                           "bv.add_statue(500, 0, 500, 0, '@models/cube.jm', '@statues/hay.png', '');\n"
                           "bv.add_billboard(500, 5, 520, 8, 1.3, '@billboards/tree.png');\n");
        script_install();
        for (int round = 0; round < 3; ++round) {
            reload("tracks/sample");
            const std::string what = "load " + std::to_string(round + 1);
            p.check(own() == track, what + ": the track's own objects, unchanged: " + std::to_string(own()[0]) +
                                        " statues, " + std::to_string(own()[1]) + " billboards");
            p.check(statue_count() == track[0] + 1 && billboard_count() == track[1] + 1,
                    what + ": the script's statue and billboard, once each");
            track_terrain.change_flags = 7;
            press('s');
            p.same(editor_state.status_text, "Saved!", what + ": saved");
        }
        const std::string saved = bvtest::read_file(root / "user/Brovanta/tracks/sample/statues");
        p.check(saved.find("500.0") == std::string::npos, "the saved statues leave the script's out");
        return p.text;
    });
}
