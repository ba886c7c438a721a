// Demo playback: the header read into the rider tables, and the reading ahead that
// puts the recorded states into the riders' histories and dispatches the events.
// Everything read from the file is untrusted: counts, lengths and ticks are checked
// before they are used, and a damaged block ends the reading quietly.
#include "race/demo/demo.h"
#include "race/demo/demo_reader.h"

#include "foundation/intern.h"
#include "foundation/text/scan.h"
#include "foundation/text/text_util.h"
#include "foundation/vfs/vfs.h"
#include "foundation/front_door.h"
#include "race/race_riders.h"
#include "race/race_state.h"
#include "race/race_values.h"
#include "race/rider_history.h"
#include "sim/race_clock.h"
#include "terrain/ruts.h"
#include "terrain/track_list.h"

#include <algorithm>
#include <cstring>
#include <string>

demo_reader_state demo_reader;

namespace {

constexpr int kLineSize = 1025;                 // 1024 characters and the terminator
constexpr int32_t kGateDropDefault = 1792;      // 14 s
constexpr int kBlocksPerRead = 128;
constexpr int32_t kAheadV6 = 64;
constexpr int32_t kAheadFrames = 8;
constexpr int64_t kMaxOffset = 0x7ffffffe;      // the last offset a handle can seek to

demo_rider_entry riders[kDemoRiders];
int32_t slot_map[kDemoRiders];
rider_request rider_requests[kDemoRiders];

// Reused buffers: nothing is allocated while reading.
char line[kLineSize];
uint8_t payload[kDemoTextCap + 1];

// One header line, which must end in "\n" (a longer line arrives without it).
bool read_line(vfs_file* f)
{
    if (!vfs_gets(f, line, kLineSize))
        return false;
    const size_t n = strlen(line);
    return n > 0 && line[n - 1] == '\n';
}

std::string without_line_end(const char* text)
{
    std::string s = text;
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r'))
        s.pop_back();
    return s;
}

// Texture names become file names at track reset: an absolute name, "..", a
// backslash or a control character makes the field empty.
const char* texture_field(const std::string& text)
{
    if (text.empty() || text[0] == '/' || text.find("..") != std::string::npos ||
        text.find('\\') != std::string::npos)
        return nullptr;
    for (unsigned char c : text)
        if (c < 0x20 || c == 0x7f)
            return nullptr;
    return intern_string(text.c_str());
}

bool read_rider(vfs_file* f, int version, demo_rider_entry* r)
{
    if (!read_line(f))
        return false;
    std::string fields[5];
    int k = 0;
    for (const char* p = line; *p && *p != '\n'; ++p) {
        if (*p == '|' && k < 4)
            ++k;
        else
            fields[k] += *p;
    }
    r->bike = intern_string(without_line_end(fields[0].c_str()).c_str());
    r->rider_texture = texture_field(fields[1]);
    r->bike_texture = texture_field(fields[2]);
    r->wheel_texture = texture_field(fields[3]);
    r->head_texture = texture_field(without_line_end(fields[4].c_str()));
    if (!read_line(f))
        return false;
    r->number = intern_string(without_line_end(line).substr(0, 3).c_str());
    if (version < 6)
        return true;
    if (!read_line(f))
        return false;
    r->name = intern_string(without_line_end(line).c_str());
    // Lines up to and including the first empty one.
    do {
        if (!read_line(f))
            return false;
    } while (strcmp(line, "\n") != 0);
    return true;
}

struct demo_header {
    int version = 0, count = 0, limit = 0, laps = 0, gate_drop = kGateDropDefault;
};

// Null when the header is whole and usable, else why not.
const char* read_header(vfs_file* f, demo_header* h)
{
    if (!read_line(f))
        return "the first line is cut short";
    const int got = scan_string(line, "BV%d %d %d %d %d", &h->version, &h->count, &h->limit, &h->laps,
                                &h->gate_drop);
    if (got < 3)
        return "the first line holds too few values";
    if (h->version < 4 || h->version > 6)
        return "unknown version";
    if (got < 4)
        h->laps = 0;
    if (got < 5)
        h->gate_drop = kGateDropDefault;
    if (h->count < 0 || h->count > kDemoRiders)
        return "rider count outside 0..160";
    if (!race_value_in_range(h->limit) || !race_value_in_range(h->laps) || !race_value_in_range(h->gate_drop))
        return "race length or gate drop out of range";
    if (!read_line(f))
        return "the track line is cut short";
    const std::string folder = without_line_end(line);
    if (!track_list_title(folder.c_str())) {
        static char why[1100];
        format_string(why, sizeof why, "its track %.900s is not installed", folder.c_str());
        return why;
    }
    demo_reader.track = intern_string(folder.c_str());
    for (int i = 0; i < h->count; ++i)
        if (!read_rider(f, h->version, &riders[i]))
            return "a rider entry is cut short";
    return nullptr;
}

// One line, on the console and in the log, for every demo that is not played.
void refuse(const std::string& path, const char* why)
{
    char text[1200];
    format_string(text, sizeof text, "Can't play demo %.900s: %s\n", path.c_str(), why);
    console_print(text);
}

void clear_tables()
{
    for (int i = 0; i < kDemoRiders; ++i) {
        riders[i] = demo_rider_entry{};
        slot_map[i] = -1;
    }
    race.demo_rider_count = 0;
}

// The handle back at the reading position after a short read or a seek elsewhere.
bool at_position(vfs_file* f)
{
    if (demo_reader.ended)
        return false;
    if (!demo_reader.reposition)
        return true;
    if (demo_reader.position > kMaxOffset || !vfs_seek(f, uint32_t(demo_reader.position)))
        return false;
    demo_reader.reposition = false;
    return true;
}

// Moves the handle to offset target (beyond bytes already taken), checking that
// the byte before it exists: a payload running past the end of the file fails.
bool skip_to(vfs_file* f, int64_t target, int64_t here)
{
    if (target == here)
        return true;
    if (target > kMaxOffset || !vfs_seek(f, uint32_t(target - 1)) || vfs_getc(f) < 0) {
        demo_reader.reposition = demo_reader.ended = true;
        return false;
    }
    return true;
}

bool read_exact(vfs_file* f, void* out, int n)
{
    if (vfs_read(f, out, n) == n)
        return true;
    demo_reader.reposition = demo_reader.ended = true;
    return false;
}

void first_state_block(int32_t tick)
{
    demo_reader.first_block_tick = tick;
    if (race.time_trial_active)
        demo_reader.tick_offset = current_tick - tick;
    else
        demo_set_current_tick(tick);
}

// The entries of a state block, each into the history of the slot playing its rider.
bool read_states(vfs_file* f, uint32_t length)
{
    bool reported = false;
    uint8_t entry[kDemoEntrySize];
    for (uint32_t n = length / kDemoEntrySize; n > 0; --n) {
        if (!read_exact(f, entry, kDemoEntrySize))
            return false;
        const int index = entry[0];
        if (index >= kDemoRiders)
            continue;
        const int32_t slot = slot_map[index];
        if (slot < 0 || slot >= kDemoRiders) {
            if (!reported)
                console_print("add_state_to_history: slot out of range");
            reported = true;
            continue;
        }
        const int64_t tick = int64_t(int32_t(demo_u32(entry + 1))) + demo_reader.tick_offset;
        if (!race_value_in_range(tick))
            continue;
        packed_rider_state s;
        memcpy(s.bytes, entry + 5, kPackedStateSize);
        add_state_to_history(slot, &s, int32_t(tick));
    }
    return true;
}

// One version-6 block at the reading position; false ends the reading.
bool read_block(vfs_file* f)
{
    uint8_t head[kDemoBlockHead];
    if (!read_exact(f, head, kDemoBlockHead))
        return false;
    const int64_t start = demo_reader.position;
    const uint32_t length = demo_u32(head) ^ demo_reader.previous_length;
    const int32_t tick = int32_t(demo_u32(head + 4));
    if (!race_value_in_range(tick)) {
        demo_reader.reposition = demo_reader.ended = true;
        return false;
    }
    const int64_t body = start + kDemoBlockHead, end = body + int64_t(length);
    const uint8_t type = head[8];
    const uint32_t kept = length < uint32_t(kDemoTextCap) ? length : uint32_t(kDemoTextCap);
    if (type == demo_block_states && length % kDemoEntrySize == 0 && length <= kDemoStatesMax) {
        if (demo_reader.first_block_tick == -1)
            first_state_block(tick);
        if (!read_states(f, length))
            return false;
    } else if (type == demo_block_chat || type == demo_block_script ||
               ((type == demo_block_erode || type == demo_block_deformation) && length <= uint32_t(kDemoTextCap))) {
        const bool apply = type != demo_block_deformation || demo_reader.deformation_position < start;
        if (apply) {
            if (!read_exact(f, payload, int(kept)) || !skip_to(f, end, body + kept))
                return false;
            payload[kept] = 0;
            int amount = 0;
            if (type == demo_block_chat)
                console_print(reinterpret_cast<const char*>(payload));
            else if (type == demo_block_script)
                demo_later_hooks.script_message(reinterpret_cast<const char*>(payload));
            else if (type == demo_block_erode &&
                     scan_string(reinterpret_cast<const char*>(payload), "erode %d", &amount) == 1)
                track_terrain.erosion_amount = amount;
            else if (type == demo_block_deformation) {
                erosion_apply_message(&track_terrain, payload, int32_t(length));
                demo_reader.deformation_position = start;
            }
        } else if (!skip_to(f, end, body)) {
            return false;
        }
    } else if (!skip_to(f, end, body)) {
        return false;
    }
    demo_reader.previous_length = length;
    demo_reader.position = end;
    if (demo_reader.first_block_tick != -1)
        demo_reader.read_ahead_tick = int32_t(std::min<int64_t>(int64_t(tick) + demo_reader.tick_offset, INT32_MAX));
    return true;
}

void read_version6(vfs_file* f)
{
    for (int n = 0; n < kBlocksPerRead && int64_t(current_tick) >= int64_t(demo_reader.read_ahead_tick) - kAheadV6;
         ++n)
        if (!at_position(f) || !read_block(f))
            return;
}

// One frame of versions 4 and 5: a record per state-driven slot, in slot order.
bool read_frame(vfs_file* f)
{
    const int32_t size = demo_record_size();
    const int32_t count = race.demo_rider_count;
    int32_t done = 0;
    for (int32_t k = 0; k < kDemoRiders && done < count; ++k) {
        if (race.kinds[k] != rider_kind_remote || !demo_rider_seam.occupied(k))
            continue;
        packed_rider_state s{};
        if (!read_exact(f, s.bytes, size)) {
            *engine_sound_presence(k) = 0;
            return false;
        }
        add_state_to_history(k, &s, demo_reader.read_ahead_tick);
        *engine_sound_presence(k) = 1.0f;
        ++done;
    }
    const int64_t end = demo_reader.position + int64_t(count) * size;
    if (!skip_to(f, end, demo_reader.position + int64_t(done) * size))
        return false;
    demo_reader.position = end;
    return true;
}

void read_frames(vfs_file* f)
{
    while (int64_t(current_tick) >= int64_t(demo_reader.read_ahead_tick) - kAheadFrames) {
        if (demo_reader.first_block_tick == -1) {
            demo_reader.read_ahead_tick = current_tick;
            demo_reader.first_block_tick = 0;
        }
        if (!at_position(demo_reader.file) || !read_frame(f))
            return;
        if (demo_reader.read_ahead_tick == INT32_MAX)
            return;
        ++demo_reader.read_ahead_tick;
    }
}

}  // namespace

