// The recursive listing of a search folder, walked by open folders from the top down.
// Names are taken in byte order so the index is the same on every file system. In the
// user folder a link, to a folder or a file, is followed and listed only when it stays
// inside the download it stands in (door/download.h: a downloaded "desc" linked to a file
// elsewhere would show that file, and a folder linked into another download would be
// charged to the wrong one), and what it leads to is looked at beneath the download,
// never opened when it leads out; the program's own folders are trusted with their
// links, since an installation may be a farm of them.
// A folder already on the current path is skipped, so a link back up the tree cannot
// recurse for ever. Links that fan out could still list the same folders
// exponentially often, so the names and the depth are bounded too. One bad folder is
// skipped on its own so that it cannot hide the folders beside it, and one download
// spends bounds of its own so that it cannot hide the others. A name the data-name
// check refuses (a line break in it, say) is left out with its files, since such a
// name would end up in the settings or a menu.
//
// The start's build also sweeps: in the folders the game writes, reached without a
// link, what killed writes left is removed as the listing reads the folder, so the
// user folder is walked once and the sweep spends what the listing does. A name that
// bears the game's mark (door/temp_mark.h) is never listed.
#include "foundation/index/folder_listing.h"

#include "foundation/door/data_name.h"
#include "foundation/door/door_faults.h"
#include "foundation/door/download.h"
#include "foundation/door/temp_mark.h"
#include "foundation/growable_array.h"
#include "foundation/index/listing_budget.h"
#include "foundation/memory.h"
#include "platform/qorl_log.h"

#include <algorithm>
#include <climits>
#include <queue>
#include <tuple>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

listing_work listing_counts;

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
    int fd = -1;              // its folder, open while it is listed
};

