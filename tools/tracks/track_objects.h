// The placed objects of a track folder from its description (objects.txt): the
// timing gates with their start gate, statues, billboards, flaggers and trackside
// cameras. The first three go through the program's own writers.
#pragma once
#include <string>

// Reads the description and writes "timing_gates", "statues", "billboards",
// "flaggers" and "cameras" into the folder (a plain path). False with a message
// in *error when the description cannot be read or a file cannot be written.
bool write_track_objects(const std::string& description, const std::string& folder, std::string* error);
