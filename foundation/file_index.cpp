// The file index: built once from the search folders and the ".saf" archives among
// their files, then searched by name. Equal names keep the order they were added in
// (folder listing order, then archive header order), so lookups are deterministic.
#include "foundation/file_index.h"
#include "foundation/data_paths.h"
#include "foundation/data_paths_internal.h"
#include "foundation/download.h"
#include "foundation/file_index_internal.h"
#include "foundation/growable_array.h"
#include "foundation/memory.h"
#include "platform/qorl_log.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <strings.h>
#include <vector>

listing_bounds file_index_listing_bounds = kListingBounds;

namespace {

bool built = false;
bool sweep_at_build = false;
growable_array entries{};
char** unique_names = nullptr;
void (*spinner_hook)() = nullptr;

file_index_entry* all_entries()
{
    return static_cast<file_index_entry*>(entries.items);
}

bool entry_before(const file_index_entry& a, const file_index_entry& b)
{
    int c = file_index_compare_names(a.relative_name, b.relative_name);
    return c != 0 ? c < 0 : a.priority < b.priority;
}

void sort_entries()
{
    std::stable_sort(all_entries(), all_entries() + entries.count, entry_before);
}

void build_unique_names()
{
    unique_names = static_cast<char**>(mem_alloc((static_cast<size_t>(entries.count) + 1) * sizeof(char*)));
    if (!unique_names)
        return;
    int kept = 0;
    for (int i = 0; i < entries.count; ++i) {
        char* name = all_entries()[i].relative_name;
        if (kept == 0 || file_index_compare_names(unique_names[kept - 1], name) != 0)
            unique_names[kept++] = name;
    }
    unique_names[kept] = nullptr;
}

void build_index()
{
    built = true;
    // A failed first block is retried by the first push.
    array_init(&entries, sizeof(file_index_entry));
    qorl_log("Listing directories\n");
    const int folders = search_folder_count();
    // Each search folder's archives spend what its loose files left.
    std::vector<listing_budget> budgets(size_t(std::max(folders, 0)), listing_budget(file_index_listing_bounds));
    for (int i = 0; i < folders; ++i) {
        listing_budget& b = budgets[size_t(i)];
        b.trusted = search_folder_trusted(i);
        b.sweep = sweep_at_build && !b.trusted;
        list_folder_into(&entries, data_search_dir(i), i, b);
    }
    sweep_at_build = false;
    sort_entries();

    qorl_log("Listing archives\n");
    // Only loose files are archives to open: nothing inside an archive is.
    const int loose = entries.count;
    int archive_priority = folders;
    for (int i = 0; i < loose; ++i) {
        const file_index_entry& e = all_entries()[i];
        if (is_archive_name(e.relative_name))
            list_archive_into(&entries, e, archive_priority++, budgets[size_t(e.priority)]);
    }
    // A folder download whose archive passed what its loose files left goes whole; an
    // archive's entries in a track the user folder holds as a folder go.
    drop_left_out_downloads(&entries, budgets);
    leave_out_foreign_track_entries(&entries, budgets);
    sort_entries();

    qorl_log("Creating file list\n");
    build_unique_names();
    qorl_log("File index complete\n");
}

}  // namespace

void file_index_spin()
{
    if (spinner_hook)
        spinner_hook();
}

namespace {

int compare_ignoring_case(const char* a, const char* b)
{
    for (;; ++a, ++b) {
        int ca = tolower(static_cast<unsigned char>(*a));
        int cb = tolower(static_cast<unsigned char>(*b));
        if (ca != cb || ca == 0)
            return ca - cb;
    }
}

}  // namespace

int file_index_compare_names(const char* a, const char* b)
{
    // The name of a track's folder is matched as it is spelt (two folders that differ
    // only by case are two tracks), the rest without case. Every name in "tracks"
    // begins so in some case, so they stand together in the order whatever comes
    // after: ordered by the component after "tracks/" as spelt, then the rest.
    if (strncasecmp(a, "tracks/", 7) != 0 || strncasecmp(b, "tracks/", 7) != 0)
        return compare_ignoring_case(a, b);
    const size_t la = strcspn(a + 7, "/"), lb = strcspn(b + 7, "/");
    const int folder = std::string_view(a + 7, la).compare(std::string_view(b + 7, lb));
    return folder != 0 ? folder : compare_ignoring_case(a + 7 + la, b + 7 + lb);
}

void file_index_set_spinner(void (*spinner)())
{
    spinner_hook = spinner;
}

int file_index_build_sweeping()
{
    if (built)
        return 0;
    const long before = file_index_work.swept;
    sweep_at_build = true;
    build_index();
    return int(file_index_work.swept - before);
}

char** file_index_list()
{
    if (!built)
        build_index();
    return unique_names;
}

int file_index_find(const char* name)
{
    if (!built || entries.count == 0)
        return -1;
    file_index_entry* first = all_entries();
    file_index_entry* last = first + entries.count;
    // The first of a group of equal names has the lowest priority number.
    file_index_entry* hit = std::lower_bound(first, last, name, [](const file_index_entry& e, const char* key) {
        return file_index_compare_names(e.relative_name, key) < 0;
    });
    if (hit == last || file_index_compare_names(hit->relative_name, name) != 0)
        return -1;
    return static_cast<int>(hit - first);
}

int file_exists(const char* name)
{
    return file_index_find(name) != -1 ? 1 : 0;
}

const file_index_entry* file_index_get(int i)
{
    if (!built || i < 0 || i >= entries.count)
        return nullptr;
    return &all_entries()[i];
}

int file_index_next_of_name(int i)
{
    const file_index_entry* e = file_index_get(i);
    const file_index_entry* next = file_index_get(i + 1);
    return e && next && file_index_compare_names(e->relative_name, next->relative_name) == 0 ? i + 1 : -1;
}

size_t file_index_download_length(int i)
{
    const file_index_entry* e = file_index_get(i);
    if (!e)
        return 0;
    if (e->owned_text != e->container_path)
        return strlen(e->container_path);   // an archive entry: the archive
    const size_t folder = strlen(e->container_path) - strlen(e->relative_name);
    return folder + download_length(e->relative_name);
}

bool file_index_program_own(int i)
{
    const file_index_entry* e = file_index_get(i);
    if (!e)
        return false;
    if (e->priority < search_folder_count())
        return search_folder_trusted(e->priority);
    const char* user = user_data_folder();
    return !user || strncmp(e->container_path, user, strlen(user)) != 0;
}

long long file_index_download_age(const std::string& path)
{
    return download_age(path);
}

int file_index_describe(int i, char* buffer, int size)
{
    const file_index_entry* e = file_index_get(i);
    if (!e || !buffer || size <= 0)
        return 0;
    snprintf(buffer, static_cast<size_t>(size), "%s -> %s", e->relative_name, e->container_path);
    return 1;
}

void vfs_shutdown()
{
    for (int i = 0; i < entries.count; ++i)
        mem_free(all_entries()[i].owned_text);
    array_free(&entries);
    mem_free(unique_names);
    unique_names = nullptr;
    built = false;
    search_folders_free();
}
