// A track is one download (door/download.h), a bundled one too. The index matches
// names without regard to letter case but for a track's folder, so an archive's entry
// "tracks/flat/nofrills.js" (or "Tracks/flat/decals") would serve whichever track
// "tracks/flat" is: its script would run on that ground, and the next editor save
// would write its decals into the player's folder. So each track keeps the entries of
// one download and leaves out every other's, with one line for each archive: a track
// of the game's own keeps the program's entries and the player's folder of its name
// (the player's edits, with the pictures it came with beneath them); else a track the
// user folder holds as a folder keeps that folder, archives in it too; else the first
// archive that brings it keeps it.
#include "foundation/index/listing_twins.h"

#include "foundation/door/download.h"
#include "foundation/growable_array.h"
#include "foundation/index/listing_budget.h"
#include "foundation/memory.h"
#include "platform/qorl_log.h"

#include <climits>
#include <map>
#include <string>

namespace {

// Where an entry came from: its search folder and the download in it.
struct source {
    size_t folder = 0;
    std::string download;
    bool archive = false;
    bool trusted = false;
};

source source_of(const file_index_entry& e, const std::vector<listing_budget>& budgets)
{
    source s;
    if (e.priority >= 0 && size_t(e.priority) < budgets.size()) {
        s.folder = size_t(e.priority);
        s.download = std::string(e.relative_name, download_of(e.relative_name).key);
    } else {
        s.archive = true;
        for (s.folder = 0; s.folder < budgets.size(); ++s.folder) {
            auto found = budgets[s.folder].archive_downloads.find(e.priority);
            if (found != budgets[s.folder].archive_downloads.end()) {
                s.download = found->second;
                break;
            }
        }
    }
    s.trusted = s.folder < budgets.size() && budgets[s.folder].trusted;
    return s;
}

// Who brings a track: the program, the user folder as a folder, and the first of the
// strangers' archives (the lowest priority number) with the path of that archive.
struct bringers {
    bool program = false;
    bool held = false;
    int first_archive = INT_MAX;
    const char* first_path = nullptr;
};

}  // namespace

void leave_out_foreign_track_entries(growable_array* entries, const std::vector<listing_budget>& budgets)
{
    auto* all = static_cast<file_index_entry*>(entries->items);
    // Each entry's track, and where it came from, worked out once for both passes.
    std::vector<std::pair<std::string, source>> of(size_t(entries->count));
    std::map<std::string, bringers> tracks;
    for (int i = 0; i < entries->count; ++i) {
        const file_index_entry& e = all[i];
        auto& [track, s] = of[size_t(i)];
        track = download_of(e.relative_name).track();
        if (track.empty())
            continue;
        s = source_of(e, budgets);
        bringers& b = tracks[track];
        if (s.trusted)
            b.program = true;
        else if (!s.archive)
            b.held = true;
        else if (e.priority < b.first_archive) {
            b.first_archive = e.priority;
            b.first_path = e.container_path;
        }
    }
    struct told_line {
        int count = 0;
        std::string track, why;
    };
    std::map<std::string, told_line> told;   // by archive
    int kept = 0;
    for (int i = 0; i < entries->count; ++i) {
        file_index_entry& e = all[i];
        const auto& [track, s] = of[size_t(i)];
        if (!track.empty()) {
            const bringers& b = tracks[track];
            // Only a stranger's archive, outside the track's own folder, is ever left out.
            const bool foreign = s.archive && !s.trusted && s.download != track &&
                                 (b.program || b.held || e.priority != b.first_archive);
            if (foreign) {
                told_line& t = told[e.container_path];
                if (t.count++ == 0) {
                    t.track = track;
                    t.why = b.program ? "a track of the game's own"
                            : b.held  ? "a track the user folder holds as a folder"
                                      : std::string("a track that ") + b.first_path + " brings";
                }
                mem_free(e.owned_text);
                continue;
            }
        }
        all[kept++] = e;
    }
    entries->count = kept;
    for (const auto& [archive, t] : told)
        qorl_log("Archive %s: %d entries left out: they lie in %s, %s\n", archive.c_str(), t.count, t.track.c_str(),
                 t.why.c_str());
}
