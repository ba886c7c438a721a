// The recursive listing of a search folder. Names are taken in byte order so the
// index is the same on every file system. Links are followed, and listed, only when
// they lead inside the search folder (a file link too: a downloaded "desc" linked to
// a file elsewhere would show that file), and a folder already on the current path is
// skipped, so a link back up the tree cannot recurse for ever. Links that fan out could
// still list the same folders exponentially often, so the names and the depth are
// bounded too. One bad folder is skipped on its own so that it cannot hide the folders
// beside it, and one download spends bounds of its own so that it cannot hide the
// others. A name the data-name door refuses (a line break in it, say) is left out with
// its files, since such a name would end up in the settings or a menu.
#include "foundation/data_name.h"
#include "foundation/file_index.h"
#include "foundation/file_index_internal.h"
#include "foundation/growable_array.h"
#include "foundation/memory.h"
#include "platform/qorl_log.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <vector>

#include <dirent.h>
#include <sys/stat.h>

namespace {

struct folder_id {
    dev_t device;
    ino_t inode;
    bool operator==(const folder_id&) const = default;
};

struct listing {
    growable_array* entries;
    size_t top_length;        // characters of the search folder text, trailing "/" included
    int priority;
    std::vector<folder_id> open_folders;
    std::string top_real;     // the search folder with its links resolved
    listing_budget& budget;
    int* download_left = nullptr;   // of the download being listed, if any
    int download_skips_left = 0;    // of that download
    const char* download_why = nullptr;   // why it passed its bound
    int* own_left = nullptr;        // names one of the game's own folders may still keep
    int own_cut = 0;                // names it left out
    int names_refused = 0;
};

const char* shown(const std::string& dir)
{
    return dir.empty() ? "/" : dir.c_str();
}

void stop(listing& l, const std::string& dir, const char* why)
{
    listing_stop(l.budget, shown(dir), why);
}

bool download_passed(const listing& l)
{
    return l.download_left && *l.download_left < 0;
}

// A skip inside a download is charged to that download: too many leave it out whole.
void skip(listing& l, const std::string& dir, const char* why)
{
    if (!l.download_left) {
        listing_skip(l.budget, shown(dir), why);
    } else if (--l.download_skips_left < 0) {
        *l.download_left = -1;
        l.download_why = "too many folders skipped";
    } else {
        qorl_log("Listing skipped %s: %s\n", shown(dir), why);
    }
}

// Outside downloads the listing ends once the totals are spent; a download is
// charged to itself, and so are the loose files of "tracks".
bool listing_ended(const listing& l, bool tracks)
{
    return download_passed(l) || (l.budget.stopped && !l.download_left && !tracks);
}

// Lines for the first few refused names only: one folder can hold many of them.
constexpr int kRefusedNamesTold = 8;

void tell_refused(listing& l, const std::string& dir, const std::string& name, const char* why)
{
    if (++l.names_refused <= kRefusedNamesTold)
        qorl_log("Listing skipped %s/%s: %s\n", shown(dir), data_name_shown(name.c_str()).c_str(), why);
    else if (l.names_refused == kRefusedNamesTold + 1)
        qorl_log("Listing skipped more names it refused\n");
}

// A name the door refuses, or one whose data name below the search folder would be
// longer than the door takes (nothing could open it, and a folder of such names costs
// the listing and the track list for nothing).
bool name_refused(listing& l, const std::string& dir, const std::string& name)
{
    const size_t below = dir.size() + 1 + name.size() - std::min(dir.size() + 1, l.top_length);
    const char* why = below + 1 > kDataNameMax ? "its data name is longer than 255 characters"
                                                : data_name_check(name.c_str(), nullptr);
    if (!why)
        return false;
    tell_refused(l, dir, name, why);
    return true;
}

// A link, to a folder or a file, is followed only when it leads inside the search
// folder; one that leads out is told in one line.
bool may_enter(listing& l, const std::string& dir, const std::string& name, const std::string& path)
{
    struct stat st;
    if (lstat(path.c_str(), &st) != 0)
        return false;
    if (!S_ISLNK(st.st_mode))
        return true;
    const bool ok = data_lies_inside(data_resolved(path), l.top_real);
    if (!ok)
        tell_refused(l, dir, name, "a link leading out of the search folder");
    return ok;
}

// A loose file straight in "tracks": a regular file, or a link to one, that is no
// archive (an archive is a download of its own).
bool loose_track_file(DIR* dir, const dirent* entry)
{
    if (is_archive_name(entry->d_name))
        return false;
    if (entry->d_type == DT_REG)
        return true;
    if (entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN)
        return false;
    struct stat st;
    return fstatat(dirfd(dir), entry->d_name, &st, 0) == 0 && S_ISREG(st.st_mode);
}

enum class names_read { whole, too_many, download_passed, total_passed };

// The folder's names in byte order. Reading ends at the first name past the folder's
// bound, its download's or the listing's total, so an oversized folder costs no more
// than that. "tracks" holds downloads, each charged to itself, so its names are read
// whole: its loose files past their bound are read on to find the folders among them
// but no longer kept, and the caller leaves them all out.
names_read sorted_names(listing& l, const char* folder, std::vector<std::string>& names, int* loose_left)
{
    DIR* dir = opendir(folder);
    if (!dir)
        return names_read::whole;
    names_read result = names_read::whole;
    while (dirent* entry = readdir(dir)) {
        if (strcmp(entry->d_name, ".") == 0 || strcmp(entry->d_name, "..") == 0)
            continue;
        if (loose_left) {
            if (loose_track_file(dir, entry) && --*loose_left < 0)
                continue;
        } else if (l.download_left) {
            if (--*l.download_left < 0) {
                result = names_read::download_passed;
                break;
            }
        } else if (--l.budget.names_left < 0) {
            result = names_read::total_passed;
            break;
        }
        if (!loose_left && names.size() == size_t(l.budget.bounds.folder_names)) {
            result = names_read::too_many;
            break;
        }
        names.emplace_back(entry->d_name);
    }
    closedir(dir);
    if (result == names_read::whole)
        std::sort(names.begin(), names.end());
    return result;
}

// False when an entry could not be stored: the listing of this folder stops there.
bool add_loose_file(listing& l, const std::string& path, off_t size)
{
    auto* owned = static_cast<char*>(mem_alloc(path.size() + 1));
    if (!owned)
        return false;
    memcpy(owned, path.c_str(), path.size() + 1);
    file_index_entry entry{owned, owned, owned + l.top_length, 0,
                           static_cast<int32_t>(std::min<off_t>(size, INT32_MAX)), l.priority};
    if (!array_push(l.entries, &entry)) {
        mem_free(owned);
        return false;
    }
    return true;
}

void drop_entries(growable_array* entries, int first)
{
    for (int i = first; i < entries->count; ++i)
        mem_free(static_cast<file_index_entry*>(entries->items)[i].owned_text);
    entries->count = first;
}

void list_folder(listing& l, const std::string& dir, int depth);

// Lists a download folder whole or not at all, and keeps what it has left for the
// archives in it.
void list_download(listing& l, const std::string& dir, int depth, const std::string& relative)
{
    int& left = l.budget.downloads_left[relative];
    left = l.budget.bounds.download_names;
    const int first = l.entries->count;
    l.download_left = &left;
    l.download_skips_left = l.budget.bounds.skipped;
    l.download_why = "too many entries";
    list_folder(l, dir, depth);
    l.download_left = nullptr;
    if (left >= 0)
        return;
    drop_entries(l.entries, first);
    l.budget.downloads_left.erase(relative);
    l.budget.left_out.insert(relative);
    qorl_log("Listing skipped %s: %s in one download\n", shown(dir), l.download_why);
}

// Lists one of the game's own folders up to its bound, and says how many names past
// it were left out.
void list_own_folder(listing& l, const std::string& dir, int depth)
{
    int left = l.budget.bounds.download_names;
    l.own_left = &left;
    l.own_cut = 0;
    list_folder(l, dir, depth);
    l.own_left = nullptr;
    if (l.own_cut > 0)
        qorl_log("Listing shortened %s: names past %d left out: %d\n", shown(dir), l.budget.bounds.download_names,
                 l.own_cut);
}

// dir has no trailing "/" ("" stands for the root); depth counts the folders above it.
void list_folder(listing& l, const std::string& dir, int depth)
{
    bool tracks = false;
    if (!l.download_left && depth > 0) {
        const std::string relative = dir.substr(l.top_length);
        tracks = strcasecmp(relative.c_str(), "tracks") == 0;
        if (!tracks && in_tracks(relative.c_str()) && download_length(relative.c_str()) == relative.size()) {
            list_download(l, dir, depth, relative);
            return;
        }
        if (!tracks && !l.own_left && depth == 1) {
            list_own_folder(l, dir, depth);
            return;
        }
    }
    if (listing_ended(l, tracks))
        return;
    if (depth > l.budget.bounds.depth) {
        skip(l, dir, "folders nested too deep");
        return;
    }
    file_index_spin();
    const char* dir_name = shown(dir);
    struct stat st;
    if (stat(dir_name, &st) != 0)
        return;
    folder_id id{st.st_dev, st.st_ino};
    if (std::find(l.open_folders.begin(), l.open_folders.end(), id) != l.open_folders.end())
        return;

    std::vector<std::string> names;
    int loose_left = l.budget.bounds.download_names;
    switch (sorted_names(l, dir_name, names, tracks ? &loose_left : nullptr)) {
    case names_read::whole:
        break;
    case names_read::too_many:
        skip(l, dir, "too many entries");
        return;
    case names_read::download_passed:
        return;
    case names_read::total_passed:
        stop(l, dir, "too many entries in all");
        return;
    }
    const bool loose_passed = loose_left < 0;
    if (loose_passed)
        qorl_log("Listing skipped the loose files in %s: too many entries in one download\n", dir_name);
    l.open_folders.push_back(id);
    for (const std::string& name : names) {
        if (listing_ended(l, tracks))
            break;
        if (l.own_left && *l.own_left <= 0) {
            ++l.own_cut;
            continue;
        }
        if (l.own_left)
            --*l.own_left;
        if (name_refused(l, dir, name))
            continue;
        std::string path = dir + "/" + name;
        if (stat(path.c_str(), &st) != 0)
            continue;
        if (S_ISDIR(st.st_mode)) {
            if (may_enter(l, dir, name, path))
                list_folder(l, path, depth + 1);
        } else if (S_ISREG(st.st_mode)) {
            if (loose_passed && !is_archive_name(name.c_str()))
                continue;
            if (!may_enter(l, dir, name, path))
                continue;
            // Pipes and devices are not data: opening one could block the index build.
            if (!add_loose_file(l, path, st.st_size))
                break;
        }
    }
    l.open_folders.pop_back();
}

}  // namespace

void list_folder_into(growable_array* entries, const char* folder, int priority, listing_budget& budget)
{
    listing l{entries, strlen(folder), priority, {}, {}, budget};
    std::string top = folder;
    while (!top.empty() && top.back() == '/')
        top.pop_back();
    l.top_real = data_resolved(top.empty() ? "/" : top);
    if (l.top_real.empty())
        l.top_real = top;
    list_folder(l, top, 0);
}