struct listing {
    growable_array* entries;
    size_t top_length;        // characters of the search folder text, trailing "/" included
    int priority;
    std::vector<folder_id> open_folders;
    int top_fd;               // the search folder, open
    listing_budget& budget;
    download* dl = nullptr;   // the download being listed, if any
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

// Why the door refuses a name, or its data name below the search folder would be
// longer than the door takes (nothing could open it, and a folder of such names costs
// the listing and the track list for nothing); null when it is taken.
const char* name_refusal(const listing& l, const std::string& dir, const std::string& name)
{
    const size_t below = dir.size() + 1 + name.size() - std::min(dir.size() + 1, l.top_length);
    return below + 1 > kDataNameMax ? "its data name is longer than 255 characters"
                                    : data_name_check(name.c_str(), nullptr);
}

bool name_refused_quietly(const listing& l, const std::string& dir, const std::string& name)
{
    return name_refusal(l, dir, name) != nullptr;
}

bool name_refused(listing& l, const std::string& dir, const std::string& name)
{
    const char* why = name_refusal(l, dir, name);
    if (!why)
        return false;
    tell_refused(l, dir, name, why);
    return true;
}

// Whether a link found in the user folder (at name in the open folder dir_fd) leads
// where it may: inside its download, as the door's read step takes it, looked at
// beneath the download's folder so that nothing it leads out to is opened. Outside
// every download (at the top, and the loose names in "tracks") a link is its own
// download and leads to something else's bytes, so it is not followed. A download
// tells its first link leading out in one line; the top tells each (a few at most).
// st is what the link leads to.
bool link_allowed(listing& l, const std::string& dir, const std::string& name, struct stat& st)
{
    if (!l.dl) {
        tell_refused(l, dir, name, "a link outside every download");
        return false;
    }
    const std::string inner = (dir.size() > l.dl->path.size() ? dir.substr(l.dl->path.size() + 1) + "/" : "") + name;
    const int fd = download_open_beneath(l.dl->fd, inner, O_PATH);
    if (fd >= 0) {
        const bool seen = fstat(fd, &st) == 0;
        close(fd);
        if (seen)
            return true;
    }
    if (!l.dl->link_told)
        qorl_log("Listing skipped %s/%s: a link leading out of its download\n", shown(dir),
                 data_name_shown(name.c_str()).c_str());
    l.dl->link_told = true;
    return false;
}

// What stands at a name of an open folder, without following a link: DT_UNKNOWN
// asks the file system.
unsigned char entry_type(int dir, const dirent* entry)
{
    if (entry->d_type != DT_UNKNOWN)
        return entry->d_type;
    struct stat st;
    if (fstatat(dir, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return DT_UNKNOWN;
    return S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : S_ISLNK(st.st_mode) ? DT_LNK : DT_UNKNOWN;
}

enum class names_read { whole, too_many, download_passed, total_passed };

// How one folder is read: what its names are charged to, and whether its leftovers go.
struct folder_read {
    int limit;                   // names read at most (the folder's bound)
    bool sweep = false;
};

// Sweeps the leftovers of a folder read whole (a write still under way holds its own
// and keeps it); those that stay, and those of a folder not read whole, are not
// listed: no name the game takes bears the mark.
void sweep_leftovers(int dir, const std::vector<std::string>& leftovers)
{
    for (const std::string& name : leftovers)
        if (temp_mark_sweep(dir, name.c_str()))
            ++listing_counts.swept;
}

// The folder's names in byte order. Reading ends at the first name past the folder's
// bound, its download's or the listing's total, so an oversized folder costs no more
// than that. A folder read whole and swept loses its leftovers here, removed from the
// folder read and never through a link.
names_read sorted_names(listing& l, int fd, std::vector<std::string>& names, const folder_read& how)
{
    const int listed = dup(fd);
    DIR* dir = listed >= 0 ? fdopendir(listed) : nullptr;
    if (!dir) {
        if (listed >= 0)
            close(listed);
        return names_read::whole;
    }
    ++listing_counts.folders_read;
    std::vector<std::string> leftovers;
    names_read result = names_read::whole;
    int taken = 0;
    while (dirent* entry = readdir(dir)) {
        if (strcmp(entry->d_name, ".") == 0 || strcmp(entry->d_name, "..") == 0)
            continue;
        ++listing_counts.names_read;
        if (l.dl) {
            if (--l.dl->names_left < 0) {
                result = names_read::download_passed;
                break;
            }
        } else if (--l.budget.names_left < 0) {
            result = names_read::total_passed;
            break;
        }
        // Leftovers count among the names a folder may hold: the names are read either way.
        if (taken++ == how.limit) {
            result = names_read::too_many;
            break;
        }
        if (temp_mark_is(entry->d_name)) {
            if (how.sweep && entry->d_type != DT_DIR)
                leftovers.emplace_back(entry->d_name);
        } else {
            names.emplace_back(entry->d_name);
        }
    }
    if (result == names_read::whole)
        sweep_leftovers(fd, leftovers);
    closedir(dir);
    std::sort(names.begin(), names.end());
    return result;
}

// A download in "tracks" by its age, then its name: the larger is the newer.
using aged = std::tuple<long long, std::string>;

// The names of "tracks", each download charged to itself. Every name is read, so the
// cut sees every download that would be listed (a folder or an archive, no link, a
// name the door takes) however many names stand beside them; only the oldest
// track_folders downloads are kept, in a structure of that size, and each is aged as
// it stands (a link is never followed to age it). The loose files are one download:
// past their bound they are all left out (*loose_passed). Links and refused names are
// kept only as far as their lines go.
void tracks_names(listing& l, int fd, const std::string& dir, std::vector<std::string>& names, bool sweep,
                  bool& loose_passed)
{
    const int listed = dup(fd);
    DIR* d = listed >= 0 ? fdopendir(listed) : nullptr;
    if (!d) {
        if (listed >= 0)
            close(listed);
        return;
    }
    ++listing_counts.folders_read;
    const size_t bound = size_t(std::max(l.budget.bounds.track_folders, 0));
    std::priority_queue<aged> kept;   // the newest kept on top
    std::priority_queue<aged, std::vector<aged>, std::greater<aged>> newest_cut;   // a few, the oldest on top
    constexpr size_t kCutNamed = 8;
    size_t cut = 0;
    int loose_left = l.budget.bounds.download_names, others = 0;
    std::vector<std::string> loose, leftovers;
    while (dirent* entry = readdir(d)) {
        const char* name = entry->d_name;
        if (strcmp(name, ".") == 0 || strcmp(name, "..") == 0)
            continue;
        ++listing_counts.names_read;
        const unsigned char type = entry_type(fd, entry);
        if (temp_mark_is(name)) {
            if (sweep && type != DT_DIR && --loose_left >= 0)
                leftovers.emplace_back(name);
            continue;
        }
        const bool refused = name_refused_quietly(l, dir, name);
        const bool download = !refused && (type == DT_DIR || (type == DT_REG && download_is_archive(name)));
        if (!download) {
            // A loose file is listed within its download's bound; a link or a refused
            // name has its line, and past the lines it costs nothing more.
            if (!refused && type == DT_REG) {
                if (--loose_left >= 0)
                    loose.emplace_back(name);
            } else if ((refused || type == DT_LNK) && others++ <= kRefusedNamesTold) {
                names.emplace_back(name);
            }
            continue;
        }
        aged a{download_age_at(fd, name), name};
        if (kept.size() < bound) {
            kept.push(std::move(a));
            continue;
        }
        ++cut;
        if (bound > 0 && a < kept.top()) {
            aged newer = kept.top();
            kept.pop();
            kept.push(std::move(a));
            a = std::move(newer);
        }
        newest_cut.push(std::move(a));
        if (newest_cut.size() > kCutNamed)
            newest_cut.pop();
    }
    closedir(d);
    loose_passed = loose_left < 0;
    if (!loose_passed)
        sweep_leftovers(fd, leftovers);
    for (; !kept.empty(); kept.pop())
        names.push_back(std::get<1>(kept.top()));
    if (!loose_passed)
        names.insert(names.end(), loose.begin(), loose.end());
    std::sort(names.begin(), names.end());
    if (cut == 0)
        return;
    std::string which;
    std::vector<std::string> newest;
    for (; !newest_cut.empty(); newest_cut.pop())
        newest.push_back(std::get<1>(newest_cut.top()));
    for (auto it = newest.rbegin(); it != newest.rend(); ++it)
        which += (which.empty() ? "" : ", ") + data_name_shown(it->c_str());
    qorl_log("Listing shortened %s: the newest downloads past %zu left out: %zu, the newest %s%s\n", dir.c_str(),
             bound, cut, which.c_str(), cut > newest.size() ? " and older ones" : "");
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

void list_folder(listing& l, const std::string& dir, int fd, int depth, bool sweep);

// Lists a download folder (open in fd) whole or not at all, and keeps what it has left
// for the archives in it. A game folder is listed up to its bound instead, and says
// how many names past it were left out.
void list_download(listing& l, const std::string& dir, int fd, int depth, const std::string& relative, bool own,
                   bool sweep)
{
    const listing_bounds& b = l.budget.bounds;
    download d;
    d.path = dir;
    d.fd = fd;
    d.names_left = own ? b.folder_names : b.download_names;
    d.skips_left = b.skipped;
    if (own) {
        d.own = true;
        d.keep_left = b.download_names;
    }
    download* outer = l.dl;
    l.dl = &d;
    const int first = l.entries->count;
    list_folder(l, dir, fd, depth, sweep);
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

// What stands at name in the open folder fd, a link followed only as far as it may
// be: false when it names nothing, or a link that may not be followed.
bool entry_stat(listing& l, const std::string& dir, int fd, const std::string& name, struct stat& st, bool& link)
{
    if (fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    link = S_ISLNK(st.st_mode);
    if (!link)
        return true;
    if (l.budget.trusted)
        return fstatat(fd, name.c_str(), &st, 0) == 0;
    return link_allowed(l, dir, name, st);
}

// The folder at name in the open folder fd, opened for reading as it was looked at:
// a real folder never through a link (one put there since is not entered), a link
// only as link_allowed let it. -1 when it cannot be had.
int open_child(listing& l, const std::string& dir, int fd, const std::string& name, bool link)
{
    door_before_open(dir + "/" + name);
    if (!link)
        return openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (l.budget.trusted || !l.dl)
        return openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const std::string inner = (dir.size() > l.dl->path.size() ? dir.substr(l.dl->path.size() + 1) + "/" : "") + name;
    return download_open_beneath(l.dl->fd, inner, O_RDONLY | O_DIRECTORY);
}

// dir has no trailing "/" ("" stands for the root) and is open in fd; depth counts
// the folders above it. sweep: the folder is one the game writes, reached from the
// user folder without a link.
void list_folder(listing& l, const std::string& dir, int fd, int depth, bool sweep)
{
    const bool top = depth == 0;
    const bool tracks = depth == 1 && !l.dl && download_is_tracks_folder(dir.substr(l.top_length));
    if (listing_ended(l))
        return;
    if (depth > l.budget.bounds.depth) {
        skip(l, dir, "folders nested too deep");
        return;
    }
    if (l.budget.spin)
        l.budget.spin();
    const char* dir_name = shown(dir);
    struct stat st;
    if (fstat(fd, &st) != 0)
        return;
    folder_id id{st.st_dev, st.st_ino};
    if (std::find(l.open_folders.begin(), l.open_folders.end(), id) != l.open_folders.end())
        return;

    std::vector<std::string> names;
    const bool own = l.dl && l.dl->own;
    bool cut = false, partial = false, loose_passed = false;
    if (tracks) {
        tracks_names(l, fd, dir, names, sweep, loose_passed);
    } else {
        switch (sorted_names(l, fd, names, folder_read{l.budget.bounds.folder_names, sweep})) {
        case names_read::whole:
            break;
        case names_read::too_many:
            // The top and a game folder are cut there; any other folder is skipped.
            if (!top && !own) {
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
    }
    if (cut && own)
        ++l.dl->cut;
    else if (cut)
        qorl_log("Listing shortened %s: names past %zu left out\n", dir_name, names.size());
    // The player's tracks are listed whatever else the top holds.
    if (top && (cut || partial) && !std::binary_search(names.begin(), names.end(), std::string("tracks"))) {
        struct stat t;
        if (fstatat(fd, "tracks", &t, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(t.st_mode))
            names.insert(std::lower_bound(names.begin(), names.end(), std::string("tracks")), "tracks");
    }
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
        // A folder named like a game folder but for letter case is none of them.
        const char* twin = top && !l.budget.trusted ? download_case_twin(name) : nullptr;
        if (twin) {
            tell_refused(l, dir, name, (std::string("its name differs only by letter case from the game's folder \"") +
                                        twin + "\"").c_str());
            continue;
        }
        std::string path = dir + "/" + name;
        bool link = false;
        if (!entry_stat(l, dir, fd, name, st, link))
            continue;
        if (S_ISDIR(st.st_mode)) {
            const int child = open_child(l, dir, fd, name, link);
            if (child < 0)
                continue;
            // The folders a sweep enters are real ones: a folder found as a link is
            // listed but never swept.
            const bool real = sweep && !link;
            if (top) {
                if (download_is_tracks_folder(name))
                    list_folder(l, path, child, 1, real);
                else
                    list_download(l, path, child, 1, name, l.budget.trusted || download_is_game_folder(name),
                                  real && download_is_written_folder(name));
            } else if (tracks) {
                list_download(l, path, child, depth + 1, path.substr(l.top_length), false, real);
            } else {
                list_folder(l, path, child, depth + 1, real);
            }
            close(child);
        } else if (S_ISREG(st.st_mode)) {
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
    std::string top = folder;
    while (!top.empty() && top.back() == '/')
        top.pop_back();
    // The search folder itself may be reached through links: the player chose it.
    const int fd = open(top.empty() ? "/" : top.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    listing l{entries, strlen(folder), priority, {}, fd, budget};
    list_folder(l, top, fd, 0, budget.sweep);
    close(fd);
}
