// What a reader of the file index charges a bound of its own to: the download
// (door/download.h) each entry came in, and whether it came with the program.
#pragma once
#include <cstddef>
#include <string>

// The path text of the download (door/download.h) index entry i came in: for a loose
// file its track folder, its folder at the top of its search folder, or the file itself
// (at the top or directly in "tracks"); for an archive's entry the track folder the
// archive lies in, else the archive. Empty when there is no entry i.
std::string file_index_download(int i);
// How many leading characters of entry i's container path name that download; 0 when
// there is no entry i.
size_t file_index_download_length(int i);
// Whether entry i came from the program's own folders (a search folder other than the
// user folder, or an archive in one), which strangers do not fill.
bool file_index_program_own(int i);
// Whether entry i is a loose file of the player's own in one of the game's folders of
// the user folder ("series", "setups" and the rest): the player's, not a download's.
bool file_index_players_own(int i);
