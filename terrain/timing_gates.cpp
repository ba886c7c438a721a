// The "timing_gates" file, text read through the data-file scanner:
//   version2                                 optional; written when a list is long
//   startinggate:                            optional; then one line per slot:
//   [ x y z ] yaw [model [texture [shape]]]  defaults @startgate.jm/.ppm/.shp, "null" = none
//   checkpoints:
//   R [ cx cy cz ] [ dx dy dz ]              up to 1024, until a record lacks a value
//   firstlap:
//   i i i ...                                up to 1024 checkpoint indices (+100000 = flagged)
//   normallap:
//   i i i ...
// The slot section is read line by line and ends at the "checkpoints:" line; the
// rest is free-form. Slots past the 160th are skipped up to that line, so a full
// start gate does not cost the track its checkpoints.
#include "terrain/timing_gates.h"

#include "foundation/text/scan.h"
#include "foundation/text/text_util.h"
#include "foundation/vfs/file_bound.h"
#include "foundation/vfs/vfs.h"
#include "foundation/front_door.h"
#include "gfx/texture_settings.h"
#include "platform/qorl_log.h"
#include "terrain/statues.h"
#include "terrain/track_list.h"

#include <cmath>
#include <cstring>

timing_gates_state timing_gates;
int (*timing_gates_alloc_line_tables)(int32_t, int32_t) = nullptr;
void (*timing_gates_free_line_tables)() = nullptr;

namespace {

constexpr const char* kDefaultModel = "@startgate.jm";
constexpr const char* kDefaultTexture = "@startgate.ppm";
constexpr const char* kDefaultShape = "@startgate.shp";
constexpr float kPi = 3.14159265358979323846f;

// True, with the refusal's line, when f has delivered more than the bound: what was
// read of it is no file's.
bool past_bound(const vfs_file* f, const char* path)
{
    return vfs_bound_passed(f, path, kTimingGatesFileMax, "Timing gates") != 0;
}

// A fault of the file read; one read past the bound is told as that instead.
void report(const vfs_file* f, const char* path, const char* text)
{
    if (!past_bound(f, path))
        qorl_log("%s", text);
}

const char* name_or_null(const char* name)
{
    return strcmp(name, "null") == 0 ? nullptr : name;
}

float wrap_yaw(float yaw)
{
    if (yaw >= -kPi && yaw <= kPi)
        return yaw;
    const float w = (yaw + kPi) / (2 * kPi);
    return (w - std::floor(w)) * 2 * kPi - kPi;
}

void add_slot(float x, float y, float z, float yaw, const char* model, const char* texture, const char* shape)
{
    timing_gates_state& g = timing_gates;
    yaw = wrap_yaw(yaw);
    const int32_t i = g.start_slot_count;
    g.start_slot_position[i][0] = x;
    g.start_slot_position[i][1] = y;
    g.start_slot_position[i][2] = z;
    g.start_slot_yaw[i] = yaw;
    g.start_slot_statue[i] = create_statue(x - 3 * std::sin(yaw), y, z - 3 * std::cos(yaw), yaw,
                                           name_or_null(model), name_or_null(texture), name_or_null(shape));
    g.start_slot_count = i + 1;
}

bool first_word_is(const char* line, const char* word)
{
    char first[1024];
    return scan_string(line, " %1023s", first) == 1 && strcmp(first, word) == 0;
}

// The slot lines after "startinggate:". True when the section ended at "checkpoints:".
bool read_start_slots(vfs_file* f)
{
    char line[1024];
    vfs_gets(f, line, sizeof line);   // the rest of the "startinggate:" line
    while (vfs_gets(f, line, sizeof line)) {
        if (first_word_is(line, "checkpoints:"))
            return true;
        float x, y, z, yaw;
        char model[1024], texture[1024], shape[1024];
        strcpy(model, kDefaultModel);
        strcpy(texture, kDefaultTexture);
        strcpy(shape, kDefaultShape);
        const int n = scan_string(line, " [ %f %f %f ] %f %1023s %1023s %1023s", &x, &y, &z, &yaw, model, texture,
                                  shape);
        if (n < 4)
            return false;
        // A slot that would put a bike at infinity or NaN is no slot; further slots
        // than the table holds are skipped.
        if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z) || !std::isfinite(yaw))
            continue;
        if (timing_gates.start_slot_count < kMaxStartSlots)
            add_slot(x, y, z, yaw, model, texture, shape);
    }
    return false;
}

// Reads up to kMaxLapEntries integers into out, clamped to the n checkpoints.
// Returns the length; *counted gets the unflagged entries.
int32_t read_lap_list(vfs_file* f, int32_t* out, int32_t n, int32_t* counted)
{
    int32_t length = 0;
    *counted = 0;
    int v;
    while (length < kMaxLapEntries && vfs_scanf(f, " %d", &v) == 1) {
        if (v >= kFlaggedLapEntry) {
            int32_t gate = v % kFlaggedLapEntry;
            if (gate > n - 1)
                gate = n - 1;
            out[length++] = gate + kFlaggedLapEntry;
            continue;
        }
        if (v < 0)
            v = n < 1 ? n - 1 : 0;
        else if (v > n - 1)
            v = n - 1;
        out[length++] = v;
        ++*counted;
    }
    return length;
}

