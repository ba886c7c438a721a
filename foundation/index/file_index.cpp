// Equal names keep the order they were added in (folder listing order, then archive
// header order), so lookups are deterministic.
#include "foundation/index/file_index.h"

#include "foundation/door/download.h"
#include "foundation/door/search_folders.h"
#include "foundation/growable_array.h"
#include "foundation/index/folder_listing.h"
#include "foundation/index/listing_budget.h"
#include "foundation/index/listing_twins.h"
#include "foundation/memory.h"
#include "platform/qorl_log.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <strings.h>
#include <vector>

namespace {

bool built = false;
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

void build_index(const listing_bounds& bounds, bool sweep)
{
    built = true;
    // A failed first block is retried by the first push.
    array_init(&entries, sizeof(file_index_entry));
    qorl_log("Listing directories\n");
    const int folders = search_folder_count();
    // Each search folder's archives spend what its loose files left.
    std::vector<listing_budget> budgets(size_t(std::max(folders, 0)), listing_budget(bounds));
    for (int i = 0; i < folders; ++i) {
        listing_budget& b = budgets[size_t(i)];
        b.trusted = search_folder_trusted(i);
        b.spin = spinner_hook;
        b.sweep = sweep && !b.trusted;
        list_folder_into(&entries, data_search_dir(i), i, b);
    }
    sort_entries();

    qorl_log("Listing archives\n");
    // Only loose files are archives to open: nothing inside an archive is.
    const int loose = entries.count;
    int archive_priority = folders;
    for (int i = 0; i < loose; ++i) {
        const file_index_entry& e = all_entries()[i];
        if (download_is_archive(e.relative_name))
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
    // Every name in "tracks" begins so in some case, so they stand together in the
    // order whatever comes after: ordered by the part after "tracks/" as spelt, then
    // the rest without case.
    const download_name x = download_of(a), y = download_of(b);
    if (x.spelt_to == 0 || y.spelt_to == 0)
        return compare_ignoring_case(a, b);
    const int spelt = std::string_view(a + x.spelt_from, x.spelt_to - x.spelt_from)
                          .compare(std::string_view(b + y.spelt_from, y.spelt_to - y.spelt_from));
    return spelt != 0 ? spelt : compare_ignoring_case(a + x.spelt_to, b + y.spelt_to);
}

void file_index_set_spinner(void (*spinner)())
{
    spinner_hook = spinner;
}

int file_index_build(const listing_bounds& bounds, bool sweep)
{
    if (built)
        return 0;
    const long before = listing_counts.swept;
    build_index(bounds, sweep);
    return int(listing_counts.swept - before);
}

char** file_index_list()
{
    file_index_build(kListingBounds, false);
    return unique_names;
}

listing_work file_index_work_done()
{
    return listing_counts;
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
