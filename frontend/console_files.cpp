// The console's file commands: the track's info, the frame times, setup files, file
// uploads to the server and the data-file index.
#include "frontend/console_commands_parts.h"

#include "foundation/index/file_index.h"
#include "foundation/vfs/vfs.h"
#include "foundation/door/fresh_file.h"
#include "foundation/door/whole_file.h"
#include "frontend/menu.h"
#include "frontend/settings.h"
#include "frontend/setup_file.h"
#include "frontend/texture_choices.h"
#include "race/program/main_loop.h"
#include "race/net/net_client.h"
#include "race/net/net_upload.h"
#include "race/race_state.h"
#include "sim/rider_slot.h"
#include "terrain/timing_gates.h"
#include "terrain/track_list.h"

#include <cctype>
#include <cstring>

namespace console_detail {

namespace {

int write_track_info(vfs_file* f, void*)
{
    const char* title = track_list_title(track_folder);
    if (vfs_printf(f, "dir=%s\nlongname=%s\nfirstlap=%d\nnormallap=%d\ngatecount=%d\nhash=", track_folder,
                   title ? title : track_folder, timing_gates.firstlap_length, timing_gates.normallap_length,
                   timing_gates.checkpoint_count) < 0)
        return 0;
    for (uint8_t byte : track_hash)
        if (vfs_printf(f, "%02x", byte) < 0)
            return 0;
    return vfs_printf(f, "\n") < 0 ? 0 : 1;
}

int write_frame_times(vfs_file* f, void*)
{
    for (float t : loop.frame_times)
        if (vfs_printf(f, "%f\n", double(t)) < 0)
            return 0;
    return 1;
}

// A setup name: none, or one leaving "setups", is refused before anything opens.
bool setup_name(const char* arg, std::string* name)
{
    *name = name_argument(arg);
    return name->find("..") == std::string::npos;
}

std::string lower(std::string s)
{
    for (char& c : s)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

}  // namespace

void cmd_savetrackinfo(const char*)
{
    if (!track_loaded())
        return;
    // Beside the track folders, where downloaded tracks unpack: never through a link.
    const std::string path = std::string("@") + track_folder + ".trackinfo";
    if (!fresh_file_write(path.c_str(), write_track_info, nullptr)) {
        say("Error opening \"%s.trackinfo\" for writing", track_folder);
        return;
    }
    say("Track info saved to %s.trackinfo", track_folder);
}

void cmd_saveframetimes(const char*)
{
    if (!whole_file_write("@frametimes.txt", write_frame_times, nullptr)) {
        console_print("Error opening \"frametimes.txt\" for writing");
        return;
    }
    console_print("Frame times saved to \"frametimes.txt\"");
    loop.frame_times.clear();
}

void cmd_readsetup(const char* arg)
{
    std::string name;
    if (setup_name(arg, &name) && setup_file_read(name.c_str())) {
        if (texture_lists_built()) {
            bike_graphics_rebuild();
            for (int i = 0; i < 4; ++i)
                ui_choice_select(graphics_choices[i], kept_graphics_names[i]);
        }
        local_profile_update();
        console_print("Setup updated");
    } else {
        console_print("Error reading setup");
    }
    net_rider_info_pending = 1;
    // The player's own slot, as the bike setup menus use: the watched rider may be a
    // robot, which is simulated here too.
    const int32_t slot = menu_own_slot();
    if (slot >= 0 && slot < kRiderSlots && (rider_slots[slot].state_flags & state_simulated_locally) &&
        menu_seams.setup_change_guard)
        menu_seams.setup_change_guard(slot);
}

void cmd_writesetup(const char* arg)
{
    std::string name;
    if (setup_name(arg, &name) && setup_file_write(name.c_str()))
        console_print("Setup written");
    else
        console_print("Error writing setup");
}

void cmd_sendfile(const char* arg)
{
    const std::string name = skip_blanks(arg);
    for (char c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '.') {
            console_print("Filename may only contain alphanumeric characters, '_' or '.'");
            return;
        }
    if (name.size() >= 1014) {
        console_print("Filename too long");
        return;
    }
    if (name.empty() || name.find("..") != std::string::npos) {
        console_print("Can't open file");
        return;
    }
    net_upload_start(name.c_str());
}

void cmd_listfiles(const char* arg)
{
    const std::string filter = lower(skip_blanks(arg));
    char text[2048];
    for (int i = 0; file_index_describe(i, text, sizeof text); ++i)
        if (filter.empty() || lower(text).find(filter) != std::string::npos)
            console_print(text);
}

}  // namespace console_detail
