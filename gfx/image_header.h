// Text headers shared by the J and netpbm readers: numbers with "#" comment lines
// allowed before each.
#pragma once

struct vfs_file;

// Skips white space and whole "#" comment lines; the next byte stays unread.
void image_skip_comments(vfs_file* f);
// Comment lines, then one "%d". 1 when a number was read.
int image_header_int(vfs_file* f, int* value);
