// Targets whose reader places things on the loaded track: a flat ground of 257 x 257
// points, 4 ft apart, loaded as the track "tracks/fuzz".
#pragma once
#include "terrain/terrain_state.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzz {

inline constexpr const char* kTrackFolder = "tracks/fuzz";

// Makes the ground and names the loaded track once.
void flat_track();

// A grid of its own of 2^(n+1) + 1 points a side, cell feet apart, as a track of that
// shape has after its heights; made once by each target that wants one.
terrain_state* new_grid(int32_t n, float cell);

// A grid of its own of 257 x 257 points, 4 ft apart, with its decal lists, made once
// (making and freeing one per input would cost more than the readers); the decals of
// the last input are dropped.
terrain_state* reused_grid();

// Writes the input as the track's file name; returns its data path.
std::string put_track_file(const char* name, const uint8_t* data, size_t size);

// The same, or as name + ".gz" when the input is a gzip member (the data paths find
// "<name>.gz" in place of "<name>", and the generated tracks ship their large maps so),
// the other one removed.
void put_track_file_or_gzip(const char* name, const uint8_t* data, size_t size);

}  // namespace fuzz
