// Formatted reading close to scanf, over a vfs_file or a text, with its own return
// rules: a literal that does not match returns -1 even after conversions, and
// integer conversions always store 32 bits (16 with "h"), whatever "l" says.
//
// Conversions: d i o x X f s c [set] n %%, with "*", a width and the size letters
// h, l, ll, L, q. Results:
//   - the count of assigned conversions at the end of the format;
//   - -1 when a literal (or "%%") meets another character or the end of the data;
//   - the data ending before a conversion's first character: the count, or -1 at 0;
//   - no digit, an empty set match, or "%1f": the count, the character pushed back;
//   - "%*[...]", an unknown letter or a set without "]": the count, scan ended.
// "%%", "%c", "%[" and "%n" skip no white space. "%x" takes no "0x" prefix; "%i" does.
// Floats store float, double with "l", long double with "ll", "L" or "q".
// "%s" and "%[" without a width are unbounded: callers give one.
// The look-ahead character stays in the handle for its next read of any kind.
#pragma once

struct vfs_file;

int vfs_scanf(vfs_file* f, const char* format, ...);
int vfs_skip_spaces(vfs_file* f);
int scan_string(const char* text, const char* format, ...);
