// Three-component vectors in double precision for the contact geometry, with the few
// operations the collision code needs. Values cross to and from ODE (dReal is double)
// and the rider slot's float fields through the load/store helpers.
#pragma once
#include <cmath>

namespace contact_math {

struct vec3 {
    double x = 0.0, y = 0.0, z = 0.0;
};

constexpr vec3 operator+(vec3 a, vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
constexpr vec3 operator-(vec3 a, vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
constexpr vec3 operator-(vec3 a) { return {-a.x, -a.y, -a.z}; }
constexpr vec3 operator*(vec3 a, double s) { return {a.x * s, a.y * s, a.z * s}; }
constexpr vec3 operator*(double s, vec3 a) { return a * s; }
constexpr double dot(vec3 a, vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
constexpr vec3 cross(vec3 a, vec3 b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
constexpr double length2(vec3 a) { return dot(a, a); }
inline double length(vec3 a) { return std::sqrt(dot(a, a)); }

// a / |a|, or the fallback when a is too short to give a direction.
inline vec3 normalised_or(vec3 a, vec3 fallback, double min_length = 1e-12)
{
    const double l = length(a);
    return l > min_length ? a * (1.0 / l) : fallback;
}

template <typename T>
inline vec3 load(const T* v)
{
    return {double(v[0]), double(v[1]), double(v[2])};
}
template <typename T>
inline void store(vec3 a, T* out)
{
    out[0] = T(a.x);
    out[1] = T(a.y);
    out[2] = T(a.z);
}

}  // namespace contact_math
