// Writing a whole file so that a crash, a kill or a full disk never leaves it cut:
// the text goes to a temporary file beside the target (named after this process, so
// two running copies never mix their bytes), every write, the flush to disk and the
// close are checked, and only then the temporary file replaces the target.
#pragma once

struct vfs_file;

// name: a data path ("@config" is written in the user folder) or a plain path.
// writer returns 1 when it wrote everything. 1 on success; on any failure the
// temporary file is removed, the old file is untouched and 0 is returned. A device or
// pipe ("/dev/null") is written in place instead, with the same checks.
int whole_file_write(const char* name, int (*writer)(vfs_file* f, void* context), void* context);
