// Numbered backups: before a "~" mode overwrites a file, the old bytes are copied to
// "<name>.~N~" with the first free N (1..9999), so no save ever destroys the previous
// one. The backup is made as a new file that never replaces anything standing at its
// name (a file, a link, a folder).
#pragma once
#include <cstdio>
#include <string>

// fopen of a path the player named, honouring a leading "~" in mode: an existing file
// is first copied to its first free backup. Null when the backup cannot be made.
FILE* open_with_backup(const char* path, const char* mode);
// The backup a "~" mode asks for, in the open folder a write walked to: the plain file
// at leaf copied to its first free backup. True when it was made, or when no plain file
// stands at leaf (a link or a pipe there is replaced with nothing kept).
bool backup_in_folder(int folder, const std::string& leaf);
