// Lines file layout (text; any white space between fields when reading):
//
//   ct03 T                          T = number of tables, must equal the track's
//   per table:
//     K                             lines stored for the table
//     per line:
//       n segT extT tested bestSeg bestExt segSum extSum failures
//       n lines "[x y z] speed lean" (floats, six decimals; speed carries the
//                                     airborne flag in its sign bit, -0.000000 too)
//
// Only the first 45 lines of a table are kept; later ones are read and dropped.
#include "sim/ai_lines_file.h"

#include "foundation/vfs/capped_read.h"
#include "foundation/memory.h"
#include "foundation/text/scan.h"
#include "foundation/vfs/vfs.h"
#include "gfx/texture_settings.h"
#include "platform/qorl_log.h"
#include "terrain/terrain_files.h"

#include <string>

int ai_lines_learning;

namespace {

constexpr int32_t statistic_cap = 65535;
constexpr int32_t sum_cap = 100000000;
constexpr int halving_rounds = 17;

bool needs_halving(const ai_line& line)
{
    return line.extended_time_sum > sum_cap || line.tested > statistic_cap || line.failures > statistic_cap;
}

// Huge statistics (an old file, or one edited by hand) are halved while keeping
// their averages. Tests and failures halve together, so their ratio (the failure
// share of the expected time) holds; a line with 0 or 1 tests cannot halve without
// dropping to 0 tests, so it is left to the caps below.
void limit_statistics(ai_line& line)
{
    for (int round = 0; round < halving_rounds && needs_halving(line) && line.tested >= 2; ++round) {
        const int32_t halved = line.tested / 2;
        line.segment_time_sum = halved * (line.segment_time_sum / line.tested);
        line.extended_time_sum = halved * (line.extended_time_sum / line.tested);
        line.tested = halved;
        line.failures /= 2;
    }
    auto cap = [](int32_t& v, int32_t hi) { v = v > hi ? hi : v; };
    cap(line.tested, statistic_cap);
    cap(line.failures, statistic_cap);
    cap(line.segment_time_sum, sum_cap);
    cap(line.extended_time_sum, sum_cap);
}

bool read_point(vfs_file* f, ai_line_point* p)
{
    return vfs_scanf(f, " [ %f %f %f ] %f %f ", &p->x, &p->y, &p->z, &p->speed, &p->lean) == 5;
}

}  // namespace

const char* ai_lines_file_name(int skill)
{
    static const char* const names[] = {"lines_novice", "lines_amateur", "lines_expert"};
    return skill >= 0 && skill < 3 ? names[skill] : nullptr;
}

namespace {

// As ai_line_read; *too_many is set when the point count is above the cap.
int read_line(vfs_file* f, ai_line* line, bool* too_many)
{
    int32_t v[9];
    int n = vfs_scanf(f, " %d %d %d %d %d %d %d %d %d ", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6],
                      &v[7], &v[8]);
    if (line)
        ai_line_make_free(line);
    if (n != 9)
        return n;
    const int count = v[0];
    *too_many = count > ai_line_max_points;
    if (count < 0 || count > ai_line_max_points)
        return 0;
    if (!line) {
        ai_line_point dropped;
        for (int i = 0; i < count; ++i)
            if (!read_point(f, &dropped))
                return 0;
        return 9;
    }
    ai_line_point* points = count > 0 ? static_cast<ai_line_point*>(xmalloc(sizeof(ai_line_point) * size_t(count)))
                                      : nullptr;
    for (int i = 0; i < count; ++i)
        if (!read_point(f, &points[i])) {
            mem_free(points);
            return 0;
        }
    line->points = points;
    line->point_count = count;
    line->segment_time = v[1];
    line->extended_time = v[2];
    line->tested = v[3] < 0 ? 0 : v[3];
    line->best_segment_time = v[4];
    line->best_extended_time = v[5];
    line->segment_time_sum = v[6] < 0 ? 0 : v[6];
    line->extended_time_sum = v[7] < 0 ? 0 : v[7];
    line->failures = v[8] < 0 ? 0 : v[8];
    line->line_id = ai_line_next_id();
    limit_statistics(*line);
    return 9;
}

}  // namespace

int ai_line_read(vfs_file* f, ai_line* line)
{
    bool too_many = false;
    return read_line(f, line, &too_many);
}

int ai_lines_read(vfs_file* f, const char* name)
{
    ai_lines_clear();
    int tables = 0;
    const uint32_t start = f->position;
    // One byte past the cap tells a file that is too long from one that just fits.
    vfs_cap_rest(f, ai_lines_file_max_bytes + 1);
    if (!ai_lines_exist() || vfs_scanf(f, "ct03 %d ", &tables) != 1 || tables != ai_lines.table_count)
        return 0;
    int stored = 0;
    bool too_many = false;
    for (int t = 0; t < tables; ++t) {
        int lines = 0;
        if (vfs_scanf(f, " %d ", &lines) != 1)
            break;
        if (verbose_level)
            qorl_log("%d: %d\n", t, lines);
        bool ok = true;
        for (int i = 0; i < lines && ok; ++i) {
            ai_line* line = i < ai_lines_per_table ? &ai_lines.tables[t].lines[i] : nullptr;
            ok = read_line(f, line, &too_many) == 9;
            stored += ok && line && ai_line_used(*line) ? 1 : 0;
        }
        if (!ok)
            break;
    }
    if (too_many || f->position - start > ai_lines_file_max_bytes) {
        if (too_many)
            qorl_log("Lines file %s refused: a line of more than %d points\n", name, ai_line_max_points);
        else
            qorl_log("Lines file %s refused: more than %u bytes\n", name, unsigned(ai_lines_file_max_bytes));
        ai_lines_clear();
        return 0;
    }
    return stored;
}

int ai_lines_load(const char* folder, int skill)
{
    const char* name = ai_lines_file_name(skill);
    if (!folder || !name || !ai_lines_exist())
        return 0;
    const std::string path = std::string("@") + folder + "/" + name;
    vfs_file* f = vfs_open(path.c_str(), "rb");
    if (!f)
        return 0;
    int stored = ai_lines_read(f, path.c_str());
    vfs_close(f);
    return stored;
}

int ai_lines_write_to(vfs_file* f)
{
    bool ok = vfs_printf(f, "ct03 %d\n", ai_lines.table_count) >= 0;
    for (int t = 0; t < ai_lines.table_count && ok; ++t) {
        const ai_line_table& table = ai_lines.tables[t];
        ok = vfs_printf(f, "%d\n", ai_table_used_count(table)) >= 0;
        for (const ai_line& line : table.lines) {
            if (!ai_line_used(line) || !ok)
                continue;
            ok = vfs_printf(f, "%d %d %d %d %d %d %d %d %d\n", line.point_count, line.segment_time,
                            line.extended_time, line.tested, line.best_segment_time, line.best_extended_time,
                            line.segment_time_sum, line.extended_time_sum, line.failures) >= 0;
            for (int i = 0; i < line.point_count && ok; ++i) {
                const ai_line_point& p = line.points[i];
                ok = vfs_printf(f, "[%f %f %f] %f %f\n", double(p.x), double(p.y), double(p.z), double(p.speed),
                                double(p.lean)) >= 0;
            }
        }
    }
    return ok ? 1 : 0;
}

int ai_lines_write(const char* folder, const char* name)
{
    if (!ai_lines_learning || !ai_lines_exist() || !folder || !name)
        return 0;
    return terrain_write_file(folder, name, [](vfs_file* f, void*) { return ai_lines_write_to(f); }, nullptr);
}
