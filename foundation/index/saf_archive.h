// The ".saf" archive header reader.
//
// Layout, from byte 0:
//   "<size> <name>\n"   one line per entry, at most 1022 characters before the "\n";
//                       size is decimal, name is the rest of the line ("/" separated)
//   "-\n"               ends the header
//   entry data          back to back in header order, no padding
// Entry k starts at the header length (every line above with its "\n", the "-" line
// included) plus the sizes of entries 0..k-1. Anything else makes the archive
// malformed, and a malformed archive contributes no entries at all. An entry whose
// name the name check refuses (one that climbs out with "..", say) is left out on its
// own: its bytes still lie between the others, and the rest of the archive stands.
#pragma once
#include <cstdio>

struct growable_array;

// Appends the entries of the ".saf" archive open in file (closed here), whose path
// container_path the entries then share; a malformed archive adds nothing, and neither
// does one naming more than max_entries. The entries read (max_entries + 1 when there
// were too many), counted also when they could not be kept.
int read_archive_into(growable_array* entries, FILE* file, char* container_path, int priority, int max_entries);
