#include "foundation/index_downloads.h"

#include "foundation/data_paths.h"
#include "foundation/data_paths_internal.h"
#include "foundation/file_index.h"

#include <cstring>

namespace {

// The search folder whose text the path starts with, the longest such; -1 for none.
int search_folder_of(const char* path)
{
    int found = -1;
    size_t longest = 0;
    for (int k = 0; const char* folder = data_search_dir(k); ++k) {
        const size_t n = strlen(folder);
        if (n > longest && strncmp(path, folder, n) == 0) {
            found = k;
            longest = n;
        }
    }
    return found;
}

}  // namespace

std::string file_index_download(int i)
{
    const file_index_entry* e = file_index_get(i);
    if (!e)
        return {};
    const bool loose = e->owned_text == e->container_path;
    if (loose && !strchr(e->relative_name, '/'))
        return std::string(e->container_path, strlen(e->container_path) - strlen(e->relative_name));
    return std::string(e->container_path, file_index_download_length(i));
}

bool file_index_from_program(int i)
{
    const file_index_entry* e = file_index_get(i);
    if (!e)
        return false;
    const bool loose = e->owned_text == e->container_path;
    const int folder = loose ? e->priority : search_folder_of(e->container_path);
    const int first_program_folder = user_data_folder() ? 1 : 0;
    return folder >= first_program_folder && folder < search_folder_count();
}
