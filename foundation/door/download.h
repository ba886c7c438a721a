// What a download is, said here alone. Strangers fill the user folder one download at
// a time, each unpacked or dropped in as one piece: a folder directly in "tracks" (a
// track, with whatever lies in it, archives too), a folder directly in the user folder
// other than "tracks", or an archive anywhere else, whose entries are its own. The loose
// files directly in "tracks", and those at the top, are each read as a download of its
// own (no link followed) and charged together, as their folder's loose files.
// A track is one download: a track folder in "tracks" is spelt exactly
// ("tracks/MyTrack" and "tracks/mytrack" are two), and names below it match without
// case within it. The door reads beneath a name's download and never leaves it, the
// listing charges each cost to its download, and the index, the track list, the series
// and the track script ask here which download a name came in.
#pragma once
#include <cstddef>
#include <string>

// What a data name is in the partition, computed here alone: which download it came
// in, and how its parts compare. name is relative to a search folder, or an archive's
// entry name. The index orders names by it (index/file_index.h), the listing charges
// by it, the twin pass keeps each track to one download by it, and the track list, the
// series and the track script's name check ask it which download a name came in.
enum class download_kind {
    top_file,      // a loose file at the top ("config", "pack.saf")
    top_folder,    // below a folder at the top other than "tracks" ("models/a.jm"): that folder's
    tracks_file,   // a loose file directly in "tracks" ("tracks/x.saf", "tracks/x.trackinfo")
    track,         // below a track folder ("tracks/x/terrain.hf"), an archive there too: the track's
};

struct download_name {
    download_kind kind;
    // The download it is charged to: the name's first key characters, as spelt
    // ("tracks/x", "models"); the loose files of the top ("") and of "tracks"
    // ("tracks") are charged together, each folder's as one. Read, such a file is
    // opened in its folder and through no link, as a download of its own.
    size_t key;
    // The one part compared as spelt, [spelt_from, spelt_to): the name directly in
    // "tracks" ("x" of "tracks/x/terrain.hf" or of "tracks/x.trackinfo"), so that two
    // track folders differing only by case are two tracks. Every other part, "tracks"
    // itself included, compares without case. Both 0 when there is none.
    size_t spelt_from;
    size_t spelt_to;
    // The track the name lies in, spelt as the door spells it ("tracks/" and the track
    // folder's own name), for kind track; empty otherwise.
    std::string track() const;
    const char* name;
};
download_name download_of(const char* name);

// Whether a name at the top of the user folder is its tracks folder: "tracks" exactly.
bool download_is_tracks_folder(const std::string& name);
// Whether a folder at the top is one of the game's own ("demos", "setups", "keycam",
// "series", "outgoing"): the player's, cut past its bound rather than left out.
bool download_is_game_folder(const std::string& name);
// Of those, the folders the game writes in, whose leftovers the start sweeps.
bool download_is_written_folder(const std::string& name);
// The game's folder (or "tracks") that a top folder's name differs from only by letter
// case, or null: "Tracks" or "SERIES" from an archive unpacked elsewhere is no game
// folder, and the index, which ignores case, would take its files for the game's.
const char* download_case_twin(const std::string& name);

// Whether a name is an archive the index opens: it ends in ".saf", any letter case.
bool download_is_archive(const char* name);
// The download an archive's entries come in, by the archive's name: the track folder
// it lies in, else the archive itself (one unpacked or dropped in anywhere else is a
// download of its own).
std::string download_of_entries(const char* archive_name);

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
