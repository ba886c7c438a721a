// The start-up data check, the first step of the start: ask for the running lock, offer
// the log its file, and find a base archive whose first 1 MiB has the digest the program
// was built with.
#pragma once

// 1 when some search folder holds the base archive "zzzz.saf" with that digest.
int startup_check_data();
// The digest of the base archive's first 1 MiB that startup_check_data accepts,
// 40 hex digits. The program sets it from the digest of its built archive.
void set_base_archive_digest(const char* hex40);
