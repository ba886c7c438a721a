// What a reader of the file index charges a bound of its own to: the download
// (door/download.h) each entry came in, and whether it came with the program.
#pragma once
#include <cstddef>
#include <string>

// The path text of the download index entry i came in: its archive, its folder in
// "tracks", or its folder at the top of its search folder. The loose files directly in
// a search folder are charged together, to that folder's text. Empty when there is no
// entry i.
std::string file_index_download(int i);
// How many leading characters of entry i's container path name the download it came
// in: the archive for an archive entry, the folder directly in "tracks" (or in the
// search folder) for a loose file; 0 when there is no entry i.
size_t file_index_download_length(int i);
// Whether entry i came from the program's own folders (a search folder other than the
// user folder, or an archive in one), which strangers do not fill.
bool file_index_program_own(int i);
