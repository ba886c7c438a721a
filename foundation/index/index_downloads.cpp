#include "foundation/index/index_downloads.h"

#include "foundation/door/download.h"
#include "foundation/door/search_folders.h"
#include "foundation/index/file_index.h"

#include <cstring>

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
    return !data_in_user_folder(e->container_path);
}
