// Wheel contacts after the contact pass: dirt thrown from the tyres, the ruts and the
// position log, and the contact queries of the track script.
#pragma once
#include "sim/rider_slot.h"

// Dirt-spray density in percent (the graphics setting; 0..1000).
extern int roost_density;

// The position log belongs to the front end, which installs its two operations at
// start-up and sets the flags (bit 0: tyre values) and the spacing with its console
// command. Without them nothing is logged.
using position_log_distance_fn = float (*)(float x, float y, float z);
using position_log_append_fn = void (*)(float x, float y, float z, const char* text);
void position_log_install(position_log_distance_fn distance, position_log_append_fn append);
extern int position_log_flags;
extern float position_log_spacing;

// Each tick before the world step: refreshes the contacts of a rider not simulated
// here and throws roost from both tyres (front within pi/8 of the contact, rear
// anywhere round the tyre).
void bike_emit_roost(rider_slot* rider);
// Each tick after the world step: both wheels' rut sampling (front, then rear), and
// the tyre values into the position log while it asks for them.
void bike_update_ruts(rider_slot* rider);

// A rider simulated elsewhere (remote, replayed) gets its wheel contacts from the
// cheap ground probe, at most once per tick; local riders have them from the contact
// pass already.
void rider_contacts_refresh(rider_slot* rider);

// The velocity of the contact point moving with the wheel but without its spin about
// the axle.
void wheel_contact_velocity(const wheel_contact* contact, float out[3]);

// The script's contact queries, each after the refresh. position: 1 and the point
// while the wheel touches, else 0 with out untouched; slip: the tyre surface velocity;
// velocity: wheel_contact_velocity.
float rider_front_contact_depth(rider_slot* rider);
int rider_front_contact_position(rider_slot* rider, float out[3]);
void rider_front_contact_slip(rider_slot* rider, float out[3]);
void rider_front_contact_velocity(rider_slot* rider, float out[3]);
float rider_rear_contact_depth(rider_slot* rider);
int rider_rear_contact_position(rider_slot* rider, float out[3]);
void rider_rear_contact_slip(rider_slot* rider, float out[3]);
void rider_rear_contact_velocity(rider_slot* rider, float out[3]);