void demo_set_current_tick(int32_t tick)
{
    current_tick = tick;
    race.tick = tick;
}

int32_t demo_record_size()
{
    return demo_state_size(demo_reader.version);
}

int demo_playback_open()
{
    demo_playback_close();
    clear_tables();
    demo_reader.track = nullptr;
    std::string path;
    if (demo_settings.chosen[0])
        path = demo_settings.chosen;
    else if (race.time_trial_active && track_folder)
        path = std::string("@") + track_folder + "/fastlap.bvdemo";
    else
        path = "@demos/default.bvdemo";
    vfs_file* f = vfs_open(path.c_str(), "rb");
    if (!f) {
        // The default demo and the ghost are often simply not there yet.
        if (demo_settings.chosen[0])
            refuse(path, "it cannot be opened");
        return 0;
    }
    demo_header h;
    if (const char* why = read_header(f, &h)) {
        refuse(path, why);
        vfs_close(f);
        clear_tables();
        demo_reader.track = nullptr;
        return 0;
    }
    demo_reader.file = f;
    demo_reader.version = h.version;
    race.demo_rider_count = h.count;
    demo_reader.block_start = demo_reader.position = f->position;
    demo_reader.previous_length = 0;
    demo_reader.read_ahead_tick = 1;
    demo_reader.first_block_tick = -1;
    demo_reader.tick_offset = 0;
    demo_reader.deformation_position = 0;
    demo_reader.reposition = false;
    demo_reader.ended = false;
    race.time_limit_ticks = h.limit;
    race.laps = h.laps;
    race.gate_drop_tick = h.gate_drop;
    return 1;
}

