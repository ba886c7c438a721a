// The rider and bike setup as text: 58 lines "key=value\n" in a fixed order, inside
// "@config" and as setup files of their own ("@setups/<name>"):
//   bike=yz250f(2017)            the "Bike" item
//   name=Quinlo Dust             texts, cut to the field
//   rider_texture=default        a graphics name, kept until the lists stand
//   stability=100.000000         reals "%f", clamped to the slider
//   arcade=Yes                   choices by item text
// A stability line derives the 16 advanced values, so theirs count only after it.
#pragma once
#include <cstdint>

struct ui_slider;
struct vfs_file;

inline constexpr int kSetupKeys = 58;

// Applies one pair; 1 when the key is a setup key (accepted value or not), else 0.
int setup_parse(const char* key, const char* value);
// The 58 lines; 0 when a write failed.
int setup_write(vfs_file* f);

// "@setups/<name>" written whole (the folder is made) or read; 0 when the file
// could not be written or opened, or when the name is empty or names a folder
// ("/" in it), so that a setup name never reaches outside "setups".
int setup_file_write(const char* name);
int setup_file_read(const char* name);

// Scans a real with "%f" as a float and clamps it into the slider's range; 0 (the
// slider unchanged) when the text does not scan.
int setting_real(ui_slider* slider, const char* text);

// The longest line the reader takes, in characters before its line break; the writer
// writes no longer line, so that every line written is read back whole.
inline constexpr int kSettingLineMax = 1023;

// Splits one "@config" line in place: the key before the first "=", the value after
// it without its trailing "\r" and "\n". 0 for a line without "=".
int setting_line_split(char* line, const char** key, const char** value);
// Writes the line key + "=" + value + "\n". A value holding a line break or a carriage
// return would put lines of its own into the file, and one that makes the line longer
// than kSettingLineMax would be read back cut: such a value is left out, with one line
// saying so, and 1 is returned as for a written line. Else the vfs_printf result.
int setting_line_write(vfs_file* f, const char* key, const char* value);
// Reads every line of an open file and hands each pair to `apply`. A line longer than
// kSettingLineMax (a carriage return before its line break not counted) is skipped
// whole, to its line break; the log names the file (`name`).
void setting_lines_read(vfs_file* f, const char* name, void (*apply)(const char* key, const char* value));

// The graphics name a setup line writes for choice i (riding gear, helmet, bike
// graphics, wheels): the selected item once its list is built, else the kept name.
const char* graphics_name(int i);
