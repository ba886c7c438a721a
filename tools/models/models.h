// The models the generator writes into the base data, grouped by what they are for.
#pragma once
#include "mesh.h"

#include <vector>

namespace gen {

// Test shapes of every file form, and the start gate with its coarser variant.
std::vector<model> basic_models();
// The "cr125" bike parts, each in the frame of the physics body it is drawn on.
std::vector<model> bike_models();
// The skinned rider, its head and its back number plate.
std::vector<model> rider_models();
// The sample track's marshal and turning sign, named under "tracks/sample/".
std::vector<model> sample_track_models();

}  // namespace gen
