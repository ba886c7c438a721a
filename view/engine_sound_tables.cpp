// Sound tables of sampled engine cycles: the loaded ones (by name, once per run), the
// two built-in ones, and the cache of sample files they read.
#include "view/engine_sound.h"

#include "foundation/vfs/capped_read.h"
#include "foundation/door/data_name.h"
#include "foundation/growable_array.h"
#include "foundation/intern.h"
#include "foundation/memory.h"
#include "foundation/text/scan.h"
#include "foundation/vfs/vfs.h"
#include "foundation/front_door.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr int32_t kMaxTableSide = 256;
// A table is a page of numbers and names; a sample holds a few engine cycles (the
// stock ones are a few KiB). Far above both, and low enough that a hostile file, or a
// small gzip member that inflates without end, cannot take the memory.
constexpr uint32_t kMaxTableBytes = 1 << 20;
constexpr uint32_t kMaxSampleBytes = 4 << 20;
constexpr int64_t kMaxCachedSamples = int64_t(16) << 20;   // all samples together: 64 MiB of floats

struct cached_sample {
    const char* name;
    float* data;
    int32_t length;
};
static_assert(sizeof(cached_sample) == 24);

growable_array sample_cache{};
sound_table* loaded_tables = nullptr;
sound_table* builtin_four = nullptr;
sound_table* builtin_two = nullptr;

void print(const char* format, int i, int j, const char* name)
{
    char line[600];
    if (i < 0)
        std::snprintf(line, sizeof line, format, name);
    else
        std::snprintf(line, sizeof line, format, i, j, name);
    console_print(line);
}

int64_t cached_sample_count = 0;

// The samples of a raw 16-bit file, read once per run; null (after a line saying why,
// when the file is there) when it does not open, holds no whole sample or is too long.
const cached_sample* sample_get(const char* name)
{
    const char* key = intern_string(name);
    auto* items = static_cast<cached_sample*>(sample_cache.items);
    for (int32_t i = 0; i < sample_cache.count; ++i)
        if (items[i].name == key)
            return &items[i];
    // Samples come from the data folders only: a plain path could name a device or a
    // file anywhere on the machine.
    if (!data_name_accept(name, "Sound sample", nullptr))
        return nullptr;
    capped_bytes bytes = vfs_read_file_capped(name, kMaxSampleBytes);
    const int32_t count = static_cast<int32_t>(bytes.length / 2);
    const char* refusal = bytes.too_long ? "Sound sample '%.512s' is longer than 4 MiB"
                          : cached_sample_count + count > kMaxCachedSamples
                              ? "Sound sample '%.512s' refused: too many samples are loaded already"
                              : nullptr;
    if (refusal)
        print(refusal, -1, 0, name);
    if (!bytes.data || count == 0 || refusal) {
        mem_free(bytes.data);
        return nullptr;
    }
    if (!sample_cache.items && !array_init(&sample_cache, sizeof(cached_sample)))
        out_of_memory();
    cached_sample entry{key, static_cast<float*>(xmalloc(size_t(count) * sizeof(float))), count};
    const auto* pairs = reinterpret_cast<const uint8_t*>(bytes.data);
    for (int32_t k = 0; k < count; ++k)
        entry.data[k] = static_cast<float>(static_cast<int16_t>(pairs[2 * k] | pairs[2 * k + 1] << 8)) / 32768.0f;
    mem_free(bytes.data);
    if (!array_push(&sample_cache, &entry))
        out_of_memory();
    cached_sample_count += count;
    return &static_cast<cached_sample*>(sample_cache.items)[sample_cache.count - 1];
}

void table_free(sound_table* t)
{
    if (!t)
        return;
    for (int32_t i = 0; t->cells && i < t->rows * t->columns; ++i)
        mem_free(t->cells[i].remap);
    mem_free(t->cells);
    mem_free(t->name);
    mem_free(t);
}

sound_table* table_new(const char* name, int32_t rows, int32_t columns)
{
    auto* t = static_cast<sound_table*>(xmalloc(sizeof(sound_table)));
    *t = sound_table{};
    size_t n = std::strlen(name) + 1;
    t->name = static_cast<char*>(xmalloc(n));
    std::memcpy(t->name, name, n);
    t->rows = rows;
    t->columns = columns;
    size_t cells = static_cast<size_t>(rows) * static_cast<size_t>(columns);
    t->cells = static_cast<sound_table_cell*>(xmalloc(cells * sizeof(sound_table_cell)));
    for (size_t i = 0; i < cells; ++i)
        t->cells[i] = sound_table_cell{};
    return t;
}

