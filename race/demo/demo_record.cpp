// The demo recorder: the header and rider entries at open, a block of sampled states
// every 16 ticks, event blocks as the server sends them, and the header written again
// with the final values at close.
#include "race/demo/demo.h"
#include "race/program/settings_values.h"

#include "foundation/door/data_name.h"
#include "foundation/door/fresh_file.h"
#include "foundation/memory.h"
#include "foundation/text/text_util.h"
#include "foundation/vfs/vfs.h"
#include "foundation/front_door.h"
#include "race/race_state.h"
#include "race/rider_history.h"
#include "sim/race_clock.h"
#include "terrain/track_list.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr const char* kDefaultDemo = "@demos/default.bvdemo";
constexpr int32_t kMaxBackups = 100;

struct recorder_state {
    vfs_file* file = nullptr;
    std::string path;                  // the data path being written
    int32_t count = 0;                 // riders recorded, fixed at open
    int32_t slots[kDemoRiders] = {};   // their slots, rider index order
    uint32_t previous_length = 0;
    uint8_t* block = nullptr;          // one state block, sized at open
    size_t block_size = 0;
    char name[kDemoNameSize] = {};
    int32_t text_second = -1;          // the race second (tick / 128) text was last kept in
    int32_t text_bytes = 0;            // chat and script bytes kept in it
};
recorder_state rec;

bool recorded_kind(int32_t kind, bool online, bool watching)
{
    if (!online)
        return kind == rider_kind_local || kind == rider_kind_bot;
    if (watching)
        return kind == rider_kind_remote || kind == rider_kind_bot;
    return kind == rider_kind_local || kind == rider_kind_remote || kind == rider_kind_bot;
}

bool sampled_kind(int32_t kind)
{
    return kind == rider_kind_local || kind == rider_kind_bot;
}

void put_u32(uint8_t* out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out[i] = uint8_t(v >> (8 * i));
}

// A field of a rider entry: line ends always go, and '|' from the '|'-separated ones,
// so that an odd name cannot break the entry apart.
std::string entry_field(const char* text, bool separated)
{
    std::string out;
    for (const char* p = text ? text : ""; *p; ++p)
        if (*p != '\r' && *p != '\n' && !(separated && *p == '|'))
            out += *p;
    return out;
}

bool write_header(vfs_file* f)
{
    char line[64];
    format_string(line, sizeof line, "BV06 %3d %11d %11d %11d\n", rec.count, race.time_limit_ticks, race.laps,
                  race.gate_drop_tick);
    return vfs_write(f, line, strlen(line)) == strlen(line);
}

void release()
{
    mem_free(rec.block);
    rec.block = nullptr;
    rec.block_size = 0;
    rec.file = nullptr;
}

// After a write or flush fails the recording ends where it is: the file keeps its
// last whole block, which every reader takes as the end.
void write_failed()
{
    char text[1100];
    format_string(text, sizeof text, "Demo recording stopped: can't write %.900s\n", rec.path.c_str());
    console_print(text);
    vfs_close(rec.file);
    release();
}

bool write_all(const void* data, size_t n)
{
    if (n == 0 || vfs_write(rec.file, data, n) == n)
        return true;
    write_failed();
    return false;
}

void say_not_recorded(const std::string& name, const char* why)
{
    char line[200];
    format_string(line, sizeof line, "Demo not recorded: %s %s; every demo is kept", name.c_str() + 1, why);
    console_print(line);
}

// Moves each demo one name on ("default.bvdemo" to "default00.bvdemo", and so on) up
// to the first free name, or, with every name a demo, over the oldest backup, which
// goes. Nothing else is ever replaced: anything but a plain file at a backup name
// before a free one (a folder, a link, a pipe) stops the rotation before anything
// moves, with one line, as does a move that fails; the recording must not take the
// place of the demo that could not move on, so false then: nothing is recorded.
bool rotate_backups(int32_t backups)
{
    const int32_t b = std::min(backups, kMaxBackups);
    // Nothing to move on: a missing demo, or something else that the recording replaces.
    if (b <= 0 || data_place_what_stands(kDefaultDemo) != name_holds::file)
        return true;
    std::vector<std::string> names = {kDefaultDemo};
    char name[64];
    int32_t last = b;   // the name the last demo moved goes to
    for (int32_t k = 1; k <= b; ++k) {
        format_string(name, sizeof name, "@demos/default%02d.bvdemo", k - 1);
        names.push_back(name);
        const name_holds holds = data_place_what_stands(name);
        if (holds == name_holds::nothing) {
            last = k;
            break;
        }
        if (holds != name_holds::file) {
            say_not_recorded(names[k], "is not a plain file, so the backups cannot move on");
            return false;
        }
    }
    for (int32_t k = last - 1; k >= 0; --k)
        if (!vfs_replace(names[k].c_str(), names[k + 1].c_str())) {
            say_not_recorded(names[k], "could not move on");
            return false;
        }
    return true;
}

bool name_acceptable(const char* name)
{
    if (!*name)
        return true;   // no name: the recording stays "default.bvdemo"
    return strlen(name) < size_t(kDemoNameSize) && data_file_name_accept(name, "Demo");
}

}  // namespace

int demo_recording()
{
    return rec.file != nullptr;
}

int demo_set_name(const char* name)
{
    if (!name || !name_acceptable(name))
        return 0;
    format_string(rec.name, sizeof rec.name, "%s", name);
    return 1;
}

const char* demo_name()
{
    return rec.name;
}

