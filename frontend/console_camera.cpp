// The console's camera keys for the key-frame camera, and the commands that act on
// the watched rider: its free camera's aim and its engine's pipe.
#include "frontend/console_commands.h"
#include "frontend/console_commands_parts.h"

#include "foundation/door/data_name.h"
#include "foundation/text/scan.h"
#include "foundation/vfs/vfs.h"
#include "foundation/door/whole_file.h"
#include "frontend/settings.h"
#include "race/program/startup.h"
#include "sim/race_clock.h"
#include "sim/rider_slot.h"
#include "view/engine_sound.h"
#include "view/trackside_view.h"

#include <cmath>
#include <cstring>
#include <numbers>

namespace console_detail {

namespace {

camera_key* keys()
{
    return static_cast<camera_key*>(camera_keys.items);
}

// A name for "@keycam/" names one file directly in that folder, as a setup name does in
// "setups": none, one the data-name door refuses, one with a "/" (a sub-folder) and one
// with a "\\" (a sub-folder where the player's other systems read it so) are refused.
bool keycam_name_ok(const std::string& name)
{
    return data_file_name_accept(name.c_str(), "Key camera");
}

int write_keys(vfs_file* f, void*)
{
    for (int i = 0; i < camera_keys.count; ++i) {
        const camera_key& k = keys()[i];
        if (vfs_printf(f, "%.4f %.4f %.4f %.4f %.4f %.4f %.4f %.2f %d\n", double(k.x), double(k.y), double(k.z),
                       double(k.q[0]), double(k.q[1]), double(k.q[2]), double(k.q[3]), double(k.fov), k.tick) < 0)
            return 0;
    }
    return 1;
}

// Appends every key of the open file; 0 at the first line that is no key.
bool read_keys(vfs_file* f)
{
    for (;;) {
        if (vfs_skip_spaces(f) < 0)
            return true;
        camera_key k;
        if (vfs_scanf(f, "%f %f %f %f %f %f %f %f %d", &k.x, &k.y, &k.z, &k.q[0], &k.q[1], &k.q[2], &k.q[3], &k.fov,
                      &k.tick) != 9)
            return false;
        array_push(&camera_keys, &k);   // a failed growth skips the line
    }
}

}  // namespace

void cmd_pipe(const char* arg)
{
    const int slot = watched_rider();
    if (slot < 0)
        return;
    const char* cls = engine_view.bike_class(&rider_slots[slot]);
    const bool four_stroke = cls && (std::strcmp(cls, "250f") == 0 || std::strcmp(cls, "450f") == 0);
    float a = four_stroke ? 5.0f : 1.75f;
    float b = four_stroke ? 0.91820717f : 0.3f;
    float c = four_stroke ? -0.85f : -0.75f;
    int32_t first = 0, last = 15;
    scan_string(arg, "%f %f %f %d %d", &a, &b, &c, &first, &last);
    // A tap that is not a number would stay in the engine sound for good.
    if (!std::isfinite(a) || !std::isfinite(b) || !std::isfinite(c)) {
        console_print("Pipe values must be numbers");
        return;
    }
    engine_pipe_tune(&engine_sounds[slot], a, b, c, first, last);
    console_print("Pipe updated");
}

void cmd_camangle(const char* arg)
{
    if (watched_rider() < 0)
        return;
    float yaw, pitch;
    if (scan_string(arg, "%f %f", &yaw, &pitch) != 2 || !std::isfinite(yaw) || !std::isfinite(pitch)) {
        console_print("Usage: camangle <yaw> <pitch>");
        return;
    }
    free_camera.yaw = float(yaw * std::numbers::pi / 180);
    free_camera.pitch = float(pitch * std::numbers::pi / 180);
    free_camera.yaw_rate = 0;
    free_camera.pitch_rate = 0;
    console_print("Camera aimed");
}

void cmd_addkey(const char*)
{
    const double y = free_camera.yaw / 2, p = free_camera.pitch / 2;
    camera_key k;
    k.x = free_camera.x;
    k.y = free_camera.y;
    k.z = free_camera.z;
    k.q[0] = float(std::cos(y) * std::sin(p));
    k.q[1] = float(std::sin(y) * std::cos(p));
    k.q[2] = float(-std::sin(y) * std::sin(p));
    k.q[3] = float(std::cos(y) * std::cos(p));
    k.fov = float(fov_slider.value);
    k.tick = current_tick;
    int at = 0;
    while (at < camera_keys.count && keys()[at].tick <= k.tick)
        ++at;
    if (!array_push(&camera_keys, &k))
        return;
    std::memmove(keys() + at + 1, keys() + at, sizeof(camera_key) * size_t(camera_keys.count - 1 - at));
    keys()[at] = k;
    console_print("Keyframe added");
}

void cmd_deletekey(const char*)
{
    const int n = camera_keys.count;
    if (n <= 1) {
        camera_keys.count = 0;
    } else {
        int i = 0;
        while (i < n && keys()[i].tick <= current_tick)
            ++i;
        if (i == n)
            camera_key_remove(n - 1);
        else if (i == 0)
            camera_key_remove(0);
        else
            camera_key_remove(keys()[i].tick > keys()[i - 1].tick ? i : i - 1);
    }
    console_print("Keyframe deleted");
}

void cmd_clearkeys(const char*)
{
    camera_keys.count = 0;
    console_print("Keyframes cleared");
}

void cmd_listkeys(const char*)
{
    for (int i = 0; i < camera_keys.count; ++i) {
        const camera_key& k = keys()[i];
        say("pos = { %.2f, %.2f, %.2f }, rot = { %.2f, %.2f, %.2f, %.2f }, time = %.2f", double(k.x), double(k.y),
            double(k.z), double(k.q[0]), double(k.q[1]), double(k.q[2]), double(k.q[3]), k.tick * tick_length);
    }
}

void cmd_readkeys(const char* arg)
{
    const std::string name = name_argument(arg);
    vfs_file* f = keycam_name_ok(name) ? vfs_open(("@keycam/" + name).c_str(), "rb") : nullptr;
    if (!f) {
        console_print("Error reading camera keys");
        return;
    }
    camera_keys.count = 0;
    const bool whole = read_keys(f);
    vfs_close(f);
    console_print(whole ? "Camera keys updated" : "Error reading camera keys");
}

void cmd_writekeys(const char* arg)
{
    const std::string name = name_argument(arg);
    if (!keycam_name_ok(name) || !whole_file_write(("@keycam/" + name).c_str(), write_keys, nullptr)) {
        console_print("Error saving camera keys");
        return;
    }
    console_print("Camera keys saved");
}

}  // namespace console_detail

void camera_key_remove(int index)
{
    if (index < 0 || index >= camera_keys.count)
        return;
    auto* k = static_cast<camera_key*>(camera_keys.items);
    std::memmove(k + index, k + index + 1, sizeof(camera_key) * size_t(camera_keys.count - 1 - index));
    --camera_keys.count;
}