void read_file(vfs_file* f, const char* path)
{
    timing_gates_state& g = timing_gates;
    char word[1024];
    if (vfs_scanf(f, " %1023s", word) != 1)
        word[0] = 0;
    if (strcmp(word, "version2") == 0 && vfs_scanf(f, " %1023s", word) != 1)
        word[0] = 0;
    if (strcmp(word, "startinggate:") == 0) {
        if (!read_start_slots(f)) {
            report(f, path, "Error reading starting gate\n");
            return;
        }
    } else if (strcmp(word, "checkpoints:") != 0) {
        report(f, path, "Error reading starting gate\n");
        return;
    }

    int32_t n = 0;
    while (n < kMaxCheckpoints) {
        timing_gate& c = g.checkpoints[n];
        if (vfs_scanf(f, " %f [ %f %f %f ] [ %f %f %f ]", &c.length, &c.x, &c.y, &c.z, &c.dx, &c.dy, &c.dz) != 7)
            break;
        c.marker = 0;
        ++n;
    }
    if (vfs_scanf(f, " %1023s", word) != 1 || strcmp(word, "firstlap:") != 0) {
        report(f, path, "Error reading checkpoints\n");
        return;
    }
    int32_t first_counted = 0, normal_counted = 0;
    const int32_t first = read_lap_list(f, g.lap_entries, n, &first_counted);
    if (vfs_scanf(f, " %1023s", word) != 1 || strcmp(word, "normallap:") != 0) {
        report(f, path, "Error reading firstlap\n");
        return;
    }
    const int32_t normal = read_lap_list(f, g.lap_entries + first, n, &normal_counted);
    if (n <= 0 || first <= 2 || normal <= 2 || first_counted <= 2 || normal_counted <= 2) {
        report(f, path, "Timing gate error: lap length must be at least 3\n");
        return;
    }
    if (past_bound(f, path))
        return;
    if (timing_gates_alloc_line_tables)
        timing_gates_alloc_line_tables(first_counted, normal_counted);
    g.checkpoint_count = n;
    g.firstlap_length = first;
    g.normallap_length = normal;
    g.firstlap_counted = first_counted;
    g.normallap_counted = normal_counted;
    g.segment_count = first_counted + normal_counted;
    if (verbose_level)
        qorl_log("Found %d timing gates, first lap has %d gates, normal lap has %d\n", n, first, normal);
}

bool is_default_start_gate(const statue* s)
{
    return s->model_file && s->texture_file && s->shape_file && strcmp(s->model_file, kDefaultModel) == 0 &&
           strcmp(s->texture_file, kDefaultTexture) == 0 && strcmp(s->shape_file, kDefaultShape) == 0;
}

const char* or_null(const char* name)
{
    return name ? name : "null";
}

}  // namespace

void timing_gates_read(const char* path)
{
    timing_gates_state& g = timing_gates;
    if (timing_gates_free_line_tables)
        timing_gates_free_line_tables();
    g.start_slot_count = 0;
    g.checkpoint_count = 0;
    g.firstlap_length = g.normallap_length = 0;
    g.firstlap_counted = g.normallap_counted = 0;
    g.segment_count = 0;
    vfs_file* f = nullptr;
    if (vfs_open_bounded(&f, path, kTimingGatesFileMax, "Timing gates") != 1)
        return;
    read_file(f, path);
    vfs_close(f);
}

int timing_gates_write_to(vfs_file* f)
{
    const timing_gates_state& g = timing_gates;
    if (g.checkpoint_count > 254 || g.firstlap_length + g.normallap_length > 254)
        vfs_puts(f, "version2\n");
    if (g.start_slot_count > 0) {
        vfs_puts(f, "startinggate:\n");
        for (int32_t i = 0; i < g.start_slot_count; ++i) {
            const float* p = g.start_slot_position[i];
            vfs_printf(f, "[%f %f %f] %f", p[0], p[1], p[2], g.start_slot_yaw[i]);
            const int32_t k = g.start_slot_statue[i];
            if (k < 0 || k >= statue_count() || is_default_start_gate(statue_at(k))) {
                vfs_puts(f, "\n");
                continue;
            }
            const statue* s = statue_at(k);
            vfs_printf(f, " %s %s %s\n", or_null(s->model_file), or_null(s->texture_file), or_null(s->shape_file));
        }
    }
    if (g.checkpoint_count > 0) {
        vfs_puts(f, "checkpoints:\n");
        for (int32_t i = 0; i < g.checkpoint_count; ++i) {
            const timing_gate& c = g.checkpoints[i];
            vfs_printf(f, "%f [%f %f %f] [%f %f %f]\n", c.length, c.x, c.y, c.z, c.dx, c.dy, c.dz);
        }
    }
    const struct {
        const char* head;
        const int32_t* entries;
        int32_t length;
    } lists[] = {{"firstlap:\n", firstlap_entries(), g.firstlap_length},
                 {"normallap:\n", normallap_entries(), g.normallap_length}};
    for (const auto& list : lists) {
        if (list.length <= 0)
            continue;
        vfs_puts(f, list.head);
        for (int32_t i = 0; i < list.length; ++i)
            vfs_printf(f, "%d ", list.entries[i]);
        vfs_puts(f, "\n");
    }
    return 1;
}

int write_timing_gates()
{
    return track_file_write("timing_gates", [](vfs_file* f, void*) { return timing_gates_write_to(f); });
}

int32_t timing_gates_entry_at(int32_t position)
{
    const timing_gates_state& g = timing_gates;
    if (position < 0 || g.firstlap_length <= 0 || g.normallap_length <= 0)
        return -1;
    if (position < g.firstlap_length)
        return firstlap_entries()[position];
    return normallap_entries()[(position - g.firstlap_length) % g.normallap_length];
}
