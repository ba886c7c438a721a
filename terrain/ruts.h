// Ruts: each wheel's contacts averaged into rut points, runs of points packed into
// deformation records, and the erosion queue that digs the records into the ground a
// little each frame. Records are what demos store and the network carries, so every
// client decodes the same bytes to the same entries.
//
// The terrain sits below the rider simulation and the race core: the caller passes the
// ground, the race tick, the wheel's contact values and the local rider's position,
// and the network client installs the function that sends finished runs.
#pragma once
#include "terrain/terrain_state.h"

#include <cstddef>
#include <cstdint>

constexpr int kRutMaxPoints = 64;
constexpr int kRutMaxSamples = 16;                     // samples averaged into one point
constexpr int kDeformationRecordMax = 4 * kRutMaxPoints + 13;  // 269 bytes
constexpr int32_t kErosionQueueSize = 0x20000;

struct rut_point {
    float x;
    float z;
    float dig_a;     // -1..1
    float dig_b;     // -1..1
    int32_t weight;  // samples averaged into the point, 1..16
};

// One wheel's rut recording (inside the rider slot).
struct wheel_ruts {
    rut_point points[kRutMaxPoints];  // the current run
    float step_box[4];                // min step x, min step z, max step x, max step z
    int32_t last_point_tick;
    int32_t point_count;
    float last_sample[2];             // x, z of the previous sample
    float accumulator[4];             // sums of x, z, dig a, dig b since the last point
    float travelled;
    int32_t sample_count;
    // The tyre values of this wheel's last sample, for the position log: speed, slip,
    // lateral force, longitudinal force, dig lateral, dig longitudinal.
    float debug[6];
};

// What the rut sampling needs of a wheel's ground contact this tick.
struct wheel_rut_contact {
    float point[3];             // contact point
    float velocity[3];          // the wheel body's linear velocity
    float surface_velocity[3];  // the tyre's velocity at the point, spin included
    float force[3];             // the ground contact's force on the wheel
    float depth;                // 0 or less = no ground contact
};

// One queued rut point as decoded from a record.
struct erosion_entry {
    float x;
    float z;
    float dig_a;
    float dig_b;
    int32_t weight;  // 0..15
};

// Sends a finished run: the network client installs `net_queue_data`, which queues it
// as a reliable message when a server is connected. With none installed (or after
// installing null) runs are applied to the ground at once.
using rut_sender = void (*)(const uint8_t* record, int32_t length);
void wheel_ruts_set_sender(rut_sender send);

// Every field except the points to 0.
void wheel_ruts_reset(wheel_ruts* ruts);
// One tick of one wheel (front = 1 for the front wheel), after the world step.
void wheel_ruts_sample(wheel_ruts* ruts, const terrain_state* terrain, const wheel_rut_contact* contact,
                       int front, int32_t race_tick);
// Turns the averaged samples into the next point of the run, sending the run first
// when it is full or its step box grows too wide.
void wheel_ruts_add_point(wheel_ruts* ruts, const terrain_state* terrain, int32_t race_tick);
// Packs the current run (when it has points) and sends it.
void wheel_ruts_pack(const wheel_ruts* ruts, const terrain_state* terrain);
// "speed=..\nslip=..\nfx=..\nfz=..\npfx=..\npfz=..\n" of the wheel's last sample.
void wheel_ruts_debug_text(const wheel_ruts* ruts, char* buffer, size_t size);

// The record of a run of 1..64 points on a world of the given size: its length
// (4n + 13), or 0 when the run is empty.
int32_t deformation_record_encode(const wheel_ruts* ruts, float world_size,
                                  uint8_t out[kDeformationRecordMax]);
// The entries of a record: their count (1..64), or 0 for a record that is refused
// (shorter than 17 bytes, longer than 269, or not of type 1).
int32_t deformation_record_decode(const uint8_t* record, int32_t length, float world_size,
                                  erosion_entry out[kRutMaxPoints]);

// Queues the points of a record; refused records change nothing.
void erosion_apply_message(const terrain_state* terrain, const uint8_t* record, int32_t length);
// Empties the queue and forgets the hold-back (track load).
void erosion_queue_clear();
// Digs a few queued points into the ground; once per frame. position is the frame
// position of the first local rider, or null; scale is the track's erosion level / 1024.
void erosion_process(terrain_state* terrain, const float* position, float scale, int32_t race_tick);

// The queue as it stands, for the race core's diagnostics and the tests.
int32_t erosion_queue_count();
const erosion_entry* erosion_queue_at(int32_t k);  // k-th from the head, null past the end
int32_t erosion_wait_tick();                       // INT32_MAX = not holding back
