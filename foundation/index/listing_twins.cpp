// The index matches names without regard to letter case but for a track's folder, so
// an archive's entry "tracks/mytrack/nofrills.js" (or "Tracks/mytrack/decals") would
// serve the player's "tracks/mytrack": its script would run on the player's ground, and the next editor
// save would write its decals into the player's folder. Such entries are left out,
// with one line for each archive. The program's own data still lies beneath a track
// of the same name in the user folder, so a bundled track the player has edited keeps
// the pictures it came with.
#include "foundation/index/listing_twins.h"

#include "foundation/door/download.h"
#include "foundation/growable_array.h"
#include "foundation/index/listing_budget.h"
#include "foundation/memory.h"
#include "platform/qorl_log.h"

#include <map>
#include <set>
#include <string>

namespace {

// The search folder and download an archive entry came in; false for a loose entry.
bool archive_of(const file_index_entry& e, const std::vector<listing_budget>& budgets, size_t& folder,
                std::string& download)
{
    if (e.priority >= 0 && size_t(e.priority) < budgets.size())
        return false;
    for (folder = 0; folder < budgets.size(); ++folder) {
        auto found = budgets[folder].archive_downloads.find(e.priority);
        if (found != budgets[folder].archive_downloads.end()) {
            download = found->second;
            return true;
        }
    }
    return false;
}

}  // namespace

void leave_out_foreign_track_entries(growable_array* entries, const std::vector<listing_budget>& budgets)
{
    auto* all = static_cast<file_index_entry*>(entries->items);
    // The track folders each strangers' search folder holds as folders.
    std::vector<std::set<std::string>> held(budgets.size());
    for (int i = 0; i < entries->count; ++i) {
        const file_index_entry& e = all[i];
        if (e.priority >= 0 && size_t(e.priority) < budgets.size() && !budgets[size_t(e.priority)].trusted) {
            const std::string folder = download_track_folder(e.relative_name);
            if (!folder.empty())
                held[size_t(e.priority)].insert(folder);
        }
    }
    std::map<std::string, std::pair<int, std::string>> told;   // by archive: entries left out, a track
    int kept = 0;
    for (int i = 0; i < entries->count; ++i) {
        file_index_entry& e = all[i];
        size_t folder = 0;
        std::string download;
        if (archive_of(e, budgets, folder, download) && !budgets[folder].trusted) {
            const std::string track = download_track_folder(e.relative_name);
            if (!track.empty() && track != download && held[folder].count(track)) {
                auto& t = told[e.container_path];
                if (t.first++ == 0)
                    t.second = track;
                mem_free(e.owned_text);
                continue;
            }
        }
        all[kept++] = e;
    }
    entries->count = kept;
    for (const auto& [archive, t] : told)
        qorl_log("Archive %s: %d entries left out: they lie in %s, a track the user folder holds as a folder\n",
                 archive.c_str(), t.first, t.second.c_str());
}
