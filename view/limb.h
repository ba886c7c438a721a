// Two-bone limbs for the rider figure, and the small vector helpers the posing and
// the cameras share. Degenerate input (a target at the root, a hint along the limb,
// parallel axes) gives a finite result, never NaN.
#pragma once

// Joint of a two-bone limb from root a (upper length l1) to target t (lower length
// l2), bent towards hint point h. out may alias h: the hint is read first.
void limb_joint(float out[3], const float a[3], float l1, const float t[3], float l2, const float h[3]);
// Unit axes x, y, z (nine floats in that order) of a right-handed frame: y along
// a - b, z along u x (a - b), x = y x z.
void limb_frame(float out[9], const float a[3], const float b[3], const float u[3]);

namespace vec {
inline void sub(float o[3], const float a[3], const float b[3]) { o[0] = a[0] - b[0], o[1] = a[1] - b[1], o[2] = a[2] - b[2]; }
inline void add(float o[3], const float a[3], const float b[3]) { o[0] = a[0] + b[0], o[1] = a[1] + b[1], o[2] = a[2] + b[2]; }
inline float dot(const float a[3], const float b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
inline void cross(float o[3], const float a[3], const float b[3])
{
    const float x = a[1] * b[2] - a[2] * b[1], y = a[2] * b[0] - a[0] * b[2], z = a[0] * b[1] - a[1] * b[0];
    o[0] = x, o[1] = y, o[2] = z;
}
// Scales v to unit length; false (v untouched) when it is too short or not finite.
bool normalise(float v[3]);
// normalise(v), or else any unit vector perpendicular to axis.
void unit_or_perpendicular(float v[3], const float axis[3]);
}  // namespace vec
