// The recursive listing of a search folder. Names are taken in byte order so the
// index is the same on every file system. Links are followed only to folders inside
// the search folder, and a folder already on the current path is skipped, so a link
// back up the tree cannot recurse for ever. Links that fan out could still list the
// same folders exponentially often, so the names and the depth are bounded too. One
// bad folder is skipped on its own so that it cannot hide the folders beside it, and
// one download spends a bound of its own so that it cannot hide the others. A name the
// data-name door refuses (a line break in it, say) is left out with its files, since
// such a name would end up in the settings or a menu.
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

void skip(listing& l, const std::string& dir, const char* why)
{
    listing_skip(l.budget, shown(dir), why);
}

bool download_passed(const listing& l)
{
    return l.download_left && *l.download_left < 0;
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

enum class names_read { whole, too_many, download_passed, total_passed };

// The folder's names in byte order. Reading ends at the first name past the folder's
// bound, its download's or the listing's total, so an oversized folder costs no more
// than that.
names_read sorted_names(listing& l, const char* folder, std::vector<std::string>& names)
{
    DIR* dir = opendir(folder);
    if (!dir)
        return names_read::whole;
    names_read result = names_read::whole;
    while (dirent* entry = readdir(dir)) {
        if (strcmp(entry->d_name, ".") == 0 || strcmp(entry->d_name, "..") == 0)
            continue;
        if (--l.budget.names_left < 0) {
            result = names_read::total_passed;
            break;
        }
        if (l.download_left && --*l.download_left < 0) {
            result = names_read::download_passed;
            break;
        }
        if (names.size() == size_t(l.budget.bounds.folder_names)) {
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
    list_folder(l, dir, depth);
    l.download_left = nullptr;
    if (left >= 0 && !l.budget.stopped)
        return;
    drop_entries(l.entries, first);
    l.budget.downloads_left.erase(relative);
    if (!l.budget.stopped)
        skip(l, dir, "too many entries in one download");
}

// dir has no trailing "/" ("" stands for the root); depth counts the folders above it.
void list_folder(listing& l, const std::string& dir, int depth)
{
    if (l.budget.stopped || download_passed(l))
        return;
    if (!l.download_left && depth > 0) {
        const std::string relative = dir.substr(l.top_length);
        if (download_length(relative.c_str()) == relative.size() && strcasecmp(relative.c_str(), "tracks") != 0) {
            list_download(l, dir, depth, relative);
            return;
        }
    }
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
    switch (sorted_names(l, dir_name, names)) {
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
    l.open_folders.push_back(id);
    for (const std::string& name : names) {
        if (l.budget.stopped || download_passed(l))
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

void list_folder_into(growable_array* entries, const char* folder, int priority, listing_budget& budget)
{
    listing l{entries, strlen(folder), priority, {}, {}, budget};
    std::string top = folder;
    while (!top.empty() && top.back() == '/')
        top.pop_back();
    char* real = realpath(top.empty() ? "/" : top.c_str(), nullptr);
    l.top_real = real ? real : top;
    free(real);
    list_folder(l, top, 0);
}