void demo_record_open()
{
    if (rec.file)
        demo_record_close();
    const bool in_track = race.time_trial_active && track_folder;
    vfs_file* f = nullptr;
    // A new file of ours takes the name's place, never written through whatever stood
    // there (the track folder may have come from anyone).
    if (in_track) {
        rec.path = std::string("@") + track_folder + "/lastlap.bvdemo";
        fresh_file w;
        f = fresh_file_open(rec.path.c_str(), &w) ? fresh_file_take_name(&w) : nullptr;
    } else {
        // The new file exists before any backup moves: when it cannot be made,
        // nothing moves.
        rec.path = kDefaultDemo;
        fresh_file w;
        if (!fresh_file_open(kDefaultDemo, &w))
            return;
        if (!rotate_backups(plain_values.demo_backups)) {
            fresh_file_drop(&w);
            return;
        }
        f = fresh_file_take_name(&w);
    }
    if (!f)
        return;
    rec.file = f;

    const bool online = demo_rider_seam.online() != 0;
    const bool watching = online && race.own_lineup_value == kWatchOnlyValue;
    rec.count = 0;
    for (int32_t k = 0; k < kDemoRiders; ++k)
        if (demo_rider_seam.occupied(k) && recorded_kind(race.kinds[k], online, watching))
            rec.slots[rec.count++] = k;
    rec.previous_length = 0;
    rec.text_second = -1;
    rec.text_bytes = 0;
    rec.block_size = size_t(kDemoBlockHead) + size_t(rec.count) * kHistoryLength * kDemoEntrySize;
    rec.block = static_cast<uint8_t*>(mem_alloc(rec.block_size));

    std::string text;
    text += track_folder ? track_folder : "";
    text += '\n';
    for (int32_t i = 0; i < rec.count; ++i) {
        demo_rider_texts t{};
        demo_rider_seam.texts(rec.slots[i], &t);
        text += entry_field(t.bike, true) + '|' + entry_field(t.rider_texture, true) + '|' +
                entry_field(t.bike_texture, true) + '|' + entry_field(t.wheel_texture, true) + '|' +
                entry_field(t.head_texture, true) + '\n';
        text += entry_field(t.number, false) + '\n' + entry_field(t.name, false) + "\n\n";
    }
    if (!write_header(f)) {
        write_failed();
        return;
    }
    write_all(text.data(), text.size());
}

void demo_record_states(int force)
{
    if (!rec.file)
        return;
    if (!force && current_tick % 4 != 0)
        return;
    for (int32_t k = 0; k < kDemoRiders; ++k) {
        if (!sampled_kind(race.kinds[k]) || !demo_rider_seam.occupied(k))
            continue;
        packed_rider_state s;
        demo_rider_seam.pack(k, &s);
        add_state_to_history(k, &s, current_tick);
    }
    if (!force && current_tick % 16 != 0)
        return;

    uint8_t* out = rec.block + kDemoBlockHead;
    for (int32_t i = 0; i < rec.count; ++i) {
        const int32_t s = rec.slots[i];
        const int32_t pending = std::clamp(history_pending[s], 0, kHistoryLength);
        history_pending[s] = 0;
        if (!demo_rider_seam.occupied(s))
            continue;
        for (int32_t j = 0; j < pending; ++j) {
            const int32_t e = (history_newest[s] - pending + 1 + j + 2 * kHistoryLength) % kHistoryLength;
            *out++ = uint8_t(i);
            put_u32(out, uint32_t(history_ticks[s][e]));
            memcpy(out + 4, history_states[s][e], kPackedStateSize);
            out += 4 + kPackedStateSize;
        }
    }
    const uint32_t length = uint32_t(out - rec.block - kDemoBlockHead);
    if (length == 0)
        return;
    put_u32(rec.block, length ^ rec.previous_length);
    put_u32(rec.block + 4, uint32_t(current_tick));
    rec.block[8] = demo_block_states;
    rec.previous_length = length;
    if (!write_all(rec.block, kDemoBlockHead + length))
        return;
    if (vfs_flush(rec.file) != 0)
        write_failed();
}

// Whether the text fits what the current race second may still keep.
bool text_allowed(int32_t count)
{
    const int32_t second = current_tick / 128;
    if (second != rec.text_second) {
        rec.text_second = second;
        rec.text_bytes = 0;
    }
    if (count > kDemoTextPerSecond - rec.text_bytes)
        return false;
    rec.text_bytes += count;
    return true;
}

void demo_record_event(int type, const void* bytes, int32_t count)
{
    if (!rec.file || count < 0 || (count > 0 && !bytes))
        return;
    if ((type == demo_block_chat || type == demo_block_script) && !text_allowed(count))
        return;
    uint8_t head[kDemoBlockHead];
    put_u32(head, uint32_t(count) ^ rec.previous_length);
    put_u32(head + 4, uint32_t(current_tick));
    head[8] = uint8_t(type);
    rec.previous_length = uint32_t(count);
    if (write_all(head, sizeof head))
        write_all(bytes, size_t(count));
}

void demo_record_close()
{
    if (!rec.file)
        return;
    vfs_file* f = rec.file;
    bool written = vfs_seek(f, 0) && write_header(f);
    written = vfs_close(f) == 0 && written;
    release();
    if (!written) {
        // The demo name would give an incomplete file a name the player trusts.
        char text[1100];
        format_string(text, sizeof text, "Demo recording failed at close: kept as %.900s\n", rec.path.c_str());
        console_print(text);
    } else if (rec.name[0] && name_acceptable(rec.name)) {
        // Checked again: the name may have been set around the setter.
        vfs_replace(kDefaultDemo, (std::string("@demos/") + rec.name).c_str());
    }
    rec.name[0] = '\0';
}
