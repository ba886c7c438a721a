#include "foundation/index_downloads.h"

#include "foundation/data_paths.h"
#include "foundation/data_paths_internal.h"
#include "foundation/file_index.h"

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
