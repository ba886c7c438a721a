// The one door between names and paths. A name from data (an archive entry, a loose
// name in the search folders, a name inside a track file, a series, setup, key camera
// or demo name, a track named by config, a demo or a server) is never a path as it
// stands: it may only lead down from the folder it is looked up in. It is refused when
// it holds a ".." component, begins with "/", holds a control character (a line break
// in a name would turn into a line of whatever file the name is written to), has a
// component bearing the game's mark for its temporaries (temp_mark.h) or is longer
// than 255 characters. Empty and "." components are dropped. Exactly one leading "@"
// marks a data name; an "@" after it is a character like any other.
//
// The check only reads the name: a name it takes meets a search folder in the door's
// read and write steps (data_read.h, data_place.h).
#pragma once
#include <cstddef>
#include <string>

// The longest name from data that is taken, counted with its leading "@" (a name
// written without one names the same file as its "@" spelling).
inline constexpr size_t kDataNameMax = 255;

// Null when name may be used; then *normal (when given) is its one spelling: every "."
// and empty component dropped, so "@a/./b", "@a//b" and "@a/b" are the same file. A
// leading "@" (a data path) is kept and the rest checked. Else why the name is refused.
const char* data_name_check(const char* name, std::string* normal);
// The same check; *relative (when given) is the name below the search folder: the one
// leading "@" taken off, the rest in its one spelling. The door opens what this names.
const char* data_name_relative(const char* name, std::string* relative);

// data_name_check, with one console line naming where a refused name came from.
bool data_name_accept(const char* name, const char* from, std::string* normal);

// data_name_accept for a data file named inside data (a picture, a model, a shape):
// *normal is always its "@" spelling, since a name without "@" is the same file.
bool data_file_accept(const char* name, const char* from, std::string* normal);

// The one test of a name for one file directly in a folder of the game's own
// ("setups", "keycam", "demos"), for every caller: data_name_accept, and a name with a
// "/" or a "\\" in it is refused too. False without a line for no name.
bool data_file_name_accept(const char* name, const char* from);

// The name fit for one line of a message: control characters shown as "?", cut at
// 200 bytes, never inside a multibyte character.
std::string data_name_shown(const char* name);
