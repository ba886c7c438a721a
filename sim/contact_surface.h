// Surface laws of the contacts: ground friction and rolling-resistance curves of a
// tile, the tyre's softness, and the spring/damper form of a soft contact.
#pragma once
#include "terrain/terrain_state.h"

// dContactSoftERP | dContactSoftCFM | dContactApprox1_1 | dContactApprox1_2: mu is a
// coefficient of the normal force in both friction directions.
constexpr int kContactSurfaceMode = 0x3018;
constexpr int kContactFrictionDirection = 0x2;  // dContactFDir1

// ERP = dt kp / (dt kp + kd), CFM = 1 / (dt kp + kd). False (no contact may be made)
// when dt kp + kd is not positive: the constraint would have an infinite CFM.
bool contact_softness(double kp, double kd, double dt, double* erp, double* cfm);

// The tyre stiffens as it is pressed in: c = min(depth / tyre radius, 1),
// kp = 1000 + 24000 c^3, kd = 200 + 2300 c^3. Returns c.
double tyre_softness(double depth, double tyre_radius, double* kp, double* kd);

// A tile's friction at slip speed s: points whose speed is 2^20 are not in use; with
// squared set the speeds are compared and interpolated squared (slip function 0).
double friction_curve(const float speeds[kTerrainCurvePoints], const float values[kTerrainCurvePoints],
                      double s, bool squared);

// A tile's rolling-resistance pair (g, h) at ground speed w: keys of exactly 0 are not
// in use.
void roll_resistance_curve(const float keys[kTerrainCurvePoints],
                           const float pairs[kTerrainCurvePoints][2], double w, double out[2]);
