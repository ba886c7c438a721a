#include "foundation/index/listing_budget.h"

#include "foundation/door/data_read.h"
#include "foundation/door/download.h"
#include "foundation/growable_array.h"
#include "foundation/index/saf_archive.h"
#include "foundation/memory.h"
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

namespace {

// The search folder text that the loose entry's path starts with (its trailing "/"
// included).
std::string container_path_prefix(const file_index_entry& e)
{
    const std::string path = e.container_path;
    return path.substr(0, path.size() - strlen(e.relative_name));
}

}  // namespace

std::string track_download_of(const char* relative_name)
{
    const download_name d = download_of(relative_name);
    return d.kind == download_kind::track ? std::string(relative_name, d.key) : std::string();
}

void list_archive_into(growable_array* entries, const file_index_entry& archive, int priority,
                       listing_budget& budget)
{
    // The reader may move the array that holds the archive's own entry.
    char* const container = archive.container_path;
    const std::string name = archive.relative_name;
    const std::string folder = container_path_prefix(archive);
    // An archive inside a track folder spends what that folder left; any other is a
    // download of its own.
    const std::string download = download_of_entries(name.c_str());
    int own = budget.bounds.download_names;
    int* left = &own;
    if (download != name) {
        if (budget.left_out.count(download))
            return;
        auto found = budget.downloads_left.find(download);
        if (found != budget.downloads_left.end())
            left = &found->second;
    }
    budget.archive_downloads[priority] = download;
    const int allowed = std::max(0, *left);
    // Opened by the read step, as the name it is in its search folder: in the user
    // folder beneath its download.
    FILE* file = data_read_open(name, archive.priority, "rb");
    if (file && budget.spin)
        budget.spin();
    const int read = file ? read_archive_into(entries, file, container, priority, allowed) : 0;
    *left -= read;
    if (read <= allowed)
        return;
    budget.left_out.insert(download);
    qorl_log("Listing skipped %s%s: too many entries in one download\n", folder.c_str(), download.c_str());
}

void drop_left_out_downloads(growable_array* entries, const std::vector<listing_budget>& budgets)
{
    bool any = false;
    for (const listing_budget& b : budgets)
        any = any || !b.left_out.empty();
    if (!any)
        return;
    auto* all = static_cast<file_index_entry*>(entries->items);
    int kept = 0;
    for (int i = 0; i < entries->count; ++i) {
        file_index_entry& e = all[i];
        bool dropped = false;
        if (e.priority >= 0 && size_t(e.priority) < budgets.size()) {
            const std::string download = track_download_of(e.relative_name);
            dropped = !download.empty() && budgets[size_t(e.priority)].left_out.count(download);
        } else {
            for (const listing_budget& b : budgets) {
                auto found = b.archive_downloads.find(e.priority);
                if (found != b.archive_downloads.end()) {
                    dropped = b.left_out.count(found->second) > 0;
                    break;
                }
            }
        }
        if (dropped)
            mem_free(e.owned_text);
        else
            all[kept++] = e;
    }
    entries->count = kept;
}