void demo_playback_read()
{
    vfs_file* f = demo_reader.file;
    if (!f)
        return;
    if (demo_reader.version == 6)
        read_version6(f);
    else
        read_frames(f);
}

void demo_playback_close()
{
    if (demo_reader.file)
        vfs_close(demo_reader.file);
    demo_reader.file = nullptr;
}

int demo_playing()
{
    return demo_reader.file != nullptr;
}

int demo_playback_version()
{
    return demo_reader.file ? demo_reader.version : 5;
}

const char* demo_playback_track()
{
    return demo_reader.track;
}

const demo_rider_entry* demo_rider_info(int32_t index)
{
    return index >= 0 && index < race.demo_rider_count ? &riders[index] : nullptr;
}

int32_t demo_rider_count()
{
    return race.demo_rider_count;
}

void demo_set_rider_slot(int32_t index, int32_t slot)
{
    if (index >= 0 && index < kDemoRiders)
        slot_map[index] = slot >= 0 && slot < kDemoRiders ? slot : -1;
}

int32_t demo_rider_slot(int32_t index)
{
    return index >= 0 && index < kDemoRiders ? slot_map[index] : -1;
}

// Track reset's request for demo rider index: state-driven, with the demo's texts.
const rider_request* demo_rider_request(int32_t index)
{
    const demo_rider_entry* r = demo_rider_info(index);
    if (!r)
        return nullptr;
    rider_request& q = rider_requests[index];
    q = {r->bike, r->number, r->name, r->rider_texture, r->head_texture, r->bike_texture, r->wheel_texture, 0};
    return &q;
}
