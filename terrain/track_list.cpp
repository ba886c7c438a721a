// The track list. A track is a folder of the file index that holds "terrain.hf" or
// "terrain.hf.gz"; its optional "desc" file gives the title: the bytes up to the
// first NUL, LF, CR or the end (at most 255 of them), untrimmed.
#include "terrain/track_list.h"

#include "foundation/door/download.h"
#include "foundation/index/file_index.h"
#include "foundation/index/index_downloads.h"
#include "foundation/vfs/capped_read.h"
#include "foundation/memory.h"
#include "foundation/text/text_util.h"
#include "foundation/vfs/vfs.h"
#include "foundation/front_door.h"
#include "gfx/texture_settings.h"
#include "platform/qorl_log.h"
#include "terrain/terrain_files.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <strings.h>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

track_entry* track_list = nullptr;
int32_t track_count = 0;
char* track_folder = nullptr;
char* track_title = nullptr;
terrain_state track_terrain;
uint8_t track_hash[20];

namespace {

char* copy_text(const std::string& text)
{
    char* out = static_cast<char*>(xmalloc(text.size() + 1));
    memcpy(out, text.c_str(), text.size() + 1);
    return out;
}

// A title is one line of text for the menus; a longer first line is cut there, so
// a "desc" that inflates without end costs no more than this.
constexpr uint32_t kMaxTitle = 255;

std::string read_title(const std::string& folder)
{
    // The list comes from the index, and so does whether a title is there to read: a
    // pack of thousands of tracks without one costs no look at the disk for each.
    const std::string desc = folder + "/desc";
    if (file_index_find(desc.c_str()) < 0 && file_index_find((desc + ".gz").c_str()) < 0)
        return folder;
    const std::string name = "@" + desc;
    capped_bytes text = vfs_read_file_capped(name.c_str(), kMaxTitle);
    if (!text.data)
        return folder;
    const size_t length = strcspn(text.data, "\n\r");
    if (length == kMaxTitle && text.too_long)
        qorl_log("Title in %s cut to %u bytes\n", name.c_str(), unsigned(kMaxTitle));
    std::string title(text.data, length);
    mem_free(text.data);
    return title;
}

// The tracks listed at most. Every track ever published is some thousands; one
// download can name as many tracks as it has names (10,000, the listing's download
// bound), so the list holds several such downloads beside the largest installation.
// Full, the list costs the start some 0.3 s and 15 MB.
}  // namespace
namespace {

bool title_before(const track_entry& a, const track_entry& b)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(a.title);
    const unsigned char* q = reinterpret_cast<const unsigned char*>(b.title);
    for (;; ++p, ++q) {
        const int x = tolower(*p), y = tolower(*q);
        if (x != y)
            return x < y;
        if (x == 0)
            return false;
    }
}

struct found_track {
    std::string folder;
    std::string download;   // where it came from: an archive, or a folder in "tracks"
    bool own;               // the program's own, never left out
};


// The track folders in index order, each once.
std::vector<found_track> all_track_folders()
{
    std::vector<found_track> found;
    std::set<std::string> seen;
    char** names = file_index_list();
    for (; names && *names; ++names) {
        if (!str_ends_with(*names, "/terrain.hf") && !str_ends_with(*names, "/terrain.hf.gz"))
            continue;
        // A folder holding both the plain and the ".gz" terrain is one track.
        std::string folder(*names, strrchr(*names, '/') - *names);
        if (!seen.insert(folder).second)
            continue;
        const int entry = file_index_find(*names);
        const file_index_entry* e = file_index_get(entry);
        std::string download = e ? std::string(e->container_path, file_index_download_length(entry)) : folder;
        const bool own = !e || file_index_program_own(entry);
        found.push_back({std::move(folder), std::move(download), own});
    }
    return found;
}

struct download_count {
    size_t tracks;
    long long age;
    std::string download;
};

// The track folders in index order, at most max_tracks of them. Past that
// the downloads naming the most tracks are left out first, whole, each with one line;
// of downloads naming as many, the newest first (then the last in name order), so that
// a fresh flood of one-track folders goes before the tracks the player has had. The
// program's own tracks are never left out.
std::vector<std::string> track_folders(size_t max_tracks)
{
    std::vector<found_track> found = all_track_folders();
    std::set<std::string> left_out;
    const size_t bound = max_tracks;
    if (found.size() > bound) {
        std::map<std::string, size_t> per_download;
        for (const found_track& t : found)
            if (!t.own)
                ++per_download[t.download];
        std::vector<download_count> order;
        for (const auto& [download, count] : per_download)
            order.push_back({count, download_age(download), download});
        std::sort(order.begin(), order.end(), [](const download_count& a, const download_count& b) {
            return std::tie(a.tracks, a.age, a.download) > std::tie(b.tracks, b.age, b.download);
        });
        size_t listed = found.size();
        for (const download_count& d : order) {
            if (listed <= bound)
                break;
            qorl_log("Track list full at %zu tracks: %s left out, %zu tracks\n", bound, d.download.c_str(), d.tracks);
            left_out.insert(d.download);
            listed -= d.tracks;
        }
    }
    std::vector<std::string> folders;
    for (found_track& t : found)
        if (!left_out.count(t.download))
            folders.push_back(std::move(t.folder));
    return folders;
}

}  // namespace

void free_track_list()
{
    for (int32_t i = 0; i < track_count; ++i) {
        mem_free(track_list[i].folder);
        mem_free(track_list[i].title);
    }
    mem_free(track_list);
    track_list = nullptr;
    track_count = 0;
}

int scan_tracks(size_t max_tracks)
{
    free_track_list();
    const std::vector<std::string> folders = track_folders(max_tracks);
    if (folders.empty())
        return 0;
    track_list = static_cast<track_entry*>(xmalloc(folders.size() * sizeof(track_entry)));
    for (const std::string& folder : folders) {
        loading_spinner();
        track_list[track_count].folder = copy_text(folder);
        track_list[track_count].title = copy_text(read_title(folder));
        ++track_count;
    }
    std::stable_sort(track_list, track_list + track_count, title_before);
    if (verbose_level)
        for (int32_t i = 0; i < track_count; ++i)
            qorl_log("%s -> %s\n", track_list[i].folder, track_list[i].title);
    return 1;
}

const char* track_list_title(const char* folder)
{
    for (int32_t i = 0; i < track_count; ++i)
        if (strcmp(track_list[i].folder, folder) == 0)
            return track_list[i].title;
    return nullptr;
}

int32_t track_list_find(const char* folder)
{
    if (!folder)
        return -1;
    int32_t found = -1, twins = 0;
    for (int32_t i = 0; i < track_count; ++i) {
        if (strcmp(track_list[i].folder, folder) == 0)
            return i;
        if (strcasecmp(track_list[i].folder, folder) == 0 && twins++ == 0)
            found = i;
    }
    static std::set<std::string> told;
    if (twins > 0 && told.insert(folder).second) {
        char line[1200];
        if (twins == 1)
            format_string(line, sizeof line, "Track '%.500s' is '%.500s': no track is spelt so, and that one only by its letter case",
                          folder, track_list[found].folder);
        else
            format_string(line, sizeof line, "Track '%.500s' not found: %d tracks differ from it only by letter case", folder,
                          twins);
        console_print(line);
    }
    return twins == 1 ? found : -1;
}

int track_file_write(const char* name, int (*writer)(vfs_file* f, void* context), void* context)
{
    if (!track_folder) {
        char text[1024];
        format_string(text, sizeof text, "Can't open '%.950s'", name);
        console_print(text);
        return 0;
    }
    return terrain_write_file(track_folder, name, writer, context);
}
