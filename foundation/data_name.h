// The one door for names that come from data: archive entries, loose names in the
// search folders, names inside track files (pictures, models, shapes), series files,
// and tracks named by config, demos or servers. Such a name may only lead down from
// the folder it is looked up in: it is refused when it holds a ".." or empty
// component, begins with "/", or holds a control character (a line break in a name
// would turn into a line of whatever file the name is written to).
#pragma once
#include <string>

// Null when name may be used; then *normal (when given) is its one spelling: every "."
// component dropped, so "@a/./b" and "@a/b" are the same file. A leading "@" (a data
// path) is kept and the rest checked. Else why the name is refused.
const char* data_name_check(const char* name, std::string* normal);

// data_name_check, with one console line naming where a refused name came from.
bool data_name_accept(const char* name, const char* from, std::string* normal);

// The name fit for one line of a message: control characters shown as "?", cut at
// 200 characters.
std::string data_name_shown(const char* name);

// For a write to target, a path in the folder base (a search folder, ending in "/"):
// makes the folders on the way one by one, each only after the one above it was found
// to lie, links resolved, inside base's own resolved path. False, with one line, when
// target's name is refused or its folder leads outside base (a link planted as a track
// folder); then nothing is made outside.
bool data_write_folder_inside(const std::string& target, const char* base);

// False, with one line, when some search folder holds relative (a data name already
// through the door) as something whose resolved path lies outside that search folder:
// a link planted as a track folder must not be read through either.
bool data_name_stays_inside(const char* relative, const char* from);
