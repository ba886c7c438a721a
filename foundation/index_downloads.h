// What a reader of the file index charges a bound of its own to: the download each
// entry came in (file_index_program_own says whether it came with the program).
#pragma once
#include <string>

// The path text of the download index entry i came in: its archive, its folder in
// "tracks", or its folder at the top of its search folder. The loose files directly in
// a search folder are charged together, to that folder's text. Empty when there is no
// entry i.
std::string file_index_download(int i);

