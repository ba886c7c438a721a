// Formatted reading close to scanf, over a vfs_file or a text, with its own return
// rules: a literal that does not match returns -1 even after conversions, and
// integer conversions always store 32 bits (16 with "h"), whatever "l" says.
#pragma once

struct vfs_file;

int vfs_scanf(vfs_file* f, const char* format, ...);
int vfs_skip_spaces(vfs_file* f);
int scan_string(const char* text, const char* format, ...);
