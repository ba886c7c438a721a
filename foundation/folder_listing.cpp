// The recursive listing of a search folder. Names are taken in byte order so the
// index is the same on every file system. In the user folder a link, to a folder or a
// file, is followed and listed only when it leads inside the download it stands in (a
// downloaded "desc" linked to a file elsewhere would show that file, and a folder
// linked into another download would be charged to the wrong one); the program's own
// folders are trusted with their links, since an installation may be a farm of them.
// A folder already on the current path is skipped, so a link back up the tree cannot
// recurse for ever. Links that fan out could still list the same folders
// exponentially often, so the names and the depth are bounded too. One bad folder is
// skipped on its own so that it cannot hide the folders beside it, and one download
// spends bounds of its own so that it cannot hide the others. A name the data-name
// door refuses (a line break in it, say) is left out with its files, since such a
// name would end up in the settings or a menu.
//
// The start's build also sweeps: in the folders the game writes, reached without a
// link, what killed writes left is removed as the listing reads the folder, so the
// user folder is walked once and the sweep spends what the listing does.
#include "foundation/data_name.h"
#include "foundation/file_index.h"
#include "foundation/file_index_internal.h"
#include "foundation/fresh_file.h"
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
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

listing_work file_index_work;

namespace {

struct folder_id {
    dev_t device;
    ino_t inode;
    bool operator==(const folder_id&) const = default;
};

// What one download, or one of the game's own folders, may still spend.
struct download {
    std::string path;         // its folder, as listed
    int names_left = 0;       // names read
    int skips_left = 0;
    int keep_left = INT_MAX;  // names kept: a game folder's bound
    bool own = false;         // a game folder: cut past its bound, never left out
    bool passed = false;      // past a bound: nothing more of it is listed
    const char* why = "too many entries";
    int cut = 0;              // names a game folder left out
    bool link_told = false;
    std::string real;         // its folder with links resolved, once a link needs it
};

struct listing {
    growable_array* entries;
    size_t top_length;        // characters of the search folder text, trailing "/" included
    int priority;
    std::vector<folder_id> open_folders;
    std::string top_real;     // the search folder with its links resolved
    listing_budget& budget;
    download* dl = nullptr;   // the download being listed, if any
    int names_refused = 0;
};

// The folders the game itself writes into, directly in the user folder, whose
// leftovers the start sweeps; and the game's own folders, cut rather than left out.
constexpr const char* kWrittenFolders[] = {"demos", "setups", "keycam", "series"};
constexpr const char* kOwnFolders[] = {"demos", "setups", "keycam", "series", "outgoing"};

template <size_t n>
bool one_of(const char* const (&names)[n], const std::string& name)
{
    return std::any_of(std::begin(names), std::end(names),
                       [&name](const char* own) { return strcasecmp(own, name.c_str()) == 0; });
}

const char* shown(const std::string& dir)
{
    return dir.empty() ? "/" : dir.c_str();
}

void stop(listing& l, const std::string& dir, const char* why)
{
    listing_stop(l.budget, shown(dir), why);
}

// A skip inside a download is charged to that download: too many leave it out whole,
// or end a game folder there.
void skip(listing& l, const std::string& dir, const char* why)
{
    if (!l.dl) {
        listing_skip(l.budget, shown(dir), why);
    } else if (--l.dl->skips_left < 0) {
        l.dl->passed = true;
        l.dl->why = "too many folders skipped";
    } else {
        qorl_log("Listing skipped %s: %s\n", shown(dir), why);
    }
}

// A download past its bound reads nothing more; a game folder keeps what it read.
bool listing_ended(listing& l)
{
    if (!l.dl || !l.dl->passed)
        return false;
    if (l.dl->own)
        ++l.dl->cut;
    return true;
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

// Whether a link found in the user folder leads where it may: inside its download, as
// the door's read step takes it. Outside every download (at the top, and the loose
// names in "tracks") a link is its own download and leads to something else's bytes,
// so it is not followed. A download tells its first link leading out in one line; the
// top tells each (a few at most).
bool link_allowed(listing& l, const std::string& dir, const std::string& name, const std::string& path)
{
    const std::string real = data_resolved(path);
    if (!l.dl) {
        tell_refused(l, dir, name, data_lies_inside(real, l.top_real) ? "a link leading out of its download"
                                                                     : "a link leading out of the search folder");
        return false;
    }
    if (l.dl->real.empty())
        l.dl->real = data_resolved(l.dl->path);
    if (!l.dl->real.empty() && data_lies_inside(real, l.dl->real))
        return true;
    if (!l.dl->link_told)
        qorl_log("Listing skipped %s/%s: a link leading out of its download\n", shown(dir),
                 data_name_shown(name.c_str()).c_str());
    l.dl->link_told = true;
    return false;
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

// How one folder is read: what its names are charged to, and whether its leftovers go.
struct folder_read {
    int* loose_left = nullptr;   // "tracks": what its loose files have left
    int limit;                   // names read at most (the folder's bound)
    bool sweep = false;
    folder_id id{};              // the folder as found: swept only if it is still that one
};

// The folder's names in byte order. Reading ends at the first name past the folder's
// bound, its download's or the listing's total, so an oversized folder costs no more
// than that. "tracks" holds downloads, each charged to itself: its loose files past
// their bound are read on to find the folders among them but no longer kept, and the
// caller leaves them all out. A folder read whole and swept loses its leftovers here,
// removed from the folder read and never through a link; the rest are listed.
names_read sorted_names(listing& l, const char* folder, std::vector<std::string>& names, folder_read& how)
{
    DIR* dir = opendir(folder);
    if (!dir)
        return names_read::whole;
    ++file_index_work.folders_read;
    struct stat st;
    if (how.sweep && (fstat(dirfd(dir), &st) != 0 || !(folder_id{st.st_dev, st.st_ino} == how.id)))
        how.sweep = false;
    std::vector<std::string> leftovers;
    names_read result = names_read::whole;
    while (dirent* entry = readdir(dir)) {
        if (strcmp(entry->d_name, ".") == 0 || strcmp(entry->d_name, "..") == 0)
            continue;
        ++file_index_work.names_read;
        if (how.loose_left) {
            if (loose_track_file(dir, entry) && --*how.loose_left < 0)
                continue;
        } else if (l.dl) {
            if (--l.dl->names_left < 0) {
                result = names_read::download_passed;
                break;
            }
        } else if (--l.budget.names_left < 0) {
            result = names_read::total_passed;
            break;
        }
        if (names.size() + leftovers.size() == size_t(how.limit)) {
            result = names_read::too_many;
            break;
        }
        if (how.sweep && entry->d_type != DT_DIR && fresh_file_is_leftover(entry->d_name) &&
            !data_name_check(entry->d_name, nullptr))
            leftovers.emplace_back(entry->d_name);
        else
            names.emplace_back(entry->d_name);
    }
    for (std::string& name : leftovers) {
        // Each name is one entry of this folder that passed the data-name door; a link
        // is removed itself, never what it names.
        if (result == names_read::whole && unlinkat(dirfd(dir), name.c_str(), 0) == 0)
            ++file_index_work.swept;
        else
            names.push_back(std::move(name));
    }
    closedir(dir);
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

void list_folder(listing& l, const std::string& dir, int depth, bool sweep);

// Lists a download folder whole or not at all, and keeps what it has left for the
// archives in it. A game folder is listed up to its bound instead, and says how many
// names past it were left out.
void list_download(listing& l, const std::string& dir, int depth, const std::string& relative, bool own,
                   bool sweep)
{
    const listing_bounds& b = l.budget.bounds;
    download d;
    d.path = dir;
    d.names_left = own ? b.folder_names : b.download_names;
    d.skips_left = b.skipped;
    if (own) {
        d.own = true;
        d.keep_left = b.download_names;
    }
    download* outer = l.dl;
    l.dl = &d;
    const int first = l.entries->count;
    list_folder(l, dir, depth, sweep);
    l.dl = outer;
    if (own) {
        if (d.cut > 0 || d.passed)
            qorl_log("Listing shortened %s: names past %d left out: %d\n", shown(dir), b.download_names, d.cut);
        return;
    }
    if (!d.passed) {
        l.budget.downloads_left[relative] = d.names_left;
        return;
    }
    drop_entries(l.entries, first);
    l.budget.left_out.insert(relative);
    qorl_log("Listing skipped %s: %s in one download\n", shown(dir), d.why);
}

// An entry of a folder, its links resolved: false when it names nothing, or a link
// that may not be followed.
bool entry_stat(listing& l, const std::string& dir, const std::string& name, const std::string& path,
                struct stat& st, bool& link)
{
    if (lstat(path.c_str(), &st) != 0)
        return false;
    link = S_ISLNK(st.st_mode);
    if (!link)
        return true;
    if (!l.budget.trusted && !link_allowed(l, dir, name, path))
        return false;
    return stat(path.c_str(), &st) == 0;
}

struct tracks_entry {
    std::string name;
    long long age;
};

// The downloads in "tracks" past its bound, the newest first, are left out with one
// line; the names kept stay in byte order.
void cut_newest_downloads(listing& l, const std::string& dir, std::vector<std::string>& names)
{
    const size_t bound = size_t(std::max(l.budget.bounds.track_folders, 0));
    if (names.size() <= bound)
        return;
    std::vector<tracks_entry> downloads;
    for (const std::string& name : names) {
        const std::string path = dir + "/" + name;
        struct stat st;
        if (stat(path.c_str(), &st) == 0 && (S_ISDIR(st.st_mode) || (S_ISREG(st.st_mode) && is_archive_name(name.c_str()))))
            downloads.push_back({name, download_age(path)});
    }
    if (downloads.size() <= bound)
        return;
    std::sort(downloads.begin(), downloads.end(), [](const tracks_entry& a, const tracks_entry& b) {
        return a.age != b.age ? a.age < b.age : a.name < b.name;
    });
    std::vector<std::string> newest;
    for (size_t i = bound; i < downloads.size(); ++i)
        newest.push_back(downloads[i].name);
    std::sort(newest.begin(), newest.end());
    std::vector<std::string> kept;
    std::set_difference(names.begin(), names.end(), newest.begin(), newest.end(), std::back_inserter(kept));
    names.swap(kept);
    qorl_log("Listing shortened %s: the newest downloads past %zu left out: %zu\n", dir.c_str(), bound,
             newest.size());
}

// dir has no trailing "/" ("" stands for the root); depth counts the folders above it.
// sweep: the folder is one the game writes, reached from the user folder without a link.
void list_folder(listing& l, const std::string& dir, int depth, bool sweep)
{
    const bool top = depth == 0;
    const bool tracks = depth == 1 && !l.dl && in_tracks(dir.c_str() + l.top_length);
    if (listing_ended(l))
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
    folder_read how{tracks ? &loose_left : nullptr, tracks ? l.budget.bounds.names : l.budget.bounds.folder_names,
                    sweep, id};
    const bool own = l.dl && l.dl->own;
    bool cut = false, partial = false;
    switch (sorted_names(l, dir_name, names, how)) {
    case names_read::whole:
        break;
    case names_read::too_many:
        // The top, "tracks" and a game folder are cut there; any other folder is skipped.
        if (!top && !tracks && !own) {
            skip(l, dir, "too many entries");
            return;
        }
        cut = true;
        break;
    case names_read::download_passed:
        // A game folder keeps what it read; it reads no further folder.
        l.dl->passed = true;
        if (!own)
            return;
        ++l.dl->cut;
        break;
    case names_read::total_passed:
        stop(l, dir, "too many entries in all");
        if (!top)
            return;
        partial = true;
        break;
    }
    if (cut && own)
        ++l.dl->cut;
    else if (cut)
        qorl_log("Listing shortened %s: names past %zu left out\n", dir_name, names.size());
    // The player's tracks are listed whatever else the top holds.
    if (top && (cut || partial) &&
        std::none_of(names.begin(), names.end(), [](const std::string& n) { return strcasecmp(n.c_str(), "tracks") == 0; })) {
        struct stat t;
        if (stat((dir + "/tracks").c_str(), &t) == 0 && S_ISDIR(t.st_mode))
            names.insert(std::lower_bound(names.begin(), names.end(), std::string("tracks")), "tracks");
    }
    if (tracks)
        cut_newest_downloads(l, dir, names);
    const bool loose_passed = loose_left < 0;
    if (loose_passed)
        qorl_log("Listing skipped the loose files in %s: too many entries in one download\n", dir_name);
    l.open_folders.push_back(id);
    for (const std::string& name : names) {
        if (own) {
            if (l.dl->keep_left <= 0) {
                ++l.dl->cut;
                continue;
            }
            --l.dl->keep_left;
        } else if (l.dl && l.dl->passed) {
            break;
        }
        if (name_refused(l, dir, name))
            continue;
        std::string path = dir + "/" + name;
        bool link = false;
        if (!entry_stat(l, dir, name, path, st, link))
            continue;
        if (S_ISDIR(st.st_mode)) {
            // The folders a sweep enters are real ones: a folder found as a link is
            // listed but never swept.
            const bool real = sweep && !link;
            if (top) {
                if (in_tracks(name.c_str()))
                    list_folder(l, path, 1, real);
                else
                    list_download(l, path, 1, name, l.budget.trusted || one_of(kOwnFolders, name),
                                  real && one_of(kWrittenFolders, name));
            } else if (tracks) {
                list_download(l, path, depth + 1, path.substr(l.top_length), false, real);
            } else {
                list_folder(l, path, depth + 1, real);
            }
        } else if (S_ISREG(st.st_mode)) {
            if (tracks && loose_passed && !is_archive_name(name.c_str()))
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
    list_folder(l, top, 0, budget.sweep);
}
