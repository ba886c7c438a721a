// The game's mark on the temporaries it writes, and the sweep's test for them. Every
// temporary and kept-aside file the game makes is named "<name>.tmp-" and 12 lower-case
// hex digits; the name check (data_name.h) refuses every name of that shape, so no
// name a player or a download gives the game can take the mark, and only the game's
// own files bear it. While a write of the game's is under way its temporary is held
// locked, so a sweep, of this copy or another, passes it by.
#pragma once
#include <cstddef>
#include <string>

// The length of the mark: ".tmp-" and its 12 digits.
inline constexpr size_t kTempMarkLength = 17;

// A fresh temporary's name for a file named leaf: leaf, cut at a character boundary so
// the whole is at most 254 bytes (within a file system's 255 and a name the door
// takes), then the mark with 12 unguessable digits.
std::string temp_mark_leaf(const std::string& leaf);

// Whether name bears the mark: some name, ".tmp-" and exactly 12 lower-case hex digits.
bool temp_mark_is(const char* name);

// Holds the temporary just made at fd for as long as an open descriptor of it stays
// open: a sweep leaves it alone meanwhile.
void temp_mark_hold(int fd);

// Removes the entry name of the open folder dir, a name bearing the mark, unless a
// write still holds it; a link is removed itself, never what it names. True when it
// went.
bool temp_mark_sweep(int dir, const char* name);
