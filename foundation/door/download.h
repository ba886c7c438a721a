// What a download is, said here alone. Strangers fill the user folder one download at
// a time, each unpacked or dropped in as one piece: a folder or a ".saf" archive
// directly in "tracks", a folder directly in the user folder other than "tracks", or an
// archive anywhere else. The loose files directly in "tracks", and those at the top, are each
// a download of their own. A track is one download: a track folder in "tracks" is
// spelt exactly ("tracks/MyTrack" and "tracks/mytrack" are two), and names below it
// match without case within it. The door reads beneath a name's download and never
// leaves it, the listing charges each cost to its download, and the index, the
// track list and the series ask here which download a name came in.
#pragma once
#include <cstddef>
#include <string>

// The length of the download a relative name below the user folder lies in:
// "tracks/x" of "tracks/x/terrain.hf", "models" of "models/a.jm"; the whole name when
// it is a download itself or a loose file directly in "tracks" or at the top.
size_t download_length(const char* relative);

// Whether a name at the top of the user folder is its tracks folder: "tracks" exactly.
bool download_is_tracks_folder(const std::string& name);
// Whether a folder at the top is one of the game's own ("demos", "setups", "keycam",
// "series", "outgoing"), cut past its bound rather than left out.
bool download_is_game_folder(const std::string& name);
// Of those, the folders the game writes in, whose leftovers the start sweeps.
bool download_is_written_folder(const std::string& name);
// The game's folder (or "tracks") that a top folder's name differs from only by letter
// case, or null: "Tracks" or "SERIES" from an archive unpacked elsewhere is no game
// folder, and the index, which ignores case, would take its files for the game's.
const char* download_case_twin(const std::string& name);

// The track folder a data name lies below, as the index matches it: "tracks/x" of
// "tracks/x/decals" or "Tracks/x/decals" (the first component in any case, the folder
// exactly as spelt); empty when the name lies below none.
std::string download_track_folder(const char* name);
// The length of the "tracks/x/" that name begins with (download_track_folder plus its
// "/"), 0 when it lies below no track folder.
size_t download_track_prefix(const char* name);

// When the download at name in the open folder dir came: its birth time where the
// file system keeps one, else the last change of its inode, which unpacking sets and
// no archive carries; in nanoseconds, a larger number newer. A link is aged as the
// link, never by what it names. 0 when nothing stands there.
long long download_age_at(int dir, const char* name);
// The same for a path.
long long download_age(const std::string& path);

// The folder of a download (or any folder) below the open folder top, relative its
// path there, open for reading: each component opened in turn, never through a link.
// -1 with errno set (ELOOP when a link stands on the way).
int download_open_folder(int top, const std::string& relative);

// Opens rest (a relative path) beneath the download's open folder dir with flags,
// following links only while they stay inside it: a link leading out is refused
// without opening what it names (errno EXDEV), as is an absolute link, and a name
// passing more than 40 links (ELOOP). Uses openat2 with RESOLVE_BENEATH where the
// kernel gives it; where the kernel or a filter refuses it, a walk of one component at
// a time that reads each link and follows it by the same rules, so a download reads
// the same on every kernel.
int download_open_beneath(int dir, const std::string& rest, int flags);

// Which of the two the run uses is found once, by asking openat2 for the user folder
// itself, and said in one line of the log; the start asks here, after the user folder
// is made. A test's openat2 answer (door_faults.h) has it found again.
void download_choose_read_step();
