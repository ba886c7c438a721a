// The recursive listing of a search folder. Names are taken in byte order so the
// index is the same on every file system. Links are followed only to folders inside
// the search folder, and a folder already on the current path is skipped, so a link
// back up the tree cannot recurse for ever. Links that fan out could still list the
// same folders exponentially often, so the names and the depth are bounded too. One
// bad folder is skipped on its own so that it cannot hide the folders beside it. A
// name the data-name door refuses (a line break in it, say) is left out with its
// files, since such a name would end up in the settings or a menu.
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
    listing_bounds bounds;
    int names_left;
    int skips_left;
    bool stopped = false;
    int names_refused = 0;
};

const char* shown(const std::string& dir)
{
    return dir.empty() ? "/" : dir.c_str();
}

// Stops the whole listing of the search folder, with one line naming where.
void stop(listing& l, const std::string& dir, const char* why)
{
    if (!l.stopped)
        qorl_log("Listing stopped in %s: %s\n", shown(dir), why);
    l.stopped = true;
}

// Leaves one folder out, with one line naming it; too many of those stop the listing.
void skip(listing& l, const std::string& dir, const char* why)
{
    if (--l.skips_left < 0)
        stop(l, dir, "too many folders skipped");
    else
        qorl_log("Listing skipped %s: %s\n", shown(dir), why);
}

// Lines for the first few refused names only: one folder can hold many of them.
constexpr int kRefusedNamesTold = 8;

bool name_refused(listing& l, const std::string& dir, const std::string& name)
{
    const char* why = data_name_check(name.c_str(), nullptr);
    if (!why)
        return false;
    if (++l.names_refused <= kRefusedNamesTold)
        qorl_log("Listing skipped %s/%s: %s\n", shown(dir), data_name_shown(name.c_str()).c_str(), why);
    else if (l.names_refused == kRefusedNamesTold + 1)
        qorl_log("Listing skipped more names it refused\n");
    return true;
}

bool inside(const listing& l, const char* real)
{
    const size_t n = l.top_real.size();
    if (l.top_real == "/")
        return true;
    return strncmp(real, l.top_real.c_str(), n) == 0 && (real[n] == 0 || real[n] == '/');
}

// A link to a folder is followed only when the folder lies inside the search folder.
bool may_enter(const listing& l, const std::string& path)
{
    struct stat st;
    if (lstat(path.c_str(), &st) != 0)
        return false;
    if (!S_ISLNK(st.st_mode))
        return true;
    char* real = realpath(path.c_str(), nullptr);
    const bool ok = real && inside(l, real);
    free(real);
    return ok;
}

enum class names_read { whole, too_many, total_passed };

// The folder's names in byte order. Reading ends at the first name past the folder's
// bound or the listing's total, so an oversized folder costs no more than that.
names_read sorted_names(listing& l, const char* folder, std::vector<std::string>& names)
{
    DIR* dir = opendir(folder);
    if (!dir)
        return names_read::whole;
    names_read result = names_read::whole;
    while (dirent* entry = readdir(dir)) {
        if (strcmp(entry->d_name, ".") == 0 || strcmp(entry->d_name, "..") == 0)
            continue;
        if (--l.names_left < 0) {
            result = names_read::total_passed;
            break;
        }
        if (names.size() == size_t(l.bounds.folder_names)) {
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

// dir has no trailing "/" ("" stands for the root); depth counts the folders above it.
void list_folder(listing& l, const std::string& dir, int depth)
{
    if (l.stopped)
        return;
    if (depth > l.bounds.depth) {
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
    switch (sorted_names(l, dir_name, names)) {
    case names_read::whole:
        break;
    case names_read::too_many:
        skip(l, dir, "too many entries");
        return;
    case names_read::total_passed:
        stop(l, dir, "too many entries in all");
        return;
    }
    l.open_folders.push_back(id);
    for (const std::string& name : names) {
        if (l.stopped)
            break;
        if (name_refused(l, dir, name))
            continue;
        std::string path = dir + "/" + name;
        if (stat(path.c_str(), &st) != 0)
            continue;
        if (S_ISDIR(st.st_mode)) {
            if (may_enter(l, path))
                list_folder(l, path, depth + 1);
        } else if (S_ISREG(st.st_mode)) {
            // Pipes and devices are not data: opening one could block the index build.
            if (!add_loose_file(l, path, st.st_size))
                break;
        }
    }
    l.open_folders.pop_back();
}

}  // namespace

void list_folder_into(growable_array* entries, const char* folder, int priority, const listing_bounds& bounds)
{
    listing l{entries, strlen(folder), priority, {}, {}, bounds, bounds.names, bounds.skipped};
    std::string top = folder;
    while (!top.empty() && top.back() == '/')
        top.pop_back();
    char* real = realpath(top.empty() ? "/" : top.c_str(), nullptr);
    l.top_real = real ? real : top;
    free(real);
    list_folder(l, top, 0);
}
