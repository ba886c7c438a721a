// The "cameras" file, keyword lines of at most 1023 characters:
//   fov f              field of view of the next camera (absolute value)
//   autofovsize f      (absolute value)
//   gate g g ...       timing gates 0..1023 the next camera watches
//   addcamera x h z    places the camera (h above the ground) and starts the next one
// Other lines are ignored.
#include "terrain/trackside_cameras.h"

#include "foundation/text/scan.h"
#include "foundation/vfs/vfs.h"
#include "gfx/texture_settings.h"
#include "platform/qorl_log.h"
#include "terrain/terrain_queries.h"
#include "terrain/track_list.h"

#include <cctype>
#include <cmath>
#include <cstring>

growable_array trackside_cameras;
int32_t gate_camera_table[kGateCameraEntries];

namespace {

// Maps every gate number after the "gate" word to the camera index next. A number
// is decimal digits standing alone between white space; anything else ends the line.
void read_gate_line(const char* line, int32_t next)
{
    const char* p = line + strspn(line, " \t") + 4;
    for (;;) {
        p += strspn(p, " \t\r\n\v\f");
        const size_t digits = strspn(p, "0123456789");
        if (digits == 0 || digits > 4 || (p[digits] && !isspace(static_cast<unsigned char>(p[digits]))))
            return;
        int g = 0;
        for (size_t i = 0; i < digits; ++i)
            g = g * 10 + (p[i] - '0');
        if (g >= kGateCameraEntries)
            return;
        gate_camera_table[g] = next;
        p += digits;
    }
}

}  // namespace

void trackside_cameras_free()
{
    array_free(&trackside_cameras);
    trackside_cameras = {};
}

void trackside_cameras_read(const char* path)
{
    trackside_cameras_free();
    array_init(&trackside_cameras, sizeof(trackside_camera));
    for (int32_t& c : gate_camera_table)
        c = -1;
    vfs_file* f = vfs_open(path, "rb");
    if (f) {
        trackside_camera pending{};
        pending.fov = 90;
        char line[1024], word[1024];
        float x, y, z, v;
        while (vfs_gets(f, line, sizeof line)) {
            if (scan_string(line, " %1023s", word) != 1)
                continue;
            if (strcmp(word, "addcamera") == 0 && scan_string(line, " addcamera %f %f %f", &x, &y, &z) == 3) {
                pending.x = x;
                pending.y = y + terrain_height_at(&track_terrain, x, z);
                pending.z = z;
                array_push(&trackside_cameras, &pending);
                pending = {};
                pending.fov = 90;
            } else if (strcmp(word, "fov") == 0 && scan_string(line, " fov %f", &v) == 1) {
                pending.fov = std::fabs(v);
            } else if (strcmp(word, "autofovsize") == 0 && scan_string(line, " autofovsize %f", &v) == 1) {
                pending.autofovsize = std::fabs(v);
            } else if (strcmp(word, "gate") == 0) {
                read_gate_line(line, trackside_cameras.count);
            }
        }
        vfs_close(f);
    }
    if (verbose_level)
        qorl_log("%d cameras found\n", trackside_cameras.count);
}
