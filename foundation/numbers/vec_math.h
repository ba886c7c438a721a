// Small vector and quaternion helpers shared by the ground-following orientation,
// the cameras and the blend of replayed riders.
#pragma once

// Divides v by its length, taken in double. A zero vector, or one whose length is
// not finite, is left as it is (dividing would spread NaN into matrices).
void vec3_normalize(float v[3]);

// q becomes normalise(q' + t (r - q')), q' being q turned to the same hemisphere as
// r (negated when q . r < 0), so the blend takes the short way. t is not clamped.
void quat_nlerp(float q[4], const float r[4], float t);
