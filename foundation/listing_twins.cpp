// Track folders whose names differ only by letter case. The index ignores case, so
// "tracks/MyTrack" from one download and "tracks/mytrack" from another would be one
// folder to it: the one's script would run on the other's ground, and an editor save
// would write the one's files into the other's folder. Each such name is kept by one
// download, and the others holding it are left out whole.
#include "foundation/data_paths.h"
#include "foundation/data_paths_internal.h"
#include "foundation/file_index.h"
#include "foundation/file_index_internal.h"
#include "foundation/growable_array.h"
#include "platform/qorl_log.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <set>
#include <tuple>

namespace {

struct download_key {
    int folder;             // the search folder it lies in
    std::string relative;   // its relative name there
    bool operator<(const download_key& o) const { return std::tie(folder, relative) < std::tie(o.folder, o.relative); }
};

// The download an entry came in, when it names a track folder ("tracks/x/...").
bool entry_download(const file_index_entry& e, const std::vector<listing_budget>& budgets, download_key& key)
{
    if (e.priority >= 0 && size_t(e.priority) < budgets.size()) {
        key = {e.priority, tracks_download_of(e.relative_name)};
        return !key.relative.empty();
    }
    for (size_t f = 0; f < budgets.size(); ++f) {
        auto found = budgets[f].archive_downloads.find(e.priority);
        if (found != budgets[f].archive_downloads.end()) {
            key = {int(f), found->second};
            return true;
        }
    }
    return false;
}

std::string lowered(const std::string& text)
{
    std::string out = text;
    for (char& c : out)
        c = char(tolower(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace

void leave_out_case_twins(const growable_array* entries, std::vector<listing_budget>& budgets)
{
    // By track folder name ignoring case: each download holding it, with its spellings.
    std::map<std::string, std::map<download_key, std::set<std::string>>> folders;
    const auto* all = static_cast<const file_index_entry*>(entries->items);
    for (int i = 0; i < entries->count; ++i) {
        const file_index_entry& e = all[i];
        if (!in_tracks(e.relative_name) || e.relative_name[6] != '/')
            continue;
        const char* name = e.relative_name + 7;
        const char* slash = strchr(name, '/');
        if (!slash)
            continue;
        download_key key;
        if (!entry_download(e, budgets, key) || budgets[size_t(key.folder)].left_out.count(key.relative))
            continue;
        const std::string spelling(name, slash);
        folders[lowered(spelling)][key].insert(spelling);
    }
    for (const auto& [name, holders] : folders) {
        if (holders.size() < 2)
            continue;
        std::set<std::string> spellings;
        for (const auto& [key, held] : holders)
            spellings.insert(held.begin(), held.end());
        if (spellings.size() < 2)
            continue;
        // The program's own first, then the oldest, then the first in name order.
        auto rank = [&budgets](const download_key& k) {
            const bool own = budgets[size_t(k.folder)].trusted;
            const long long age = own ? 0 : download_age(data_search_dir(k.folder) + k.relative);
            return std::make_tuple(!own, age, k.folder, k.relative);
        };
        const download_key* best = nullptr;
        for (const auto& [key, held] : holders)
            if (!best || rank(key) < rank(*best))
                best = &key;
        const std::set<std::string>& kept = holders.at(*best);
        for (const auto& [key, held] : holders) {
            listing_budget& b = budgets[size_t(key.folder)];
            if (&key == best || b.trusted || std::includes(kept.begin(), kept.end(), held.begin(), held.end()))
                continue;
            if (b.left_out.insert(key.relative).second)
                qorl_log("Listing skipped %s%s: its track folder %s differs only by letter case from %s\n",
                         data_search_dir(key.folder), key.relative.c_str(), held.begin()->c_str(),
                         kept.begin()->c_str());
        }
    }
}
