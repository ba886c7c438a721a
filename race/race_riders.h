// The race start's side of the rider simulation: building, placing and waking the
// riders of a lineup, one slot at a time.
#pragma once
#include <cstdint>

struct rider_request {
    const char* bike;
    const char* number;
    const char* name;           // shown name, null = the bike's default
    const char* body_texture;
    const char* head_texture;
    const char* bike_texture;
    const char* wheel_texture;
    int32_t locally_simulated;
};

// Frees slot k's bike, when it has one.
void race_destroy_rider(int32_t slot);
// The rider table made ready for a new race.
void race_rider_table_init();
// Statues take their collision shapes from the rider simulation's shape cache.
void race_install_statue_shapes();
// Builds the rider of a slot; 0 when the bike cannot be built.
int race_create_rider(int32_t slot, const rider_request& request);
// 1 when the slot holds a rider.
int race_rider_exists(int32_t slot);
// The name the slot's rider was created with ("" when none was given).
const char* race_rider_name(int32_t slot);
// The ground test of the placement: 1 when the slot's bike touches the ground
// (the contact pass's terrain test by default).
extern int (*race_bike_touches_ground)(int32_t slot);
// Raises the slot's bike from the grid height of the cell under (x, z) in steps of
// 0.25 until it touches nothing, turned by yaw about the vertical, but no higher
// than 16 above the highest ground. Returns the height used. The answer is that of
// trying every step in turn, in a few dozen probes; each probe's contact joints are
// emptied at once, with the rest of the contact group. The probes cover a bounded
// number of ground cells in all: a bike whose shapes cover more stops where its
// search stopped (the lowest step found free, else the highest step), with one line.
float race_place_rider(int32_t slot, float x, float z, float yaw);
// Step k of the placement heights h, h + 0.25, ... each sum rounded to float as the
// steps go; the sums stop moving where 0.25 is lost to rounding.
float place_step_height(float h, int64_t k);
// A remote rider sleeps with its damped steering; every other rider is awake.
void race_settle_rider(int32_t slot, int remote);
void race_set_personality(int32_t slot, const char* personality);
// The frame body's position and speed.
void race_rider_frame(int32_t slot, float position[3], float* speed);
// Empties the contact joints of the last step.
void race_empty_contacts();