// One cell's remap list, cycle count and samples; false after printing the cell's line.
bool read_cell(vfs_file* f, sound_table_cell& cell, int32_t i, int32_t j)
{
    std::vector<int32_t> remap;
    for (;;) {
        int32_t v = 0;
        if (vfs_scanf(f, "%d", &v) != 1) {
            print("(%d, %d) Bad remap entry", i, j, nullptr);
            return false;
        }
        if (v == -1)
            break;
        remap.push_back(v);
    }
    float count = 0;
    char sample[1024] = "";
    int got = vfs_scanf(f, "%f %1023s", &count, sample);
    const cached_sample* s = nullptr;
    // A count below one (or not a number) would divide by zero in the synthesis.
    if (got == 2 && std::isfinite(count) && count >= 1.0f && count < 2147483647.0f)
        s = sample_get(sample);
    if (!s) {
        print("(%d, %d) Error reading '%.512s'", i, j, sample);
        return false;
    }
    cell.samples = s->data;
    cell.length = s->length;
    cell.cycles = static_cast<int32_t>(count);
    if (!remap.empty()) {
        cell.remap = static_cast<int32_t*>(xmalloc(remap.size() * sizeof(int32_t)));
        cell.remap_count = static_cast<int32_t>(remap.size());
        for (size_t k = 0; k < remap.size(); ++k) {
            int32_t m = remap[k] % cell.cycles;
            cell.remap[k] = m < 0 ? m + cell.cycles : m;
        }
    }
    return true;
}

sound_table* table_load(const char* name)
{
    vfs_file* f = data_name_accept(name, "Sound table", nullptr) ? vfs_open(name, "r") : nullptr;
    // Past the cap the table reads as cut short, and is refused as such.
    if (f)
        vfs_cap_rest(f, kMaxTableBytes);
    int32_t rows = 0, columns = 0;
    bool ok = f && vfs_scanf(f, "SOUNDTABLE %d %d", &rows, &columns) == 2 && rows >= 1 &&
              columns >= 1 && rows <= kMaxTableSide && columns <= kMaxTableSide;
    sound_table* t = ok ? table_new(name, rows, columns) : nullptr;
    std::vector<float> values(ok ? static_cast<size_t>(rows + columns) : 0);
    for (size_t k = 0; ok && k < values.size(); ++k)
        ok = vfs_scanf(f, "%f", &values[k]) == 1;
    for (int32_t i = 0; ok && i < rows; ++i)
        for (int32_t j = 0; ok && j < columns; ++j) {
            sound_table_cell& cell = t->cells[i * columns + j];
            cell.row_value = values[static_cast<size_t>(i)];
            cell.column_value = values[static_cast<size_t>(rows + j)];
            ok = read_cell(f, cell, i, j);
        }
    if (f)
        vfs_close(f);
    if (!ok) {
        table_free(t);
        print("Error reading '%.512s'", -1, 0, name);
        return nullptr;
    }
    return t;
}

sound_table* builtin(bool four_stroke)
{
    sound_table* t = table_new(four_stroke ? "default_four_stroke" : "default_two_stroke", 1, 2);
    auto* samples = static_cast<float*>(xmalloc(2048 * sizeof(float)));
    const double pi = 3.14159265358979323846;
    for (int i = 0; i < 1024; ++i) {
        double d = i / 1023.0;
        double w;
        if (four_stroke) {
            double e = (std::fabs(std::sin(3 * pi * d + 0.5246)) - 0.5) * 0.5;
            w = d < 0.25 ? (1 - 4 * d) * std::sin(16 * pi * d) + e : e;
        } else {
            w = d < 0.25 ? (1 - 4 * d) * std::sin(8 * pi * d) : 0;
        }
        samples[i] = static_cast<float>(w * 0.25);
        samples[1024 + i] = static_cast<float>(w);
    }
    for (int j = 0; j < 2; ++j)
        t->cells[j] = sound_table_cell{samples + 1024 * j, 1024, 1, nullptr, 0, 0.0f, static_cast<float>(j)};
    return t;
}

void builtin_free(sound_table*& t)
{
    if (t)
        mem_free(t->cells[0].samples);
    table_free(t);
    t = nullptr;
}

}  // namespace

const sound_table* sound_table_get(const char* name)
{
    for (sound_table* t = loaded_tables; t; t = t->next)
        if (std::strcmp(t->name, name) == 0)
            return t;
    sound_table* t = table_load(name);
    if (t) {
        t->next = loaded_tables;
        loaded_tables = t;
    }
    return t;
}

const sound_table* sound_table_default_four_stroke()
{
    if (!builtin_four)
        builtin_four = builtin(true);
    return builtin_four;
}

const sound_table* sound_table_default_two_stroke()
{
    if (!builtin_two)
        builtin_two = builtin(false);
    return builtin_two;
}

void sound_tables_free()
{
    while (loaded_tables) {
        sound_table* next = loaded_tables->next;
        table_free(loaded_tables);
        loaded_tables = next;
    }
    builtin_free(builtin_four);
    builtin_free(builtin_two);
}

void sound_samples_free()
{
    auto* items = static_cast<cached_sample*>(sample_cache.items);
    for (int32_t i = 0; i < sample_cache.count; ++i)
        mem_free(items[i].data);
    array_free(&sample_cache);
    sample_cache = growable_array{};
    cached_sample_count = 0;
}
