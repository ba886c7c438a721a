// The one door between names and paths. A name from data (an archive entry, a loose
// name in the search folders, a name inside a track file, a series, setup, key camera
// or demo name, a track named by config, a demo or a server) is never a path as it
// stands: it may only lead down from the folder it is looked up in. It is refused when
// it holds a ".." component, begins with "/", holds a control character (a line break
// in a name would turn into a line of whatever file the name is written to) or is
// longer than 255 characters. Empty and "." components are dropped.
//
// Every path into a search folder is made here: data_read_path for reading,
// data_write_path for writing. No other file joins a name to the user folder.
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

// data_name_check, with one console line naming where a refused name came from.
bool data_name_accept(const char* name, const char* from, std::string* normal);

// data_name_accept for a data file named inside data (a picture, a model, a shape):
// *normal is always its "@" spelling, since a name without "@" is the same file.
bool data_file_accept(const char* name, const char* from, std::string* normal);

// data_name_accept for the name of one file directly in a folder of the game's own
// ("setups", "keycam", "demos"): a name with a "/" in it is refused too.
bool data_file_name_accept(const char* name, const char* from);

// The name fit for one line of a message: control characters shown as "?", cut at
// 200 bytes, never inside a multibyte character.
std::string data_name_shown(const char* name);

// Reading: the path of a data name ("@a/b"; a name without "@" is taken as its "@"
// name, never as a path from the working folder) in the index-th search folder. False
// when the name is refused, there is no such folder, or the path would be too long.
bool data_read_path(const char* name, int folder, std::string& out);

// True when path, found through data_read_path in the index-th search folder, lies
// there with its links resolved; false with one line naming the link otherwise. A path
// that names nothing is not inside.
bool data_read_inside(const std::string& path, int folder);

// What a write does with a link that stands at its target.
enum class data_link {
    follow,    // the player's own files: the file a link names is written, when it lies
               // inside the user folder
    replace,   // folders strangers filled: the link itself is replaced, never followed
};

// Writing: the path a data name ("@a/b", or "a/b" taken so) is written at, in the
// first search folder (the user folder when there is one), with the folders on the way
// made one by one, each only after the one above was found to lie, links resolved,
// inside the user folder. A plain path that lies in the user folder goes through the
// same checks; any other plain path (a file named on the command line, "/dev/null")
// stands as it is. False, with one line, when the name is refused, a folder on the way
// leads outside, or (with follow) a link at the target leads outside or to nothing.
bool data_write_path(const char* name, data_link link, std::string& out);

// The path of a data name in the first search folder, checked but with nothing made
// or resolved: for a folder a write sweeps, or a target named before it is written.
bool data_user_path(const char* name, std::string& out);

// False, with one line, when some search folder holds relative (a data name already
// through the door) as something whose resolved path lies outside that search folder:
// a link planted as a track folder must not be read through either.
bool data_name_stays_inside(const char* relative, const char* from);

// The first search folder itself, without its trailing "/": for a sweep of the files
// a killed write left there. False when there is none.
bool data_user_folder_path(std::string& out);

// True when path (a plain path) is one in the first search folder's text.
bool data_in_user_folder(const char* path);

// True when the first search folder exists for writes at all.
bool data_user_folder_known();

// The path with every link resolved (what os_real_path gives), empty when it names
// nothing.
std::string data_resolved(const std::string& path);
// True when real (a resolved path) is top (a resolved folder) or lies below it: "/"
// bounds a component, so "/a/b2" does not lie inside "/a/b".
bool data_lies_inside(const std::string& real, const std::string& top);
