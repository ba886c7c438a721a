// The track as a ray-tracer scene: "track.pov" in the track's folder.
#pragma once
#include <string>

// The identifier for a file name: no "@", from the last "/" (kept) to the last ".",
// letters and digits kept and everything else "_", "_" first before a digit.
std::string pov_identifier(const char* name);
// Writes "track.pov"; status "Pov!", or "Pov failed!" when it cannot be written.
void pov_export();
