// What a search folder's listing may spend, shared by its loose files and its
// archives: the totals, and each download's own bound.
#include "foundation/file_index.h"
#include "foundation/file_index_internal.h"
#include "platform/qorl_log.h"

#include <algorithm>
#include <cstring>
#include <strings.h>

void listing_stop(listing_budget& budget, const char* where, const char* why)
{
    if (!budget.stopped)
        qorl_log("Listing stopped in %s: %s\n", where, why);
    budget.stopped = true;
}

void listing_skip(listing_budget& budget, const char* where, const char* why)
{
    if (--budget.skips_left < 0)
        listing_stop(budget, where, "too many folders skipped");
    else
        qorl_log("Listing skipped %s: %s\n", where, why);
}

size_t download_length(const char* relative_name)
{
    const char* slash = strchr(relative_name, '/');
    if (slash && slash - relative_name == 6 && strncasecmp(relative_name, "tracks", 6) == 0)
        slash = strchr(slash + 1, '/');
    return slash ? size_t(slash - relative_name) : strlen(relative_name);
}

void list_archive_into(growable_array* entries, const file_index_entry& archive, int priority,
                       listing_budget& budget)
{
    if (budget.stopped)
        return;
    // The reader may move the array that holds the archive's own entry.
    char* const container = archive.container_path;
    const std::string name = archive.relative_name;
    // An archive inside a download spends what its folder left; any other is a
    // download of its own.
    int own = budget.bounds.download_names;
    int* left = &own;
    const size_t download = download_length(name.c_str());
    if (download < name.size()) {
        auto folder = budget.downloads_left.find(name.substr(0, download));
        if (folder != budget.downloads_left.end())
            left = &folder->second;
    }
    const int allowed = std::max(0, std::min(*left, budget.names_left));
    const int read = read_archive_into(entries, container, priority, allowed);
    *left -= read;
    budget.names_left -= read;
    if (read <= allowed)
        return;
    if (budget.names_left < 0)
        listing_stop(budget, container, "too many entries in all");
    else
        listing_skip(budget, container, "too many entries in one download");
}
