// The few operating-system services the data paths need beyond plain files:
// where the user's data lives, where the program lives, folder creation, starting
// the desktop's file browser, the machine's memory and the process priority.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

// $XDG_DATA_HOME (when absolute), else $HOME + "/.local/share". False when neither
// gives a folder.
bool os_local_data_folder(std::string& out);

// The folder holding the running program, without a trailing "/". False when
// /proc/self/exe cannot be read.
bool os_program_folder(std::string& out);

// Creates the folder named by the text before each "/" of path, outermost first;
// errors are ignored (the later open reports what matters).
void os_make_parent_folders(const char* path);

// Starts program with one argument, searched on PATH, without a shell; the child is
// not waited for. False when it could not be started.
bool os_spawn(const char* program, const char* argument);

// Physical memory of the machine in bytes, 0 when unknown.
uint64_t os_total_memory();

// Raises the scheduling priority of this process; false (errno kept) when refused.
bool os_raise_priority();
// The running process's id.
int os_process_id();
// Pushes a flushed file's bytes to the disk; false when the system reports an error.
bool os_flush_to_disk(FILE* file);
// True when the path names something that is neither a file nor a folder (a device,
// a pipe, a socket): a write must go to it in place, never to a file renamed over it.
bool os_is_device_or_pipe(const char* path);
// A file named on the command line as the working folder sees it: a relative path
// becomes absolute, since a relative name given to the data paths is a data name.
// Absolute paths and "@" data paths stand as they are.
std::string os_from_working_folder(const std::string& path);
// The path with every link resolved; false when it names nothing.
bool os_real_path(const char* path, std::string& out);
// When path is a symbolic link to something that exists, the real path it leads to.
bool os_link_target(const char* path, std::string& out);
