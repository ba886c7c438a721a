// What tests make the door meet, all set in one call: a folder or file swapped between
// a step's look at it and its open, a kernel or filter that refuses openat2, a file
// system without the no-replace rename, a flush or a close the C library reports
// failed. Each step asks here at its one point; nothing but a test sets them.
#pragma once
#include <string>

struct vfs_file;

enum class finish_fault { none, flush, close };

struct door_faults {
    // Called with the path of what a step is about to open, once it has looked at it:
    // each folder on the write step's walk, the target's folder before its temporary is
    // made there, a file between the read step's look and its open, a folder before the
    // listing enters it.
    void (*before_open)(const std::string& path) = nullptr;
    // Every openat2 call answers -1 with this errno, as a kernel without it (ENOSYS) or
    // a filter refusing it (EPERM) does, so the read step chosen is the walk
    // (download.h); 0 asks the kernel.
    int openat2_answer = 0;
    // A numbered file is placed as on a file system without the no-replace rename
    // (fresh_file.h).
    bool without_rename_noreplace = false;
    // The next file_finish of this one stream (fresh_file.h) finds its flush or its close
    // failed, as the C library reports a disk failing under a write; the stream is still
    // flushed and closed. Cleared when it meets its stream.
    const vfs_file* finish_stream = nullptr;
    finish_fault finish = finish_fault::none;
};

// The one setter: door_faults{} puts everything back.
void door_set_faults(const door_faults& faults);
// The faults in force.
const door_faults& door_faults_now();

// The steps' call of before_open, when one is set.
void door_before_open(const std::string& path);
