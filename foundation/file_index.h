// The file index: every loose data file under the search folders and every entry of
// every ".saf" archive among them, sorted by name (case-insensitive), then priority.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

struct file_index_entry {
    char* owned_text;        // the one allocation the entry owns
    char* container_path;    // the operating-system file holding the bytes
    char* relative_name;     // the data name, "/" separated
    int32_t offset;
    int32_t size;
    int32_t priority;        // lower wins: folder index, then archives after the folders
};

char** file_index_list();
int file_index_find(const char* name);
int file_exists(const char* name);
const file_index_entry* file_index_get(int i);
// The entry after i under the same name (the next one file_index_find would have
// given, had i not been there), -1 when there is none.
int file_index_next_of_name(int i);
int file_index_describe(int i, char* buffer, int size);
// How many leading characters of entry i's container path name the download it came
// in: the archive for an archive entry, the folder directly in "tracks" (or in the
// search folder) for a loose file; 0 when there is no entry i.
size_t file_index_download_length(int i);
// Whether entry i came from the program's own folders (a search folder other than the
// user folder, or an archive in one), which strangers do not fill.
bool file_index_program_own(int i);
// When the download at path came (a larger number is newer): see download_age.
long long file_index_download_age(const std::string& path);
void vfs_shutdown();
// Builds the index, when it is not built yet, removing from the folders the game writes
// in the user folder the leftovers of killed writes (fresh_file.h) as the listing meets
// them, within its bounds and charged to the download that holds them. Returns how many
// went. A later build, after vfs_shutdown, sweeps nothing.
int file_index_build_sweeping();

// Called once per listed folder and once per archive while the index is built.
void file_index_set_spinner(void (*spinner)());
