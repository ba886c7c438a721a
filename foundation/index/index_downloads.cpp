#include "foundation/index/index_downloads.h"

#include "foundation/door/download.h"
#include "foundation/door/search_folders.h"
#include "foundation/index/file_index.h"

#include <cstring>

namespace {

// How many leading characters of path are the text of the search folder it lies in;
// 0 when it lies in none.
size_t search_folder_length(const char* path)
{
    for (int k = 0; const char* folder = data_search_dir(k); ++k)
        if (strncmp(path, folder, strlen(folder)) == 0)
            return strlen(folder);
    return 0;
}

}  // namespace

std::string file_index_download(int i)
{
    const file_index_entry* e = file_index_get(i);
    return e ? std::string(e->container_path, file_index_download_length(i)) : std::string();
}

size_t file_index_download_length(int i)
{
    const file_index_entry* e = file_index_get(i);
    if (!e)
        return 0;
    const char* path = e->container_path;
    if (e->owned_text == e->container_path) {
        const size_t folder = strlen(path) - strlen(e->relative_name);
        return folder + download_of(e->relative_name).key;
    }
    // An archive's entries come in the download its entries are charged to: the track
    // folder it lies in, else the archive.
    const size_t folder = search_folder_length(path);
    return folder + download_of_entries(path + folder).size();
}

bool file_index_program_own(int i)
{
    const file_index_entry* e = file_index_get(i);
    if (!e)
        return false;
    if (e->priority < search_folder_count())
        return search_folder_trusted(e->priority);
    return !data_in_user_folder(e->container_path);
}

bool file_index_players_own(int i)
{
    const file_index_entry* e = file_index_get(i);
    if (!e || e->owned_text != e->container_path || e->priority >= search_folder_count() ||
        search_folder_trusted(e->priority))
        return false;
    const download_name d = download_of(e->relative_name);
    return d.kind == download_kind::top_folder && download_is_game_folder(std::string(e->relative_name, d.key));
}
