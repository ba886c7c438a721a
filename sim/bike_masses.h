// The mass shapes of the seven bodies of a bike.
#pragma once
#include "sim/bike_info.h"
#include "sim/rider_slot.h"

// Sets every body's mass from the bike's record (the rider's share 1/3).
void bike_set_masses(rider_slot* rider, const bike_info* info);
