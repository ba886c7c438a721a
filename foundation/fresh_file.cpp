#include "foundation/fresh_file.h"

#include "foundation/data_name.h"
#include "foundation/data_paths.h"
#include "foundation/file_index_internal.h"
#include "foundation/os_paths.h"
#include "foundation/vfs.h"
#include "foundation/whole_file.h"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Names tried before giving up: a folder would have to hold this many of our
// unguessable names already.
constexpr int kNameTries = 64;
constexpr size_t kMakeFoldersPathMax = 1023;
constexpr size_t kNameDigits = 12;
// Names a sweep reads: as many as the file index lists in one folder, so a folder it
// would skip costs a save no more than the listing.
constexpr int kSweepNames = 100000;

}  // namespace

// A name nobody could have planted in advance: the process, a count and the clock,
// mixed so that consecutive names share no visible pattern.
std::string fresh_file_name(const std::string& target)
{
    static uint64_t count = 0;
    uint64_t x = uint64_t(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                 (uint64_t(os_process_id()) << 40) ^ (++count * 0x9e3779b97f4a7c15ull);
    x ^= x >> 30;
    x *= 0xbf58476d1ce4e5b9ull;
    x ^= x >> 27;
    x *= 0x94d049bb133111ebull;
    x ^= x >> 31;
    char tail[24];
    snprintf(tail, sizeof tail, ".tmp-%012llx", static_cast<unsigned long long>(x & 0xffffffffffffull));
    return target + tail;
}

namespace {

// A new file under a fresh name beside target; only EEXIST (the name is taken, by a
// file or by a link) makes another name worth trying.
FILE* create_beside(const std::string& target, std::string& name)
{
    for (int k = 0; k < kNameTries; ++k) {
        name = fresh_file_name(target);
        if (FILE* file = os_create_new_file(name.c_str()))
            return file;
        if (errno != EEXIST)
            break;
    }
    name.clear();
    return nullptr;
}

// A write into the user folder stays there, however the name or the links on its way
// were made; a link at the target is replaced, never followed.
bool resolve(const char* name, std::string& out)
{
    if (!name || !*name || !data_write_path(name, data_link::replace, out))
        return false;
    if (name[0] == '/' && out.size() <= kMakeFoldersPathMax)
        os_make_parent_folders(out.c_str());
    return true;
}

}  // namespace

bool fresh_file_is_leftover(const char* name)
{
    const size_t length = strlen(name);
    constexpr size_t kTail = 5 + kNameDigits;   // ".tmp-" and the digits
    if (length <= kTail || memcmp(name + length - kTail, ".tmp-", 5) != 0)
        return false;
    for (size_t k = length - kNameDigits; k < length; ++k)
        if (!((name[k] >= '0' && name[k] <= '9') || (name[k] >= 'a' && name[k] <= 'f')))
            return false;
    return true;
}

int fresh_file_open(const char* name, fresh_file* w)
{
    w->f = nullptr;
    w->temp.clear();
    if (!resolve(name, w->target))
        return 0;
    FILE* file = create_beside(w->target, w->temp);
    if (!file)
        return 0;
    w->f = vfs_adopt(file);
    if (!w->f) {
        fclose(file);
        remove(w->temp.c_str());
        return 0;
    }
    return 1;
}

int fresh_file_seal(fresh_file* w, bool wrote)
{
    vfs_file* f = w->f;
    w->f = nullptr;
    if (!f)
        return 0;
    const bool ok = file_finish(f, wrote, true) == 1;
    if (!ok)
        remove(w->temp.c_str());
    return ok ? 1 : 0;
}

int fresh_file_place(const std::string& temp, const std::string& target)
{
    if (rename(temp.c_str(), target.c_str()) == 0)
        return 1;
    remove(temp.c_str());
    return 0;
}

int fresh_file_close(fresh_file* w, bool wrote)
{
    return fresh_file_seal(w, wrote) && fresh_file_place(w->temp, w->target) ? 1 : 0;
}

int fresh_file_write(const char* name, int (*writer)(vfs_file* f, void* context), void* context)
{
    fresh_file w;
    if (!fresh_file_open(name, &w))
        return 0;
    const bool wrote = writer(w.f, context) == 1;
    return fresh_file_close(&w, wrote);
}

int fresh_file_sweep(const std::string& folder)
{
    // Only a folder that lies, links resolved, inside the user folder is swept: a track
    // folder planted as a link must not cost files elsewhere.
    const std::string probe_name = folder + "/x";
    std::string probe;
    if (!data_in_user_folder(probe_name.c_str()) || !data_write_path(probe_name.c_str(), data_link::replace, probe))
        return 0;
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        return 0;
    ++file_index_work.folders_read;
    std::vector<std::string> leftovers;
    int names = 0;
    while (dirent* entry = readdir(dir)) {
        if (++names > kSweepNames)
            break;
        if (fresh_file_is_leftover(entry->d_name) && !data_name_check(entry->d_name, nullptr))
            leftovers.emplace_back(entry->d_name);
    }
    closedir(dir);
    file_index_work.names_read += names;
    int removed = 0;
    // Each name is one entry of this folder that passed the data-name door.
    for (const std::string& name : leftovers)
        removed += unlink((folder + "/" + name).c_str()) == 0 ? 1 : 0;
    file_index_work.swept += removed;
    return removed;
}

vfs_file* fresh_file_create(const char* name)
{
    fresh_file w;
    if (!fresh_file_open(name, &w))
        return nullptr;
    if (rename(w.temp.c_str(), w.target.c_str()) != 0) {
        vfs_close(w.f);
        remove(w.temp.c_str());
        return nullptr;
    }
    return w.f;
}
