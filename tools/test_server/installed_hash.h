// The hash a client with the installed data has for a track: the program's own track
// load, without a display, over the data the game finds (the user folder, then BV_HOME,
// else the game of the same build).
#pragma once
#include "server_wire.h"

#include <string>

namespace test_server {

// True with the hash; false with a line for the user when the track is not installed
// or does not load.
bool installed_track_hash(const std::string& folder, TrackHash* hash, std::string* why);

}  // namespace test_server
