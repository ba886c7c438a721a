// The game's mark on the temporaries it writes, and the sweep's test for them. Every
// temporary and kept-aside file the game makes is named "<name>.tmp-" and 12 lower-case
// hex digits; the name check (data_name.h) refuses every name of that shape, so no
// name a player or a download gives the game can take the mark, and only the game's
// own files bear it. From its making until it is placed or removed, a write's
// temporary is held locked (fresh_file.h, data_write.h), sealed or not, so a sweep, of
// this copy or another, passes it by.
#pragma once
#include <cstddef>
#include <string>

// The length of the mark: ".tmp-" and its 12 digits.
inline constexpr size_t kTempMarkLength = 17;
// The longest temporary's name: within the 255 bytes a file system gives a name, and
// one the name check still takes counted with an "@" (data_name.h).
inline constexpr size_t kTempLeafMax = 254;

// A fresh temporary's name for a file named leaf: leaf, cut at a character boundary so
// the whole is at most kTempLeafMax bytes, then the mark with 12 unguessable digits.
std::string temp_mark_leaf(const std::string& leaf);

// Whether name bears the mark: some name, ".tmp-" and exactly 12 lower-case hex digits.
bool temp_mark_is(const char* name);

// Holds the temporary just made at fd for as long as an open descriptor of it stays
// open: a sweep leaves it alone meanwhile.
void temp_mark_hold(int fd);

// Removes the entry name of the open folder dir, a name bearing the mark, only when
// it could be opened and no write holds it, or when it is a link (removed itself,
// never what it names). True when it went.
bool temp_mark_sweep(int dir, const char* name);
