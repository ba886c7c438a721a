// Loading and unloading a track's script, and what it may name and add while loading.
#include "script/script_host.h"
#include "script/script_tables.h"

#include "foundation/door/data_name.h"
#include "foundation/door/download.h"
#include "foundation/memory.h"
#include "foundation/vfs/capped_read.h"
#include "foundation/vfs/vfs.h"
#include "foundation/front_door.h"
#include "terrain/billboards.h"
#include "terrain/statues.h"
#include "terrain/track_list.h"

#include <cstdio>
#include <cstring>
#include <strings.h>

script_additions script_added = {-1, -1, -1, -1, 0};

void script_additions_reset()
{
    script_added = {-1, -1, -1, -1, 0};
}

void script_additions_remove()
{
    if (script_added.statue_first >= 0 && script_added.statue_end == statue_count()) {
        for (int32_t i = script_added.statue_first; i < script_added.statue_end; ++i)
            free_statue(statue_at(i));
        statues.count = script_added.statue_first;
    }
    if (script_added.billboard_first >= 0 && script_added.billboard_end == billboard_count() &&
        billboard_work.count == 2 * billboard_count()) {
        for (int32_t i = script_added.billboard_first; i < script_added.billboard_end; ++i)
            billboard_release(billboard_at(i));
        billboards.count = script_added.billboard_first;
        billboard_work.count = 2 * script_added.billboard_first;
    }
    script_additions_reset();
}

namespace {

// A kind of file the loaders take: models, images, animations, shapes and sounds.
bool data_kind(const char* rest)
{
    static const char* const kinds[] = {".jm", ".png", ".jpg", ".seq", ".raw", ".shp", ".pgm", ".ppm", ".gz"};
    const char* dot = std::strrchr(rest, '.');
    if (!dot)
        return false;
    for (const char* k : kinds)
        if (!strcasecmp(dot, k))
            return true;
    return false;
}

// "@" + clean components naming a data file: the loaded track's own files, or shared
// base data outside "tracks/" ("@startgate.jm", "@models/cube.jm"). Other tracks'
// folders and the player's own files (configuration, results) are out of reach.
bool path_ok(const char* name)
{
    // The data-name door's checks, and no backslash or drive colon either.
    std::string normal;
    if (name[0] != '@' || std::strpbrk(name, "\\:") || data_name_check(name, &normal))
        return false;
    const char* rest = normal.c_str() + 1;
    if (!data_kind(rest))
        return false;
    // Within "tracks" only the loaded track's own download, spelt as the door spells it:
    // a case twin's script never names the player's track.
    const download_name d = download_of(rest);
    if (d.spelt_to == 0)
        return true;
    return track_folder && d.kind == download_kind::track && std::string_view(rest, d.key) == track_folder &&
           !std::strchr(rest + d.key + 1, '/');
}

} // namespace

int script_path_allowed(const char* name)
{
    const size_t length = std::strlen(name);
    if (length <= kScriptNameMax && path_ok(name))
        return 1;
    if (script_added.path_messages < script_limit.max_path_messages) {
        ++script_added.path_messages;
        char line[1024];
        if (length > kScriptNameMax)
            std::snprintf(line, sizeof line, "javascript error: '%.60s...' is too long for a file name (%zu characters)\n",
                          name, length);
        else
            std::snprintf(line, sizeof line, "javascript error: '%.900s' is not a game data path\n", name);
        console_print(line);
    }
    return 0;
}

int script_load(const char* path)
{
    if (script_current)
        script_unload();
    char* text = file_to_string(path);
    if (!text)
        return 0;
    script_host* host = script_host_create();
    if (!host) {
        mem_free(text);
        return 0;
    }
    script_additions_reset();
    script_messages_reset();
    script_loading = 1;
    // What the script adds while it loads is its own: the track writers leave it out.
    track_objects_from_script = 1;
    script_register_functions(host, "bv", script_api_names, script_api_functions, script_api_arg_counts);
    pose_sequence_count = 0;
    pose_sequence_bytes = 0;
    if (!script_eval(host, script_prelude) && !host->stopped)
        script_report_error(host);
    script_current = host;
    if (!host->stopped && !script_eval(host, text) && !host->stopped)
        script_report_error(host);
    mem_free(text);
    track_objects_from_script = 0;
    script_loading = 0;
    return 1;
}

void script_unload()
{
    if (!script_current)
        return;
    script_host* host = script_current;
    script_current = nullptr;
    // The teardown runs finalizers, which may still make pose sequences.
    script_host_destroy(host);
    pose_sequences_free();
    script_additions_remove();
}
