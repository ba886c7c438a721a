#include "foundation/index/leftover_sweep.h"

#include "foundation/door/data_place.h"
#include "foundation/door/running_lock.h"
#include "foundation/door/search_folders.h"
#include "foundation/door/temp_mark.h"
#include "foundation/index/folder_listing.h"

#include <vector>

#include <dirent.h>
#include <unistd.h>

int leftover_sweep_folder(const std::string& folder, int max_names)
{
    // Only a folder the write step reaches in the user folder, through no link, is
    // swept: a track folder planted as a link must not cost files elsewhere. And only
    // while no other copy runs, whose writes in flight bear the same mark.
    const std::string probe = folder + "/x";
    data_place place;
    if ((folder[0] != '@' && !data_in_user_folder(probe.c_str())) || !data_place_open(probe.c_str(), place, true))
        return 0;
    if (!running_lock_sweep_begin()) {
        data_place_close(place);
        return 0;
    }
    const int listed = dup(place.folder);
    DIR* dir = listed >= 0 ? fdopendir(listed) : nullptr;
    if (!dir) {
        if (listed >= 0)
            close(listed);
        data_place_close(place);
        running_lock_share();
        return 0;
    }
    ++listing_counts.folders_read;
    std::vector<std::string> leftovers;
    int names = 0;
    while (dirent* entry = readdir(dir)) {
        // A folder the listing would skip costs a save no more than the listing.
        if (++names > max_names)
            break;
        if (temp_mark_is(entry->d_name))
            leftovers.emplace_back(entry->d_name);
    }
    closedir(dir);
    listing_counts.names_read += names;
    int removed = 0;
    // Each name is one entry of this open folder; a write of this copy's own still under
    // way holds its temporary and is passed by.
    for (const std::string& name : leftovers)
        removed += temp_mark_sweep(place.folder, name.c_str()) ? 1 : 0;
    data_place_close(place);
    running_lock_share();
    listing_counts.swept += removed;
    return removed;
}
